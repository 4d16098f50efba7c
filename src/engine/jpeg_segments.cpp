#include "engine/jpeg_segments.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace qm::engine {
namespace {

constexpr std::string_view kIptcSignature("8BIM\x04\x04", 6);
constexpr std::string_view kPacketStart = "<?xpacket begin=";
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr std::size_t kLargestLength = 0xFFFF;

// The next offset at or after `from` where 0xFF is followed by `second`, or kNone. Offsets run up to size -
// 2, so the second byte is always inside the image.
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

// The first occurrence of `needle` in `haystack` at or after `from`, or kNone.
std::size_t Find(std::span<const std::uint8_t> haystack, std::size_t from, std::string_view needle) {
  const std::size_t size = haystack.size();
  while (from < size && size - from >= needle.size()) {
    const void* hit = std::memchr(haystack.data() + from, needle[0], size - from - needle.size() + 1);
    if (hit == nullptr) return kNone;
    const std::size_t at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - haystack.data());
    if (std::memcmp(haystack.data() + at, needle.data(), needle.size()) == 0) return at;
    from = at + 1;
  }
  return kNone;
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
    found_ = Find(haystack_, from, kIptcSignature);
    return found_;
  }

 private:
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
    // Without a signature from here on, no later candidate can match: the search ends with nothing, whether
    // by reaching the end or by running out of candidates.
    if (found == kNone) return std::nullopt;
    if (found <= high) return IptcResource{found, is_jpeg ? std::min(s + 2 + length, size) : size};
    if (high >= stop) return std::nullopt;
    // A candidate more than the largest length before the signature can neither reach it nor the end (which
    // lies beyond it): it would be passed over, so the walk goes on from the first one that can.
    if (found > kLargestLength + 1) s = std::max(s, found - kLargestLength - 1);
  }
  return std::nullopt;
}

std::optional<XmpSegment> FindXmpSegment(std::span<const std::uint8_t> image, bool is_jpeg) {
  // A candidate s matches when the packet header lies at s + 33 and s + 49 is inside the image; the search
  // ends with nothing at the first candidate with s + 49 >= N. A match always comes before such a candidate,
  // so the answer is the first header at offset 33 or later, ending before the last byte, whose candidate
  // offset s holds the marker (JPEG mode) or any byte (whole-file mode). Looking for the header rather than
  // for the markers keeps the search fast on a file full of 0xFF 0xE1 pairs.
  if (image.size() < 50) return std::nullopt;
  const auto haystack = image.first(image.size() - 1);
  for (std::size_t at = Find(haystack, 33, kPacketStart); at != kNone;
       at = Find(haystack, at + 1, kPacketStart)) {
    const std::size_t s = at - 33;
    if (!is_jpeg) return XmpSegment{s, image.size() - s - 6};
    if (image[s] == 0xFF && image[s + 1] == 0xE1) return XmpSegment{s, LengthAt(image, s + 2)};
  }
  return std::nullopt;
}

}  // namespace qm::engine
