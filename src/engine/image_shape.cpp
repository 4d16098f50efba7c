#include "engine/image_shape.h"

#include <optional>

namespace qm::engine {
namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;

// The bytes that may follow 0xFF inside entropy-coded data: a stuffed zero, a restart marker, or another 0xFF
// (fill before a marker).
bool InImageData(std::uint8_t second) {
  return second == 0x00 || (second >= 0xD0 && second <= 0xD7) || second == kMarker;
}

// Whether a start-of-scan header begins at `at` (its marker) and is whole: its length is 6 + 2 Ns for 1 to 4
// components, and the tail holds it.
bool SoundScanHeader(std::span<const std::uint8_t> tail, std::size_t at) {
  if (tail.size() < 5 || at > tail.size() - 5) return false;
  const std::size_t length = static_cast<std::size_t>(tail[at + 2]) << 8 | tail[at + 3];
  const std::size_t components = tail[at + 4];
  return components >= 1 && components <= 4 && length == 6 + 2 * components && length <= tail.size() - at - 2;
}

bool StartsLikeJpeg(std::span<const std::uint8_t> head) {
  return head.size() >= 3 && head[0] == kMarker && head[1] == 0xD8 && head[2] == kMarker;
}

// The judgement of the last marker that is not part of image data, found from the end; nothing when the tail
// holds none, `stuffed` then telling whether it holds stuffed bytes. A 0xFF as the very last byte may be the
// first half of a pair the file was cut in. A longer tail ends with these bytes, and is judged the same
// wherever they decide.
std::optional<ImageShape> LastMarker(std::span<const std::uint8_t> tail, bool& stuffed) {
  for (std::size_t i = tail.size() >= 2 ? tail.size() - 1 : 0; i-- > 0;) {
    if (tail[i] != kMarker) continue;
    const std::uint8_t second = tail[i + 1];
    if (second == kEndOfImage) return ImageShape::kJpeg;
    if (second == 0x00) stuffed = true;
    if (InImageData(second)) continue;
    if (second != kStartOfScan || !SoundScanHeader(tail, i)) return ImageShape::kJpeg;
    // A scan begins here and runs to the end of the file; an end marker before it belongs to something else
    // (a thumbnail), so look no further.
    return ImageShape::kNoEndMarker;
  }
  return std::nullopt;
}

}  // namespace

ImageShape JudgeImageShape(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail) {
  if (!StartsLikeJpeg(head)) return ImageShape::kNotJpeg;
  bool stuffed = false;
  return LastMarker(tail, stuffed).value_or(stuffed ? ImageShape::kNoEndMarker : ImageShape::kJpeg);
}

ImageShape JudgeImageShape(std::span<const std::uint8_t> head,
                           const std::function<std::vector<std::uint8_t>(std::size_t)>& read_last) {
  if (!StartsLikeJpeg(head)) return ImageShape::kNotJpeg;
  const std::vector<std::uint8_t> end = read_last(kShapeEndBytes);
  // Fewer bytes: the whole file, or all that could be read of it.
  if (end.size() < kShapeEndBytes) return JudgeImageShape(head, end);
  bool stuffed = false;
  if (const std::optional<ImageShape> shape = LastMarker(end, stuffed)) return *shape;
  return JudgeImageShape(head, read_last(kShapeTailBytes));
}

}  // namespace qm::engine
