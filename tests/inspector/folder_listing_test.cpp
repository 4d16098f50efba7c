#include "inspector/folder_listing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace qm::inspector {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

TEST(InspectedFolder, TitleAndFolderFollowTheFolderIndex) {
  app::AppState state;
  state.InputFolder = "/in/";
  state.ArchiveFolder = "/archive/";
  state.OutputFolder = "/out/";
  const struct {
    int Index;
    const char* Title;
    std::optional<std::string> Folder;
  } cases[] = {{0, "Quillmark - Input folder", "/in/"},
               {1, "Quillmark - Archive folder", "/archive/"},
               {2, "Quillmark - Output folder", "/out/"},
               {3, "???", std::nullopt},
               {-1, "???", std::nullopt}};
  for (const auto& c : cases) {
    state.FolderIndex = static_cast<std::int16_t>(c.Index);
    const InspectedFolderChoice choice = ChooseInspectedFolder(state);
    EXPECT_EQ(choice.Title, c.Title);
    EXPECT_EQ(choice.Folder, c.Folder);
  }
}

TEST(ListInspectedFolder, ListsFilesOfEveryKindButNotFoldersNorDotNames) {
  test::TempDir temp;
  const std::string folder = temp.Folder("in");
  test::WriteFile(folder + "a.jpg", "\xFF\xD8");
  test::WriteFile(folder + "notes.txt", "text");
  test::WriteFile(folder + ".hidden.jpg", "\xFF\xD8");
  temp.Folder("in/sub");
  temp.Folder("in/sub.jpg");
  std::filesystem::create_directory_symlink(temp.Path() / "in" / "sub", temp.Path() / "in" / "link");
  std::filesystem::create_symlink(temp.Path() / "gone", temp.Path() / "in" / "dangling");
  EXPECT_THAT(ListInspectedFolder(folder), ElementsAre("a.jpg", "dangling", "notes.txt"));
  EXPECT_EQ(ImagesCaption(2), "2 images");
}

TEST(ListInspectedFolder, SortsNamesWithoutRegardToCase) {
  test::TempDir temp;
  const std::string folder = temp.Folder("in");
  for (const char* name :
       {"c.jpg", "B.jpg", "a.jpg", "A.jpg", "a", "\xC3\xA9t\xC3\xA9.jpg", "_x", "10.jpg"}) {
    test::WriteFile(folder + name, "x");
  }
  EXPECT_THAT(ListInspectedFolder(folder),
              ElementsAre("10.jpg", "_x", "a", "A.jpg", "a.jpg", "B.jpg", "c.jpg", "\xC3\xA9t\xC3\xA9.jpg"));
}

TEST(ListInspectedFolder, MissingFoldersListNothing) {
  test::TempDir temp;
  EXPECT_THAT(ListInspectedFolder(""), IsEmpty());
  EXPECT_THAT(ListInspectedFolder((temp.Path() / "missing").string() + "/"), IsEmpty());
  test::WriteFile(temp.Path() / "file", "x");
  EXPECT_THAT(ListInspectedFolder((temp.Path() / "file").string() + "/"), IsEmpty());
  EXPECT_THAT(ListInspectedFolder(temp.Folder("empty")), IsEmpty());
  EXPECT_EQ(ImagesCaption(0), "0 images");
}

}  // namespace
}  // namespace qm::inspector
