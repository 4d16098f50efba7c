#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QImage>

namespace qm::ui {
namespace {

TEST(ArtworkTest, EveryPictureIsCompiledInAtItsSizes) {
  EXPECT_EQ(QImage(kProductPicture).size(), QSize(50, 50));
  const QImage stop(kStopPicture);
  EXPECT_EQ(stop.size(), QSize(32, 32));
  EXPECT_GT(stop.pixelColor(16, 6).red(), 180);  // inside the octagon, above the letters
  EXPECT_LT(stop.pixelColor(16, 6).green(), 60);
  EXPECT_EQ(stop.pixelColor(0, 0).alpha(), 0);  // the corners are cut off
  for (const QIcon& icon : {ProgramIcon(), MacintoshGlyph(), WindowsGlyph()}) {
    for (const int side : {16, 32}) EXPECT_EQ(icon.pixmap(QSize(side, side)).size(), QSize(side, side));
  }
  EXPECT_TRUE(ProgramIcon().availableSizes().contains(QSize(256, 256)));
}

}  // namespace
}  // namespace qm::ui
