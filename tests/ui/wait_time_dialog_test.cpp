#include "ui/wait_time_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "support/recording_view.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Find;

class WaitTimeDialogTest : public testing::Test {
 protected:
  WaitTimeDialogTest() {
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.Wait = 10;
    dialog_.show();
  }
  void Type(const char* text) { Find<QLineEdit>(&dialog_, "Text1")->setText(text); }
  QString Text() { return Find<QLineEdit>(&dialog_, "Text1")->text(); }
  void Press(const char* name) { QTest::mouseClick(Find<QAbstractButton>(&dialog_, name), Qt::LeftButton); }
  QLabel* Limit() { return Find<QLabel>(&dialog_, "Label1"); }

  test::TempDir dir_;
  app::AppState state_;
  test::RecordingView view_;
  frmTempo dialog_{state_, view_};
};

TEST_F(WaitTimeDialogTest, ArrowsStepTheTextAndOkStoresIt) {
  test::ExpectNothingOverlapsOrClips(&dialog_);
  EXPECT_EQ(Text(), "10");
  Type("2");
  Press("UpDown1Down");
  EXPECT_EQ(Text(), "1");
  EXPECT_TRUE(Limit()->isVisible());
  EXPECT_EQ(Limit()->text(), "Min wait time");
  Press("UpDown1Up");
  EXPECT_EQ(Text(), "2");
  EXPECT_FALSE(Limit()->isVisible());
  Type("99999");
  Press("UpDown1Up");
  EXPECT_EQ(Text(), "32000");
  EXPECT_EQ(Limit()->text(), "Max wait time");
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));  // the arrows store nothing

  Type("2.5");
  Press("cmdOK");
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(state_.Wait, 2);
}

TEST_F(WaitTimeDialogTest, AnInvalidTimeIsReportedAndTheDialogStaysOpenUntilCancel) {
  Type("32001");
  Press("cmdOK");
  EXPECT_EQ(view_.MessageTexts(), std::vector<std::string>{"Invalid wait time: 32001"});
  EXPECT_TRUE(dialog_.isVisible());
  Press("cmdAnnuler");
  EXPECT_FALSE(dialog_.isVisible());
  EXPECT_EQ(state_.Wait, 10);
}

}  // namespace
}  // namespace qm::ui
