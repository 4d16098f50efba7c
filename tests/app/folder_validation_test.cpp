#include "app/folder_validation.h"

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::RecordingView;
using test::TempDir;

class ValidateFoldersTest : public testing::Test {
 protected:
  ValidateFoldersTest() {
    state_.AppVersion = "1.0.0";
    state_.IniPath = dir_.Path() / "Quillmark.ini";
  }
  std::string Missing(const char* name) const { return (dir_.Path() / name).string() + "/"; }

  TempDir dir_;
  AppState state_;
  RecordingView view_;
};

TEST_F(ValidateFoldersTest, ReportsAllThreeMissingFoldersInOrderAndForgetsThem) {
  WriteIniValue(state_.IniPath, "Folders", "Input", Missing("in"));
  state_.InputFolder = Missing("in");
  state_.ArchiveFolder = Missing("archive");
  state_.OutputFolder = Missing("out");
  state_.UseArchive = true;

  EXPECT_FALSE(ValidateFolders(state_, view_));
  EXPECT_EQ(view_.MessageTexts(), (std::vector<std::string>{"Unknown input folder\n" + Missing("in"),
                                                            "Unknown archive folder\n" + Missing("archive"),
                                                            "Unknown output folder\n" + Missing("out")}));
  EXPECT_EQ(view_.Beeps, 3);
  for (const Message& m : view_.Messages) {
    EXPECT_EQ(m.Title, "Quillmark 1.0.0");
    EXPECT_EQ(m.Icon, MessageIcon::kExclamation);
    EXPECT_EQ(m.Buttons, MessageButtons::kOk);
  }
  EXPECT_EQ(state_.InputFolder, "");
  EXPECT_EQ(state_.ArchiveFolder, "");
  EXPECT_EQ(state_.OutputFolder, "");
  for (Control c : {Control::lblFolder0, Control::lblFolder1, Control::lblFolder2}) {
    EXPECT_TRUE(view_.Captions.count(c) == 1 && view_.Caption(c).empty()) << ControlName(c);
  }
  // Only the state forgets: the settings file keeps the path for the next start.
  EXPECT_EQ(ReadIniValue(state_.IniPath, "Folders", "Input"), Missing("in"));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdRun));
}

TEST_F(ValidateFoldersTest, EachMessageFollowsItsBeep) {
  state_.InputFolder = Missing("in");
  state_.OutputFolder = Missing("out");
  ValidateFolders(state_, view_);
  std::vector<std::string> sounds_and_messages;
  for (const std::string& line : view_.Log) {
    if (line == "beep" || line.rfind("message", 0) == 0) sounds_and_messages.push_back(line);
  }
  EXPECT_EQ(sounds_and_messages,
            (std::vector<std::string>{"beep", "message Unknown input folder\n" + Missing("in"), "beep",
                                      "message Unknown output folder\n" + Missing("out")}));
}

TEST_F(ValidateFoldersTest, ADeletedInputFolderLeavesRunEnabledByTheOutputStep) {
  state_.InputFolder = Missing("gone");
  state_.OutputFolder = dir_.Folder("out");
  EXPECT_FALSE(ValidateFolders(state_, view_));
  EXPECT_EQ(view_.MessageTexts(), std::vector<std::string>{"Unknown input folder\n" + Missing("gone")});
  EXPECT_EQ(view_.Caption(Control::lblFolder0), "");
  EXPECT_TRUE(view_.IsVisible(Control::lblBulle0));
  EXPECT_TRUE(view_.IsVisible(Control::lblBulle1));
  EXPECT_TRUE(view_.IsVisible(Control::lblBulle5));
  EXPECT_FALSE(view_.IsVisible(Control::lblBulle2));
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdFiles0));
}

TEST_F(ValidateFoldersTest, AnEmptyArchiveFolderFailsQuietly) {
  state_.InputFolder = dir_.Folder("in");
  state_.OutputFolder = dir_.Folder("out");
  state_.UseArchive = true;
  EXPECT_FALSE(ValidateFolders(state_, view_));
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_EQ(view_.Beeps, 0);
  EXPECT_FALSE(view_.IsEnabled(Control::cmdReprocess));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdFiles1));
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  for (Control c : {Control::lblBulle0, Control::lblBulle2, Control::lblBulle5})
    EXPECT_FALSE(view_.IsVisible(c));
}

TEST_F(ValidateFoldersTest, ExistingFoldersHideTheGuideWhateverTheUnusedArchiveHolds) {
  state_.InputFolder = dir_.Folder("in");
  state_.OutputFolder = dir_.Folder("out");
  state_.ArchiveFolder = Missing("never");
  EXPECT_TRUE(ValidateFolders(state_, view_));
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_EQ(state_.ArchiveFolder, Missing("never"));
  for (Control c : {Control::cmdRun, Control::cmdFiles0, Control::cmdFiles2, Control::cmdClearOutput}) {
    EXPECT_TRUE(view_.IsEnabled(c)) << ControlName(c);
  }
  for (Control c : {Control::lblBulle0, Control::lblBulle1, Control::lblBulle2, Control::lblBulle3,
                    Control::lblBulle5, Control::LineBulle0, Control::LineBulle1, Control::LineBulle2,
                    Control::LineBulle3, Control::LineBulle4, Control::LineBulle5}) {
    EXPECT_FALSE(view_.IsVisible(c)) << ControlName(c);
  }
  EXPECT_FALSE(view_.Log.empty());
}

TEST(FolderExists, CountsUnreachableAndNonFolderPathsAsMissing) {
  TempDir dir;
  const auto file = dir.Path() / "file.jpg";
  test::WriteFile(file, "x");
  EXPECT_TRUE(FolderExists(dir.Path().string() + "/"));
  EXPECT_FALSE(FolderExists(""));
  EXPECT_FALSE(FolderExists(file.string()));
  EXPECT_FALSE(FolderExists(file.string() + "/below/"));
  EXPECT_FALSE(FolderExists(std::string("/proc/self/fd/999999/")));
}

}  // namespace
}  // namespace qm::app
