#include "app/option_handlers.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::ReadFile;
using test::RecordingView;
using test::TempDir;

class OptionHandlersTest : public testing::Test {
 protected:
  OptionHandlersTest() {
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.MacToWindows = coding::BuildMacToWindows();
    state_.WindowsToMac = coding::BuildWindowsToMac();
  }
  std::string Setting(const char* section, const char* key) const {
    return ReadIniValue(state_.IniPath, section, key);
  }

  TempDir dir_;
  AppState state_;
  RecordingView view_;
};

TEST_F(OptionHandlersTest, TheTwoXmpOptionsExcludeEachOther) {
  chkSynchronizeXMP_Click(state_, view_, true);
  chkRemoveXMP_Click(state_, view_, true);
  EXPECT_TRUE(state_.RemoveXMP);
  EXPECT_FALSE(state_.SynchronizeXMP);
  EXPECT_FALSE(view_.IsChecked(Control::chkSynchronizeXMP));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "1");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "0");

  chkSynchronizeXMP_Click(state_, view_, true);
  EXPECT_FALSE(view_.IsChecked(Control::chkRemoveXMP));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "0");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "1");
}

TEST_F(OptionHandlersTest, UncheckingChangesOnlyItsOwnKey) {
  chkRemoveXMP_Click(state_, view_, true);
  const std::string before = ReadFile(state_.IniPath);
  chkRemoveXMP_Click(state_, view_, false);
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "0");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "0");
  EXPECT_TRUE(view_.Checked.count(Control::chkSynchronizeXMP) == 1);  // only from the earlier check
  chkAutomatic_Click(state_, view_, true);
  EXPECT_TRUE(state_.Automatic);
  EXPECT_EQ(Setting("Options", "Automatic"), "1");
  EXPECT_NE(before, ReadFile(state_.IniPath));
}

TEST_F(OptionHandlersTest, AccentsOptionSelectsTheNextImagesTable) {
  optAccents_Click(state_, view_, 2);
  EXPECT_EQ(state_.Accents, 2);
  EXPECT_EQ(Setting("Options", "Accents"), "2");
  EXPECT_EQ(state_.ActiveAccentTable, coding::IdentityTable());
  optAccents_Click(state_, view_, 1);
  EXPECT_EQ(state_.ActiveAccentTable, coding::BuildWindowsToMac());
  EXPECT_EQ(Setting("Options", "Accents"), "1");
}

TEST_F(OptionHandlersTest, ArchiveOptionEnablesTheArchiveRowAsFarAsTheFolderAllows) {
  optUseArchive_Click(state_, view_, 1);
  EXPECT_TRUE(state_.UseArchive);
  EXPECT_EQ(Setting("Folders", "UseArchive"), "1");
  EXPECT_TRUE(view_.IsEnabled(Control::cmdBrowse1));
  EXPECT_TRUE(view_.IsEnabled(Control::lblFolder1));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdReprocess));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdFiles1));

  state_.ArchiveFolder = dir_.Folder("archive");
  optUseArchive_Click(state_, view_, 1);
  EXPECT_TRUE(view_.IsEnabled(Control::cmdReprocess));
  EXPECT_TRUE(view_.IsEnabled(Control::cmdFiles1));

  optUseArchive_Click(state_, view_, 0);
  EXPECT_EQ(Setting("Folders", "UseArchive"), "0");
  for (Control c : {Control::lblFolder1, Control::lbllblFolder1, Control::cmdBrowse1, Control::cmdReprocess,
                    Control::cmdFiles1}) {
    EXPECT_FALSE(view_.IsEnabled(c)) << ControlName(c);
  }
}

TEST_F(OptionHandlersTest, ArchiveOptionDuringARunKeepsTheSelectButtonDisabled) {
  state_.Running = true;
  optUseArchive_Click(state_, view_, 1);
  EXPECT_FALSE(view_.IsEnabled(Control::cmdBrowse1));
  EXPECT_TRUE(view_.IsEnabled(Control::lblFolder1));
}

}  // namespace
}  // namespace qm::app
