#include "app/startup.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/platform_paths.h"
#include "platform/file_services.h"
#include "version.h"

namespace qm::app {
namespace {

using test::ReadFile;
using test::WriteFile;

class StartupTest : public test::AppFixture {
 protected:
  StartupTest() { state_ = AppState(); }  // the program starts from a fresh state
  void Load(const std::string& settings) {
    WriteFile(ini_, settings);
    Form_Load(state_, view_, ini_);
  }

  const std::filesystem::path ini_ = dir_.Path() / "Quillmark.ini";
};

// A first start without a settings file and a start with an empty one look the same.
class FirstStartTest : public StartupTest, public testing::WithParamInterface<bool> {};

TEST_P(FirstStartTest, ShowsTheDefaultsAndTheGuideWithoutAMessageAndWritesTheNormalisedOptions) {
  if (GetParam()) WriteFile(ini_, "");
  Form_Load(state_, view_, ini_);
  EXPECT_EQ(view_.WindowCaption, std::string("Quillmark ") + kAppVersion);
  EXPECT_TRUE(view_.Messages.empty());
  EXPECT_FALSE(state_.UseArchive || state_.Automatic || state_.SynchronizeXMP || state_.RemoveXMP);
  EXPECT_TRUE(view_.IsChecked(Control::optUseArchive0) && view_.IsChecked(Control::optAccents0));
  EXPECT_EQ(state_.ActiveAccentTable, coding::BuildMacToWindows());
  for (Control c : {Control::cmdRun, Control::cmdFiles0, Control::cmdFiles1, Control::cmdFiles2,
                    Control::cmdClearOutput, Control::cmdReprocess, Control::cmdBrowse1}) {
    EXPECT_FALSE(view_.IsEnabled(c)) << ControlName(c);
  }
  for (Control c : {Control::lblBulle0, Control::lblBulle1, Control::lblBulle2, Control::lblBulle3,
                    Control::lblBulle5, Control::LineBulle0, Control::LineBulle1, Control::LineBulle2,
                    Control::LineBulle3, Control::LineBulle4, Control::LineBulle5}) {
    EXPECT_TRUE(view_.IsVisible(c)) << ControlName(c);
  }
  EXPECT_EQ(ReadFile(ini_), "[Folders]\nUseArchive=0\n[Options]\nAccents=0\n");
}

INSTANTIATE_TEST_SUITE_P(WithoutAndWithAnEmptyFile, FirstStartTest, testing::Bool());

// Both XMP options leave only synchronisation.
TEST_F(StartupTest, UnusableOptionValuesAreReadAsDefaultsAndWrittenBackNormalisedInTheFilesLineEnds) {
  Load(
      "[Folders]\r\nUseArchive=yes\r\n[Options]\r\nAccents=7\r\nWait=2.5\r\n"
      "SynchronizeXMP=1\r\nRemoveXMP=1\r\n");
  EXPECT_FALSE(state_.UseArchive || state_.RemoveXMP || view_.IsChecked(Control::chkRemoveXMP));
  EXPECT_TRUE(state_.SynchronizeXMP);
  EXPECT_EQ(state_.Accents, 0);
  EXPECT_EQ(state_.Wait, 2);
  EXPECT_EQ(ReadFile(ini_),
            "[Folders]\r\nUseArchive=0\r\n[Options]\r\nAccents=0\r\nWait=2.5\r\nSynchronizeXMP=1\r\n"
            "RemoveXMP=0\r\n");
}

TEST_F(StartupTest, ShowsTheWaitTimeAndSetsTheProgressMaximum) {
  const struct {
    const char* Value;
    int Wait;
    const char* Label;
    int Maximum;
  } cases[] = {{"15abc", 15, "15 sec.", 14}, {"3.5", 4, "4 sec.", 3}, {"abc", 0, "0 sec.", 1},
               {"1", 1, "1 sec.", 1},        {"", 10, "10 sec.", 9},  {"99999", 32767, "32767 sec.", 32766}};
  for (const auto& c : cases) {
    Load(std::string("[Options]\nWait=") + c.Value + "\n");
    EXPECT_EQ(state_.Wait, c.Wait) << c.Value;
    EXPECT_EQ(view_.Caption(Control::lblMaxAttente), c.Label);
    EXPECT_EQ(view_.ProgressMaximum, c.Maximum) << c.Value;
  }
}

TEST_F(StartupTest, ALongFolderValueComesBackWholeEvenWhereACutWouldNameItsParent) {
  // 300 bytes of accented and CJK names, with a separator at byte 254: a cut there names the parent.
  std::string folder = dir_.Path().string();
  const char separator = kFolderSeparator;
  folder += separator + std::string(253 - folder.size() - 1, 'a') + separator;
  folder += "\xC3\xA9t\xC3\xA9-\xE5\x86\x99\xE7\x9C\x9F-" + std::string(40, 'b') + separator + std::string(60, 'c') +
            separator;
  std::filesystem::create_directories(platform::PathOf(folder));
  ASSERT_GT(folder.size(), 300u);
  Load("[Folders]\nInput=" + folder + "\n");
  EXPECT_EQ(state_.InputFolder, folder);
  EXPECT_EQ(view_.Caption(Control::lblFolder0), folder);
  EXPECT_TRUE(view_.Messages.empty());
}

TEST_F(StartupTest, ShowsFoldersAndOptionsFromTheFileEachFolderWithOneSeparator) {
  const std::string in = dir_.Folder("in"), archive = dir_.Folder("archive"), out = dir_.Folder("out");
  // Written by hand: without the separator, or with two.
  Load("[Folders]\nInput=" + in.substr(0, in.size() - 1) + "\nArchive=" + archive +
       "/\nUseArchive=1\nOutput=" + out.substr(0, out.size() - 1) +
       "\n[Options]\nAccents=1\nAutomatic=1\nRemoveXMP=1\nSettle=0\n" + "MaxFileMB=x\n");
  EXPECT_EQ(state_.Settle, 0);
  EXPECT_EQ(state_.MaxFileMB, 0);
  EXPECT_EQ(view_.Caption(Control::lblFolder0), in);
  EXPECT_EQ(view_.Caption(Control::lblFolder1), archive);
  EXPECT_EQ(view_.Caption(Control::lblFolder2), out);
  for (Control c :
       {Control::optUseArchive1, Control::optAccents1, Control::chkAutomatic, Control::chkRemoveXMP}) {
    EXPECT_TRUE(view_.IsChecked(c)) << ControlName(c);
  }
  EXPECT_EQ(state_.ActiveAccentTable, coding::BuildWindowsToMac());
  // Which buttons each folder enables is the validation's and the archive option's (their own tests).
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun) && view_.IsEnabled(Control::cmdReprocess));
  EXPECT_TRUE(view_.Messages.empty());
}

}  // namespace
}  // namespace qm::app
