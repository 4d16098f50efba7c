#include "engine/block_data.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>

namespace qm::engine {
namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::string_view kPhotoshopHeader("Photoshop 3.0\0", 14);
// How far the block is followed.
constexpr std::size_t kLargestBlock = std::size_t{16} << 20;
constexpr std::size_t kMostPieces = 65536;
constexpr std::size_t kMostBefore = 16;
// The bytes read at a time, and how far apart two changes may lie and still be written as one edit.
constexpr std::size_t kLoadStep = 64 * 1024;
constexpr std::size_t kEditGap = 4096;

std::size_t LengthAt(ImageBytes& image, std::size_t at) {
  return static_cast<std::size_t>(image.At(at)) << 8 | image.At(at + 1);
}

// Whether an APP13 segment of a block starts at `at`: the marker, a length that covers the header, and the
// header.
bool IsBlockSegment(ImageBytes& image, std::size_t at) {
  if (image.size() < kHeaderSize || at > image.size() - kHeaderSize) return false;
  const auto head = image.Get(at, kHeaderSize);
  return head[0] == 0xFF && head[1] == 0xED &&
         static_cast<std::size_t>(head[2] << 8 | head[3]) >= kHeaderSize - 2 &&
         std::memcmp(head.data() + 4, kPhotoshopHeader.data(), kPhotoshopHeader.size()) == 0;
}

// The APP13 segment of a block that ends exactly where the one at `next` starts; the earliest when there
// could be more than one (a segment's data may hold what looks like another one).
std::optional<std::size_t> SegmentBefore(ImageBytes& image, std::size_t next) {
  const std::size_t low = next > 0xFFFF + 2 ? next - 0xFFFF - 2 : 0;
  for (std::size_t at = image.Find(low + 4, next, kPhotoshopHeader); at != ImageBytes::kNotFound;
       at = image.Find(at + 1, next, kPhotoshopHeader)) {
    const std::size_t start = at - 4;
    if (IsBlockSegment(image, start) && start + 2 + LengthAt(image, start + 2) == next) return start;
  }
  return std::nullopt;
}

}  // namespace

BlockData::BlockData(ImageBytes& image, const IptcResource& resource, bool is_jpeg) : image_(image) {
  const std::size_t size = image.size();
  const std::size_t signature = std::min(resource.Signature, size);
  const std::size_t end = std::min(std::max(resource.SegmentEnd, signature), size);
  if (is_jpeg && resource.SegmentStart + kHeaderSize <= signature &&
      IsBlockSegment(image, resource.SegmentStart)) {
    std::vector<std::size_t> before;
    for (std::size_t at = resource.SegmentStart; before.size() < kMostBefore;) {
      const auto previous = SegmentBefore(image, at);
      if (!previous) break;
      before.push_back(*previous);
      at = *previous;
    }
    std::size_t next = resource.SegmentStart;
    std::vector<Piece> earlier;
    for (const std::size_t at : before) {
      earlier.push_back({0, at + kHeaderSize, next - (at + kHeaderSize)});
      next = at;
    }
    for (auto it = earlier.rbegin(); it != earlier.rend(); ++it) Add(it->Physical, it->Size);
    Add(resource.SegmentStart + kHeaderSize, signature - (resource.SegmentStart + kHeaderSize));
    origin_ = total_;
  }
  Add(signature, std::min(end - signature, kLargestBlock));
  for (std::size_t at = end;
       pieces_.size() < kMostPieces && total_ - origin_ < kLargestBlock && IsBlockSegment(image, at);) {
    const std::size_t segment_end = std::min(at + 2 + LengthAt(image, at + 2), size);
    Add(at + kHeaderSize, std::min(segment_end - (at + kHeaderSize), kLargestBlock - (total_ - origin_)));
    at = segment_end;
  }
}

void BlockData::Add(std::size_t physical, std::size_t size) {
  pieces_.push_back({total_, physical, size});
  total_ += size;
}

std::span<const std::uint8_t> BlockData::Bytes(std::size_t from, std::size_t to) {
  if (to > loaded_) Load(to - 1);
  return {bytes_.data() + from, to - from};
}

void BlockData::Set(std::size_t position, std::uint8_t byte) {
  if (position >= loaded_) Load(position);
  bytes_[position] = byte;
  if (!changed_.empty() && position >= changed_.back().Begin && position <= changed_.back().End + kEditGap) {
    changed_.back().End = std::max(changed_.back().End, position + 1);
  } else {
    changed_.push_back({position, position + 1});
  }
}

std::size_t BlockData::Physical(std::size_t position) const {
  if (position >= total_) return pieces_.back().Physical + pieces_.back().Size;
  // Positions mostly move forward: start from the piece used last.
  while (position < pieces_[cursor_].Position) --cursor_;
  while (position >= pieces_[cursor_].Position + pieces_[cursor_].Size) ++cursor_;
  return pieces_[cursor_].Physical + (position - pieces_[cursor_].Position);
}

void BlockData::Load(std::size_t position) {
  const std::size_t to = std::min(total_, std::max(position + 1, loaded_ + kLoadStep));
  bytes_.resize(to);
  for (const Piece& piece : pieces_) {
    const std::size_t begin = std::max(loaded_, piece.Position);
    const std::size_t end = std::min(to, piece.Position + piece.Size);
    if (begin < end) {
      image_.Copy(piece.Physical + (begin - piece.Position), std::span(bytes_.data() + begin, end - begin));
    }
  }
  loaded_ = to;
}

void BlockData::Commit() {
  for (const Stretch& stretch : changed_) {
    for (const Piece& piece : pieces_) {
      const std::size_t begin = std::max(stretch.Begin, piece.Position);
      const std::size_t end = std::min(stretch.End, piece.Position + piece.Size);
      if (begin < end) {
        image_.Write(piece.Physical + (begin - piece.Position),
                     std::span(bytes_.data() + begin, end - begin));
      }
    }
  }
  changed_.clear();
}

}  // namespace qm::engine
