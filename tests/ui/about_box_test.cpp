#include "ui/about_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

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

}  // namespace
}  // namespace qm::ui
