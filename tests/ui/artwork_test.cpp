#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QImage>

#include "ui_test_support.h"

namespace qm::ui {
namespace {

TEST(ArtworkTest, EveryPictureIsCompiledInAtItsSize) {
  EXPECT_EQ(QImage(kProductPicture).size(), QSize(50, 50));
  EXPECT_EQ(QImage(kStopPicture).size(), QSize(32, 32));
  for (const QIcon& icon : {ProgramIcon(), MacintoshGlyph(), WindowsGlyph()}) {
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(QSize(16, 16)).size(), QSize(16, 16));
    EXPECT_EQ(icon.pixmap(QSize(32, 32)).size(), QSize(32, 32));
  }
  EXPECT_TRUE(ProgramIcon().availableSizes().contains(QSize(256, 256)));
}

TEST(ArtworkTest, TheStopSignIsARedOctagon) {
  const QImage stop(kStopPicture);
  const QColor face = stop.pixelColor(16, 6);  // inside the octagon, above the letters
  EXPECT_GT(face.red(), 180);
  EXPECT_LT(face.green(), 60);
  EXPECT_EQ(stop.pixelColor(0, 0).alpha(), 0);  // the corners are cut off
}

}  // namespace
}  // namespace qm::ui
