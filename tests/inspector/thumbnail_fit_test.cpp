#include "inspector/thumbnail_fit.h"

#include <gtest/gtest.h>

namespace qm::inspector {
namespace {

TEST(FitThumbnail, ScalesDownToTheBoxKeepingProportions) {
  const struct {
    PictureSize Natural, Box, Shown;
  } cases[] = {
      // in twips, in the box of 2610 x 1650
      {{5220, 1650}, {2610, 1650}, {2610, 825}},
      {{1000, 3300}, {2610, 1650}, {500, 1650}},
      {{3000, 3000}, {2610, 1650}, {1650, 1650}},
      {{2000, 1000}, {2610, 1650}, {2000, 1000}},
      // in pixels: a 24-megapixel frame, a panorama strip, nothing to show
      {{6000, 4000}, kThumbnailBox, {165, 110}},
      {{100000, 10}, kThumbnailBox, {174, 1}},
      {{0, 100}, kThumbnailBox, {0, 0}},
  };
  for (const auto& c : cases) {
    const PictureSize shown = FitThumbnail(c.Natural, c.Box);
    EXPECT_EQ(shown, c.Shown) << c.Natural.Width << " x " << c.Natural.Height << " gave " << shown.Width
                              << " x " << shown.Height;
  }
}

}  // namespace
}  // namespace qm::inspector
