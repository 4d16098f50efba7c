#include "engine/jpeg_segments.h"

#include <algorithm>
#include <string_view>

namespace qm::engine {
namespace {

constexpr std::string_view kIptcSignature("8BIM\x04\x04", 6);
constexpr std::string_view kPacketStart = "<?xpacket begin=";
constexpr std::size_t kNone = ImageBytes::kNotFound;
constexpr std::size_t kLargestLength = 0xFFFF;

// The big-endian 16-bit length at `at`; a byte beyond the image counts as zero.
std::size_t LengthAt(ImageBytes& image, std::size_t at) {
  return static_cast<std::size_t>(image.At(at)) << 8 | image.At(at + 1);
}

// The next IPTC signature at or after an offset that only grows from call to call. Each stretch of the image
// is searched once, which keeps the resource search linear on a file full of 0xFF 0xED pairs with long
// lengths.
class NextSignature {
 public:
  explicit NextSignature(ImageBytes& image) : image_(image) {}

  std::size_t From(std::size_t from) {
    if (searched_ && (found_ == kNone || from <= found_)) return found_;
    searched_ = true;
    // Only signatures that end before the image's last byte count: the search stops at an offset c with
    // c + 6 >= N before testing it.
    found_ = image_.Find(from, image_.size() == 0 ? 0 : image_.size() - 1, kIptcSignature);
    return found_;
  }

 private:
  ImageBytes& image_;
  bool searched_ = false;
  std::size_t found_ = kNone;
};

}  // namespace

bool IsJpeg(ImageBytes& image) {
  return (image.size() > 0 && image.At(0) == 0xFF) || (image.size() > 1 && image.At(1) == 0xD8);
}

bool IsJpeg(std::span<const std::uint8_t> image) {
  ImageBytes bytes(image);
  return IsJpeg(bytes);
}

std::optional<IptcResource> FindIptcResource(ImageBytes& image, bool is_jpeg) {
  const std::size_t size = image.size();
  if (size < 2) return std::nullopt;
  // The first offset c that ends the whole search when reached: c + 6 >= N.
  const std::size_t stop = size >= 6 ? size - 6 : 0;
  NextSignature next(image);
  for (std::size_t s = 0; s <= size - 2; ++s) {
    std::size_t length = 0;
    if (is_jpeg) {
      s = image.Find(s, size, "\xFF\xED");
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
    if (found <= high) return IptcResource{found, is_jpeg ? std::min(s + 2 + length, size) : size, s};
    if (high >= stop) return std::nullopt;
    // A candidate more than the largest length before the signature can neither reach it nor the end (which
    // lies beyond it): it would be passed over, so the walk goes on from the first one that can.
    if (found > kLargestLength + 1) s = std::max(s, found - kLargestLength - 1);
  }
  return std::nullopt;
}

std::optional<IptcResource> FindIptcResource(std::span<const std::uint8_t> image, bool is_jpeg) {
  ImageBytes bytes(image);
  return FindIptcResource(bytes, is_jpeg);
}

std::optional<XmpSegment> FindXmpSegment(ImageBytes& image, bool is_jpeg) {
  // A candidate s matches when the packet header lies at s + 33 and s + 49 is inside the image; the search
  // ends with nothing at the first candidate with s + 49 >= N. A match always comes before such a candidate,
  // so the answer is the first header at offset 33 or later, ending before the last byte, whose candidate
  // offset s holds the marker (JPEG mode) or any byte (whole-file mode). Looking for the header rather than
  // for the markers keeps the search fast on a file full of 0xFF 0xE1 pairs.
  const std::size_t size = image.size();
  if (size < 50) return std::nullopt;
  for (std::size_t at = image.Find(33, size - 1, kPacketStart); at != kNone;
       at = image.Find(at + 1, size - 1, kPacketStart)) {
    const std::size_t s = at - 33;
    if (!is_jpeg) return XmpSegment{s, size - s - 6};
    if (image.At(s) == 0xFF && image.At(s + 1) == 0xE1) return XmpSegment{s, LengthAt(image, s + 2)};
  }
  return std::nullopt;
}

std::optional<XmpSegment> FindXmpSegment(std::span<const std::uint8_t> image, bool is_jpeg) {
  ImageBytes bytes(image);
  return FindXmpSegment(bytes, is_jpeg);
}

}  // namespace qm::engine
