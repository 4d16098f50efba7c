#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/image_bytes.h"
#include "engine/jpeg_segments.h"

namespace qm::engine {

/// The bytes of the image resource block that holds the IPTC resource, in the order readers join them,
/// addressed by position: from the image's point of view, the data of the APP13 segments of one block, each
/// after its 18-byte header (0xFF 0xED, the length, "Photoshop 3.0" and its zero byte). Photoshop splits a
/// block larger than a segment so; almost always there is one piece. The block is followed from the IPTC
/// resource's signature to the end of its segment and through every APP13 segment that directly continues
/// it; when the signature's segment is itself such a segment, the block starts with the data of those that
/// directly precede it (at most 16), so that the resources before the IPTC resource are there too. It is
/// followed over at most 16 MB of data and 65,536 segments. In whole-file mode it is the image from the
/// signature on (at most 16 MB).
///
/// The bytes are read from the image when first asked for, and edited here; Commit writes the edits into the
/// image.
class BlockData {
 public:
  BlockData(ImageBytes& image, const IptcResource& resource, bool is_jpeg);

  /// The number of positions.
  std::size_t size() const { return total_; }
  /// The position of the IPTC resource's signature: 0 unless earlier segments of the block came first.
  std::size_t Origin() const { return origin_; }
  /// The byte at a position below size().
  std::uint8_t operator[](std::size_t position) {
    if (position >= loaded_) Load(position);
    return bytes_[position];
  }
  /// The bytes at positions [from, to), which must not reach past size().
  std::span<const std::uint8_t> Bytes(std::size_t from, std::size_t to);
  /// Replaces the byte at a position below size().
  void Set(std::size_t position, std::uint8_t byte);
  /// The image offset of a position, which must be below size(); the end of the last piece for size().
  std::size_t Physical(std::size_t position) const;
  /// Writes what Set changed into the image, as few edits as its stretches.
  void Commit();

 private:
  struct Piece {
    std::size_t Position;
    std::size_t Physical;
    std::size_t Size;
  };
  struct Stretch {
    std::size_t Begin;
    std::size_t End;
  };
  void Add(std::size_t physical, std::size_t size);
  void Load(std::size_t position);

  ImageBytes& image_;
  std::vector<Piece> pieces_;
  std::size_t total_ = 0;
  std::size_t origin_ = 0;
  std::vector<std::uint8_t> bytes_;
  std::size_t loaded_ = 0;
  std::vector<Stretch> changed_;
  mutable std::size_t cursor_ = 0;
};

}  // namespace qm::engine
