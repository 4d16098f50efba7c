#include "inspector/thumbnail_fit.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qm::inspector {

void PrintTo(const PictureSize& size, std::ostream* out) { *out << size.Width << " x " << size.Height; }

namespace {

struct FitCase {
  PictureSize Natural;
  PictureSize Box;
  PictureSize Shown;
};

class FitThumbnailTest : public testing::TestWithParam<FitCase> {};

TEST_P(FitThumbnailTest, ScalesDownToTheBoxKeepingProportions) {
  EXPECT_EQ(FitThumbnail(GetParam().Natural, GetParam().Box), GetParam().Shown);
}

constexpr PictureSize kTwipsBox = {2610, 1650};

INSTANTIATE_TEST_SUITE_P(
    Sizes, FitThumbnailTest,
    testing::Values(
        // in twips
        FitCase{{5220, 1650}, kTwipsBox, {2610, 825}}, FitCase{{1000, 3300}, kTwipsBox, {500, 1650}},
        FitCase{{3000, 3000}, kTwipsBox, {1650, 1650}}, FitCase{{2000, 1000}, kTwipsBox, {2000, 1000}},
        FitCase{{2610, 1650}, kTwipsBox, {2610, 1650}},
        // in pixels: a 24-megapixel camera frame, upright and lying, a tiny icon, a panorama strip
        FitCase{{6000, 4000}, kThumbnailBox, {165, 110}}, FitCase{{4000, 6000}, kThumbnailBox, {73, 110}},
        FitCase{{16, 16}, kThumbnailBox, {16, 16}}, FitCase{{100000, 10}, kThumbnailBox, {174, 1}},
        FitCase{{1, 100000}, kThumbnailBox, {1, 110}},
        // nothing to show
        FitCase{{0, 100}, kThumbnailBox, {0, 0}}, FitCase{{-5, 100}, kThumbnailBox, {0, 0}}));

}  // namespace
}  // namespace qm::inspector
