#include "app/option_handlers.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/ini_file.h"

namespace qm::app {
namespace {

class OptionHandlersTest : public test::AppFixture {
 protected:
  std::string Setting(const char* section, const char* key) const {
    return ReadIniValue(state_.IniPath, section, key);
  }
};

TEST_F(OptionHandlersTest, TheTwoXmpOptionsExcludeEachOtherAndUncheckingTouchesOnlyItsOwnBox) {
  chkSynchronizeXMP_Click(state_, view_, true);
  chkRemoveXMP_Click(state_, view_, false);
  EXPECT_TRUE(state_.SynchronizeXMP);
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "1");
  EXPECT_EQ(view_.Checked.count(Control::chkSynchronizeXMP), 0u);

  chkRemoveXMP_Click(state_, view_, true);
  EXPECT_TRUE(state_.RemoveXMP);
  EXPECT_FALSE(state_.SynchronizeXMP || view_.IsChecked(Control::chkSynchronizeXMP));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "1");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "0");

  chkSynchronizeXMP_Click(state_, view_, true);
  EXPECT_FALSE(state_.RemoveXMP || view_.IsChecked(Control::chkRemoveXMP));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "0");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "1");
}

TEST_F(OptionHandlersTest, AccentsSelectTheNextImagesTableAndEachOptionIsStoredAtOnce) {
  optAccents_Click(state_, view_, 1);
  EXPECT_EQ(state_.ActiveAccentTable, coding::BuildWindowsToMac());
  optAccents_Click(state_, view_, 2);
  EXPECT_EQ(state_.Accents, 2);
  EXPECT_EQ(state_.ActiveAccentTable, coding::IdentityTable());
  EXPECT_EQ(Setting("Options", "Accents"), "2");
}

TEST_F(OptionHandlersTest, ArchiveOptionEnablesTheArchiveRowAsFarAsTheFolderAndARunAllow) {
  optUseArchive_Click(state_, view_, 1);
  EXPECT_TRUE(state_.UseArchive);
  EXPECT_EQ(Setting("Folders", "UseArchive"), "1");
  EXPECT_TRUE(view_.IsEnabled(Control::cmdBrowse1) && view_.IsEnabled(Control::lblFolder1));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdReprocess) || view_.IsEnabled(Control::cmdFiles1));

  state_.ArchiveFolder = dir_.Folder("archive");
  state_.Running = true;
  optUseArchive_Click(state_, view_, 1);
  EXPECT_TRUE(view_.IsEnabled(Control::cmdReprocess) && view_.IsEnabled(Control::cmdFiles1));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdBrowse1));  // no folder may change under a run

  state_.Running = false;
  optUseArchive_Click(state_, view_, 0);
  EXPECT_EQ(Setting("Folders", "UseArchive"), "0");
  for (Control c : {Control::lblFolder1, Control::lbllblFolder1, Control::cmdBrowse1, Control::cmdReprocess,
                    Control::cmdFiles1}) {
    EXPECT_FALSE(view_.IsEnabled(c)) << ControlName(c);
  }
}

}  // namespace
}  // namespace qm::app
