#include "engine/jpeg_segments.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace qm::engine {
namespace {

constexpr std::uint8_t kIptcSignature[] = {'8', 'B', 'I', 'M', 0x04, 0x04};
constexpr std::string_view kPacketStart = "<?xpacket begin=";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The next offset at or after `from` where byte `first` is followed by byte `second`, or kNone. Offsets run
// up to size - 2, so the second byte is always inside the image.
std::size_t NextMarker(std::span<const std::uint8_t> image, std::size_t from, std::uint8_t second) {
  const std::size_t size = image.size();
  while (size >= 2 && from <= size - 2) {
    const void* hit = std::memchr(image.data() + from, 0xFF, size - 1 - from);
    if (hit == nullptr) return kNone;
    const std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - image.data());
    if (image[at + 1] == second) return at;
    from = at + 1;
  }
  return kNone;
}

// The big-endian 16-bit length at `at`; a byte beyond the image counts as zero.
std::size_t LengthAt(std::span<const std::uint8_t> image, std::size_t at) {
  const std::size_t high = at < image.size() ? image[at] : 0;
  const std::size_t low = at + 1 < image.size() ? image[at + 1] : 0;
  return high << 8 | low;
}

// The next IPTC signature at or after an offset that only grows from call to call. Each stretch of the image
// is searched once, which keeps the resource search linear on a file full of 0xFF 0xED pairs with long
// lengths.
class NextSignature {
 public:
  // Only signatures that end before the image's last byte count: the search stops at an offset c with
  // c + 6 >= N before testing it.
  explicit NextSignature(std::span<const std::uint8_t> image)
      : haystack_(image.first(image.empty() ? 0 : image.size() - 1)) {}

  std::size_t From(std::size_t from) {
    if (searched_ && (found_ == kNone || from <= found_)) return found_;
    searched_ = true;
    found_ = Search(from);
    return found_;
  }

 private:
  std::size_t Search(std::size_t from) const {
    if (from >= haystack_.size()) return kNone;
    const auto begin = haystack_.begin() + static_cast<std::ptrdiff_t>(from);
    const auto it = std::search(begin, haystack_.end(), std::begin(kIptcSignature), std::end(kIptcSignature));
    return it == haystack_.end() ? kNone : static_cast<std::size_t>(it - haystack_.begin());
  }

  std::span<const std::uint8_t> haystack_;
  bool searched_ = false;
  std::size_t found_ = kNone;
};

}  // namespace

bool IsJpeg(std::span<const std::uint8_t> image) {
  return (image.size() > 0 && image[0] == 0xFF) || (image.size() > 1 && image[1] == 0xD8);
}

std::optional<IptcResource> FindIptcResource(std::span<const std::uint8_t> image, bool is_jpeg) {
  const std::size_t size = image.size();
  if (size < 2) return std::nullopt;
  // The first offset c that ends the whole search when reached: c + 6 >= N.
  const std::size_t stop = size >= 6 ? size - 6 : 0;
  NextSignature next(image);
  for (std::size_t s = 0; s <= size - 2; ++s) {
    std::size_t length = 0;
    if (is_jpeg) {
      s = NextMarker(image, s, 0xED);
      if (s == kNone) return std::nullopt;
      length = LengthAt(image, s + 2);
    } else {
      if (size < s + 6) return std::nullopt;  // L = N - s - 6 is negative from here on: empty ranges only
      length = size - s - 6;
    }
    if (length < 4) continue;  // the range s+4 .. s+L is empty
    const std::size_t low = s + 4;
    const std::size_t high = s + length;
    if (low >= stop) return std::nullopt;
    const std::size_t found = next.From(low);
    if (found != kNone && found <= high) {
      return IptcResource{found, is_jpeg ? std::min(s + 2 + length, size) : size};
    }
    if (high >= stop) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<XmpSegment> FindXmpSegment(std::span<const std::uint8_t> image, bool is_jpeg) {
  const std::size_t size = image.size();
  const auto packet_starts_at = [&](std::size_t at) {
    return std::memcmp(image.data() + at, kPacketStart.data(), kPacketStart.size()) == 0;
  };
  if (!is_jpeg) {
    // Every offset is a candidate, so this is the first "<?xpacket begin=" at offset 33 or later that ends
    // before the last byte (s + 49 < N).
    if (size < 50) return std::nullopt;
    const auto haystack = image.subspan(33, size - 1 - 33);
    const auto it = std::search(haystack.begin(), haystack.end(), kPacketStart.begin(), kPacketStart.end());
    if (it == haystack.end()) return std::nullopt;
    const std::size_t start = static_cast<std::size_t>(it - haystack.begin());
    return XmpSegment{start, size - start - 6};
  }
  for (std::size_t s = NextMarker(image, 0, 0xE1); s != kNone; s = NextMarker(image, s + 1, 0xE1)) {
    if (s + 49 >= size) return std::nullopt;
    if (packet_starts_at(s + 33)) return XmpSegment{s, LengthAt(image, s + 2)};
  }
  return std::nullopt;
}

}  // namespace qm::engine
