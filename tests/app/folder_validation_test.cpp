#include "app/folder_validation.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/ini_file.h"
#include "app/platform_paths.h"

namespace qm::app {
namespace {

using N = std::vector<std::string>;

class ValidateFoldersTest : public test::AppFixture {
 protected:
  std::string Missing(const char* name) const { return (dir_.Path() / name).string() + kFolderSeparator; }
};

TEST_F(ValidateFoldersTest, ReportsThreeMissingOrFileFoldersInOrderEachAfterItsBeepAndForgetsThem) {
  WriteIniValue(state_.IniPath, "Folders", "Input", Missing("in"));
  state_.InputFolder = Missing("in");
  const std::string file = (dir_.Path() / "archive").string();  // a file is no folder
  test::WriteFile(file, "x");
  state_.ArchiveFolder = file;
  state_.OutputFolder = Missing("out");
  state_.UseArchive = true;

  EXPECT_FALSE(ValidateFolders(state_, view_));
  N sounds_and_messages;
  for (const std::string& line : view_.Log) {
    if (line == "beep" || line.rfind("message", 0) == 0) sounds_and_messages.push_back(line);
  }
  EXPECT_EQ(sounds_and_messages, (N{"beep", "message Unknown input folder\n" + Missing("in"), "beep",
                                    "message Unknown archive folder\n" + file, "beep",
                                    "message Unknown output folder\n" + Missing("out")}));
  const Message& m = view_.Messages.at(2);  // the three are made alike
  EXPECT_TRUE(m.Title == "Quillmark 1.0.0" && m.Icon == MessageIcon::kExclamation &&
              m.Buttons == MessageButtons::kOk);
  EXPECT_EQ(state_.InputFolder + state_.ArchiveFolder + state_.OutputFolder, "");
  for (Control c : {Control::lblFolder0, Control::lblFolder1, Control::lblFolder2}) {
    EXPECT_TRUE(view_.Captions.count(c) == 1 && view_.Caption(c).empty()) << ControlName(c);
  }
  // Only the state forgets: the settings file keeps the path for the next start.
  EXPECT_EQ(ReadIniValue(state_.IniPath, "Folders", "Input"), Missing("in"));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdRun));
}

TEST_F(ValidateFoldersTest, ADeletedInputFolderLeavesRunEnabledByTheOutputStep) {
  state_.InputFolder = dir_.Folder("gone");
  state_.OutputFolder = dir_.Folder("out");
  std::filesystem::remove(dir_.Path() / "gone");
  EXPECT_FALSE(ValidateFolders(state_, view_));
  EXPECT_EQ(view_.MessageTexts(), N{"Unknown input folder\n" + Missing("gone")});
  for (Control c : {Control::lblBulle0, Control::lblBulle1, Control::lblBulle5}) {
    EXPECT_TRUE(view_.IsVisible(c)) << ControlName(c);
  }
  EXPECT_FALSE(view_.IsVisible(Control::lblBulle2));
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  EXPECT_FALSE(view_.IsEnabled(Control::cmdFiles0));
}

TEST_F(ValidateFoldersTest, ExistingFoldersHideTheGuideAndAnEmptyArchiveFailsQuietlyButForRun) {
  state_.InputFolder = dir_.Folder("in");
  state_.OutputFolder = dir_.Folder("out");
  state_.ArchiveFolder = Missing("never");
  EXPECT_TRUE(ValidateFolders(state_, view_));
  EXPECT_EQ(state_.ArchiveFolder, Missing("never"));  // without the archive option it is not checked
  for (Control c : {Control::cmdRun, Control::cmdFiles0, Control::cmdFiles2, Control::cmdClearOutput}) {
    EXPECT_TRUE(view_.IsEnabled(c)) << ControlName(c);
  }
  for (Control c : {Control::lblBulle0, Control::lblBulle1, Control::lblBulle2, Control::lblBulle3,
                    Control::lblBulle5, Control::LineBulle0, Control::LineBulle1, Control::LineBulle2,
                    Control::LineBulle3, Control::LineBulle4, Control::LineBulle5}) {
    EXPECT_FALSE(view_.IsVisible(c)) << ControlName(c);
  }

  state_.UseArchive = true;
  state_.ArchiveFolder.clear();
  EXPECT_FALSE(ValidateFolders(state_, view_));
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_EQ(view_.Beeps, 0);
  EXPECT_FALSE(view_.IsEnabled(Control::cmdReprocess) || view_.IsEnabled(Control::cmdFiles1));
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  EXPECT_FALSE(view_.IsVisible(Control::lblBulle0) || view_.IsVisible(Control::lblBulle5));
  // A click on that enabled Run button is told why nothing starts.
  EXPECT_FALSE(ValidateFoldersForRun(state_, view_));
  EXPECT_EQ(view_.MessageTexts(), N{"No archive folder selected\nChoose one with the Select button of the "
                                    "Archive row, or choose \"Remove images from input folder\"."});
}

}  // namespace
}  // namespace qm::app
