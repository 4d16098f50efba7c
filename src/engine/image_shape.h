#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qm::engine {

/// What the first and the last bytes of a file say of it as a JPEG image.
enum class ImageShape {
  kJpeg,         ///< begins like a JPEG image, and its end raises no doubt
  kNotJpeg,      ///< does not begin with the start-of-image marker followed by another marker (FF D8 FF)
  kNoEndMarker,  ///< a JPEG image whose image data run to the end of the file without an end marker
};

/// How many bytes of the file's end `JudgeImageShape` wants to see.
inline constexpr std::size_t kShapeTailBytes = 64 * 1024;
/// How many of them are read first: they decide for most images, which end with their end marker.
inline constexpr std::size_t kShapeEndBytes = 4 * 1024;

/// Judges a file from its first bytes (`head`, three are enough) and its last ones (`tail`, up to
/// kShapeTailBytes; the whole file when it is shorter). A JPEG image is said to have no end marker only when
/// its tail holds no end marker (FF D9) and looks like entropy-coded image data: the last marker in it is a
/// start of scan whose header is whole and sound, or it has no marker at all and holds stuffed bytes (FF 00).
/// A marker other than those of the image data (FF 00, restarts FF D0 to FF D7, fill bytes FF FF) means that
/// something else follows the image, and so do zeros and data without any 0xFF: a sound image followed by a
/// maker's trailer, padding or a second image is never taken for one cut short.
ImageShape JudgeImageShape(std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);
/// The same judgement, reading the file's end through `read_last(n)` (its last n bytes, fewer when it is
/// shorter or cannot be read): the last kShapeEndBytes, then the last kShapeTailBytes only when those leave
/// it open.
ImageShape JudgeImageShape(std::span<const std::uint8_t> head,
                           const std::function<std::vector<std::uint8_t>(std::size_t)>& read_last);

}  // namespace qm::engine
