#include "inspector/thumbnail_fit.h"

#include <cstdint>

namespace qm::inspector {
namespace {

// value × numerator ÷ denominator rounded to the nearest whole number, at least 1; 64 bits cannot overflow
// for two int sides.
int Scale(int value, int numerator, int denominator) {
  const std::int64_t scaled = (static_cast<std::int64_t>(value) * numerator * 2 + denominator) /
                              (static_cast<std::int64_t>(denominator) * 2);
  return scaled < 1 ? 1 : static_cast<int>(scaled);
}

}  // namespace

PictureSize FitThumbnail(PictureSize natural, PictureSize box) {
  if (natural.Width <= 0 || natural.Height <= 0) return {};
  PictureSize shown = natural;
  if (shown.Width > box.Width) {
    shown.Height = Scale(shown.Height, box.Width, shown.Width);
    shown.Width = box.Width;
  }
  if (shown.Height > box.Height) {
    shown.Width = Scale(shown.Width, box.Height, shown.Height);
    shown.Height = box.Height;
  }
  return shown;
}

}  // namespace qm::inspector
