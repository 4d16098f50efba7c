#include "app/folder_choice.h"

#include <gtest/gtest.h>

#include "app/app_fixture.h"
#include "app/platform_paths.h"

namespace qm::app {
namespace {

TEST(FolderSetting, EndsWithExactlyOneSeparator) {
#if defined(_WIN32)  // the system's separator, or a slash, which Windows takes for one too
  const std::pair<const char*, const char*> cases[] = {{"C:\\photos\\in", "C:\\photos\\in\\"},
                                                       {"C:\\photos\\in\\/\\", "C:\\photos\\in\\"},
                                                       {"C:/photos/in", "C:/photos/in\\"},
                                                       {"C:\\", "C:\\"},
                                                       {"", ""}};
#else
  const std::pair<const char*, const char*> cases[] = {
      {"/photos/in", "/photos/in/"}, {"/photos/in///", "/photos/in/"}, {"/", "/"}, {"//", "/"}, {"", ""}};
#endif
  for (const auto& [directory, setting] : cases) EXPECT_EQ(FolderSetting(directory), setting) << directory;
}

TEST(VolumeOf, PicksTheLongestRootThatHoldsThePathAsAWholeFolder) {
  const std::vector<std::string> roots = {"/", "/home", "/media/card/"};
  const std::pair<const char*, int> cases[] = {{"/usr/share", 0},  {"/home/ann", 1},       {"/homework", 0},
                                               {"/media/card", 2}, {"/media/cardigan", 0}, {"relative", -1}};
  for (const auto& [path, volume] : cases) EXPECT_EQ(VolumeOf(path, roots), volume) << path;
}

using StoreChosenFolderTest = test::AppFixture;

TEST_F(StoreChosenFolderTest, EachRowStoresItsKeyAndValidatesAnotherRowOrNoDirectoryChangesNothing) {
  const std::string folder = dir_.Folder("x");
  state_.FolderIndex = 3;
  StoreChosenFolder(state_, view_, folder);
  state_.FolderIndex = 0;
  StoreChosenFolder(state_, view_, "");
  EXPECT_TRUE(view_.Log.empty());
  EXPECT_FALSE(std::filesystem::exists(state_.IniPath));

  // One folder for every row is stored all the same, with a warning for each row that already has it.
  for (int row = 0; row < 3; ++row) {
    state_.FolderIndex = static_cast<std::int16_t>(row);
    StoreChosenFolder(state_, view_, folder + kFolderSeparator);
    EXPECT_EQ(FolderOfRow(state_, row), folder);
  }
  EXPECT_EQ(test::ReadFile(state_.IniPath),
            "[Folders]\nInput=" + folder + "\nArchive=" + folder + "\nOutput=" + folder + "\n");
  EXPECT_EQ(view_.MessageTexts(),
            (std::vector<std::string>{"The archive folder is also the input folder\n" + folder,
                                      "The output folder is also the input folder\n" + folder,
                                      "The output folder is also the archive folder\n" + folder}));
  EXPECT_EQ(view_.Caption(Control::lblFolder1), folder);
  // A name with a line break could not be read back from the settings file: refused, nothing changes.
  view_.Messages.clear();
  const std::string broken = (dir_.Path() / "two\nlines").string();  // a name Windows refuses anyway
  EXPECT_FALSE(StoreChosenFolder(state_, view_, broken));
  EXPECT_EQ(view_.MessageTexts(),
            std::vector<std::string>{"This folder cannot be stored: its name holds a line break\n" +
                                     (dir_.Path() / "two\\x0Alines").string() + kFolderSeparator});
  EXPECT_EQ(state_.OutputFolder, folder);
  // Input and output exist now: the guide is gone and Run is usable.
  EXPECT_TRUE(view_.IsEnabled(Control::cmdRun));
  EXPECT_FALSE(view_.IsVisible(Control::lblBulle5));
}

}  // namespace
}  // namespace qm::app
