#include "app/folder_choice.h"

#include <gtest/gtest.h>

#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

using test::ReadFile;
using test::RecordingView;
using test::TempDir;

struct SettingCase {
  const char* Directory;
  const char* Setting;
};

class FolderSettingTest : public testing::TestWithParam<SettingCase> {};

TEST_P(FolderSettingTest, EndsWithExactlyOneSeparator) {
  EXPECT_EQ(FolderSetting(GetParam().Directory), GetParam().Setting);
}

INSTANTIATE_TEST_SUITE_P(Directories, FolderSettingTest,
                         testing::Values(SettingCase{"/photos/in", "/photos/in/"},
                                         SettingCase{"/photos/in/", "/photos/in/"},
                                         SettingCase{"/photos/in///", "/photos/in/"}, SettingCase{"/", "/"},
                                         SettingCase{"//", "/"}, SettingCase{"/a b/c", "/a b/c/"},
                                         SettingCase{"", ""}));

struct VolumeCase {
  const char* Path;
  int Volume;
};

class VolumeOfTest : public testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeOfTest, PicksTheLongestRootThatHoldsThePath) {
  const std::vector<std::string> roots = {"/", "/home", "/media/card/", "/mnt/x"};
  EXPECT_EQ(VolumeOf(GetParam().Path, roots), GetParam().Volume) << GetParam().Path;
}

INSTANTIATE_TEST_SUITE_P(Paths, VolumeOfTest,
                         testing::Values(VolumeCase{"/", 0}, VolumeCase{"/usr/share", 0},
                                         VolumeCase{"/home", 1}, VolumeCase{"/home/", 1},
                                         VolumeCase{"/home/ann/photos", 1}, VolumeCase{"/homework", 0},
                                         VolumeCase{"/media/card", 2}, VolumeCase{"/media/card/dcim", 2},
                                         VolumeCase{"/media/cardigan", 0}, VolumeCase{"/mnt/x/y", 3},
                                         VolumeCase{"relative/path", -1}));

TEST(VolumeOfTest, NoRootsHoldNothing) { EXPECT_EQ(VolumeOf("/a", {}), -1); }

TEST(FolderChooserTitleTest, NamesTheRowOrShowsQuestionMarks) {
  EXPECT_EQ(FolderChooserTitle(0), "Quillmark - Input folder");
  EXPECT_EQ(FolderChooserTitle(3), "???");
  EXPECT_EQ(FolderChooserTitle(-1), "???");
}

class StoreChosenFolderTest : public testing::Test {
 protected:
  StoreChosenFolderTest() { state_.IniPath = dir_.Path() / "Quillmark.ini"; }

  TempDir dir_;
  AppState state_;
  RecordingView view_;
};

TEST_F(StoreChosenFolderTest, EachRowStoresItsKeyAndTheFoldersAreValidated) {
  const std::string folder = dir_.Folder("x");
  for (int row = 0; row < 3; ++row) {
    state_.FolderIndex = static_cast<std::int16_t>(row);
    StoreChosenFolder(state_, view_, folder + "/");
    EXPECT_EQ(FolderOfRow(state_, row), folder);
  }
  EXPECT_EQ(ReadFile(state_.IniPath),
            "[Folders]\nInput=" + folder + "\nArchive=" + folder + "\nOutput=" + folder + "\n");
  EXPECT_EQ(view_.Caption(Control::lblFolder1), folder);
  // Input and output exist now: the guide is gone and Run is usable.
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  EXPECT_FALSE(view_.IsVisible(Control::lblBulle5));
}

TEST_F(StoreChosenFolderTest, AnotherRowOrAnEmptyDirectoryChangesNothing) {
  state_.FolderIndex = 3;
  StoreChosenFolder(state_, view_, dir_.Folder("x"));
  state_.FolderIndex = 0;
  StoreChosenFolder(state_, view_, "");
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));
  EXPECT_TRUE(view_.Log.empty());
  EXPECT_EQ(state_.InputFolder, "");
}

}  // namespace
}  // namespace qm::app
