#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/jpeg_segments.h"

namespace qm::engine {

/// The bytes of an image resource block in order, addressed by position from its first "8BIM" signature: the
/// image from the signature to the end of its APP13 segment, then the data of every APP13 segment that
/// continues it (0xFF 0xED, the length, "Photoshop 3.0" and its zero byte: 18 bytes of header). Photoshop
/// splits a large block so; almost always there is one piece.
class BlockData {
 public:
  BlockData(std::span<const std::uint8_t> image, const IptcResource& resource);

  std::size_t size() const { return total_; }
  std::uint8_t operator[](std::size_t position) const { return image_[Physical(position)]; }

  /// The image offset of a position, which must be below size(); the end of the last piece for size().
  std::size_t Physical(std::size_t position) const;

  /// Calls `visit(offset, count)` for each stretch of the image that holds positions [from, to), in order.
  template <typename Visit>
  void ForEachStretch(std::size_t from, std::size_t to, const Visit& visit) const {
    for (const Piece& piece : pieces_) {
      const std::size_t begin = from > piece.Position ? from : piece.Position;
      const std::size_t end = to < piece.Position + piece.Size ? to : piece.Position + piece.Size;
      if (begin < end) visit(piece.Physical + (begin - piece.Position), end - begin);
    }
  }

 private:
  struct Piece {
    std::size_t Position;
    std::size_t Physical;
    std::size_t Size;
  };
  std::span<const std::uint8_t> image_;
  std::vector<Piece> pieces_;
  std::size_t total_ = 0;
  mutable std::size_t cursor_ = 0;
};

}  // namespace qm::engine
