#include "engine/block_data.h"

#include <algorithm>
#include <cstring>

namespace qm::engine {
namespace {

constexpr std::size_t kContinuationHeaderSize = 18;
constexpr char kPhotoshopHeader[] = "Photoshop 3.0";  // with its terminating zero: 14 bytes

}  // namespace

BlockData::BlockData(std::span<const std::uint8_t> image, const IptcResource& resource) : image_(image) {
  const std::size_t size = image.size();
  const std::size_t signature = std::min(resource.Signature, size);
  const std::size_t end = std::min(std::max(resource.SegmentEnd, signature), size);
  pieces_.push_back({0, signature, end - signature});
  total_ = end - signature;
  std::size_t at = end;
  while (at < size && size - at >= kContinuationHeaderSize && image[at] == 0xFF && image[at + 1] == 0xED &&
         std::memcmp(image.data() + at + 4, kPhotoshopHeader, sizeof kPhotoshopHeader) == 0) {
    const std::size_t length = static_cast<std::size_t>(image[at + 2] << 8 | image[at + 3]);
    if (length < kContinuationHeaderSize - 2) break;  // the length does not even cover the header
    const std::size_t segment_end = std::min(at + 2 + length, size);
    pieces_.push_back({total_, at + kContinuationHeaderSize, segment_end - (at + kContinuationHeaderSize)});
    total_ += segment_end - (at + kContinuationHeaderSize);
    at = segment_end;
  }
}

std::size_t BlockData::Physical(std::size_t position) const {
  if (position >= total_) return pieces_.back().Physical + pieces_.back().Size;
  // Positions mostly move forward: start from the piece used last.
  while (position < pieces_[cursor_].Position) --cursor_;
  while (position >= pieces_[cursor_].Position + pieces_[cursor_].Size) ++cursor_;
  return pieces_[cursor_].Physical + (position - pieces_[cursor_].Position);
}

}  // namespace qm::engine
