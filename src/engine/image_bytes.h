#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The bytes of one image as the engine searches, reads and edits them. In memory, they are the caller's
// buffer, edited in place. From a file, they are read in pieces through one buffer that is reused from one
// image to the next: the first piece is small, since the metadata sits near the start of a file, and the
// pieces grow while a search has to go on towards the end; so memory does not grow with the file, and a file
// is read no further than its searches need. Either way each edit is also kept, in order, for the output, and
// whatever is read afterwards shows the edits made before.

namespace qm::engine {

class InputImageFile;

/// One edit of the image: `Bytes` replace the image's bytes from `Offset` on.
struct ImageEdit {
  std::size_t Offset = 0;
  std::vector<std::uint8_t> Bytes;

  std::size_t End() const { return Offset + Bytes.size(); }
};

class ImageBytes {
 public:
  /// Returned by Find when there is no match.
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
  /// The most bytes one Get may ask for.
  static constexpr std::size_t kLargestGet = 64 * 1024;
  /// The first piece read from a file; later pieces double up to kLargestPiece while reads follow each other.
  static constexpr std::size_t kFirstPiece = 64 * 1024;
  static constexpr std::size_t kLargestPiece = 1024 * 1024;

  /// The image in memory; edits are made in it.
  explicit ImageBytes(std::span<std::uint8_t> image);
  /// The image in memory, for searching and reading only (an edit is a programmer error).
  explicit ImageBytes(std::span<const std::uint8_t> image);
  /// The open file, read in pieces into `buffer`, which is reused: it grows to at most twice kLargestPiece
  /// and never shrinks. `first_piece` is smaller only in tests, to put pieces' edges where they matter.
  ImageBytes(const InputImageFile& file, std::vector<std::uint8_t>& buffer,
             std::size_t first_piece = kFirstPiece);
  ImageBytes(const ImageBytes&) = delete;
  ImageBytes& operator=(const ImageBytes&) = delete;

  /// The image's size: N.
  std::size_t size() const { return size_; }

  /// The bytes from `offset` on that are at hand without another read: at least one when `offset` is below
  /// size(), none from there on.
  std::span<const std::uint8_t> From(std::size_t offset);
  /// The `count` bytes from `offset` (at most kLargestGet), fewer at the end of the image. Valid until the
  /// next call.
  std::span<const std::uint8_t> Get(std::size_t offset, std::size_t count);
  /// The byte at `offset`; zero beyond the end of the image.
  std::uint8_t At(std::size_t offset);
  /// Copies the bytes from `offset` into `out`, which must end within the image; any length.
  void Copy(std::size_t offset, std::span<std::uint8_t> out);
  /// The first offset in [from, end) where `needle` starts and ends before `end` (cut at the end of the
  /// image), or kNotFound. A match across the edge of two pieces is found like any other.
  std::size_t Find(std::size_t from, std::size_t end, std::string_view needle);

  /// Replaces the bytes from `offset` on, which must lie within the image.
  void Write(std::size_t offset, std::span<const std::uint8_t> bytes);
  /// The edits made so far, in order; a later one wins where two overlap.
  const std::vector<ImageEdit>& Edits() const { return edits_; }

  /// Whether a read of the file failed or fell short of the size it had when opened (it shrank): the bytes
  /// missing read as zeros, and nothing may be written from them. Sticky.
  bool Failed() const { return !failure_.empty(); }
  /// What went wrong, for logs; empty when nothing did.
  const std::string& Failure() const { return failure_; }

 private:
  // Makes [offset, offset + count) of the file, cut at its end, the buffer's or part of it.
  void Load(std::size_t offset, std::size_t count);
  // Reads [offset, offset + into.size()) of the file into `into`, edits laid over.
  void ReadFile(std::size_t offset, std::span<std::uint8_t> into);
  void LayEdits(std::size_t offset, std::span<std::uint8_t> into) const;

  std::size_t size_ = 0;
  // In memory: the image, and whether it may be edited.
  const std::uint8_t* memory_ = nullptr;
  std::uint8_t* writable_ = nullptr;
  // From a file: the buffer holds the file's bytes [begin_, end_).
  const InputImageFile* file_ = nullptr;
  std::vector<std::uint8_t>* buffer_ = nullptr;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t first_piece_ = kFirstPiece;
  int reads_in_a_row_ = 0;
  bool reading_through_ = false;
  std::vector<ImageEdit> edits_;
  std::string failure_;
};

}  // namespace qm::engine
