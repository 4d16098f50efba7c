#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QTest>

#include "ui/artwork.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Find;

TEST(AboutBoxTest, ShowsThePictureAndCreditsLinksToTheHelpPageAndClosesOnEnter) {
  app::AppState state;
  state.AppVersion = "1.2.3";
  test::OpenedUrls opened("file");
  frmAbout about(state, "/opt/quill mark/Quillmark.htm");
  EXPECT_EQ(Find<QLabel>(&about, "lblCredit")->text(),
            "Quillmark 1.2.3\nmodify accents in IPTC fields\nfor press desks and photo agencies");
  EXPECT_EQ(Find<QLabel>(&about, "Image1")->pixmap().size(), QSize(50, 50));
  test::ExpectNothingOverlapsOrClips(&about);
  about.lblLink_Click();
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile("/opt/quill mark/Quillmark.htm")});
  about.show();
  QTest::keyClick(&about, Qt::Key_Return);  // OK is the default button
  EXPECT_FALSE(about.isVisible());
}

// The sizes of the product picture and of the STOP sign are checked where they show: the about box, Run.
TEST(ArtworkTest, TheStopSignIsARedOctagonAndTheIconsComeAtEverySize) {
  const QImage stop(kStopPicture);
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
