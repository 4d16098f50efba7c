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

TEST_F(WaitTimeDialogTest, TypingReplacesTheValueArrowsAndArrowKeysStepItAndOkStoresAValidOne) {
  test::ExpectNothingOverlapsOrClips(&dialog_);
  auto* text = Find<QLineEdit>(&dialog_, "Text1");
  EXPECT_EQ(text->selectedText(), "10");
  QTest::keyClicks(text, "5");
  QTest::keyClick(text, Qt::Key_Up);
  EXPECT_EQ(Text(), "6");
  QTest::keyClick(text, Qt::Key_Down);
  QTest::keyClick(text, Qt::Key_Down);
  EXPECT_EQ(Text(), "4");
  Type("2");
  Press("UpDown1Down");
  EXPECT_EQ(Text(), "1");
  EXPECT_TRUE(Limit()->isVisible() && Limit()->text() == "Min wait time");
  Press("UpDown1Up");
  EXPECT_EQ(Text(), "2");
  EXPECT_FALSE(Limit()->isVisible());
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));  // the arrows store nothing

  Type("32001");
  Press("cmdOK");
  EXPECT_EQ(view_.MessageTexts(), std::vector<std::string>{"Invalid wait time: 32001\nGive a number of seconds from 1 to 32000."});
  EXPECT_TRUE(dialog_.isVisible());  // until a valid value or Cancel
  Type("2.5");
  Press("cmdOK");
  EXPECT_EQ(dialog_.result(), QDialog::Accepted);
  EXPECT_EQ(state_.Wait, 2);
}

}  // namespace
}  // namespace qm::ui
