#include "app/inspected_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace qm::app {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

TEST(ListInspectedFolder, ListsFilesOfEveryKindByNameButNotFoldersNorDotNames) {
  test::TempDir temp;
  const std::string folder = temp.Folder("in");
  for (const char* name : {"c.jpg", "B.txt", "a.jpg", ".hidden.jpg"}) test::WriteFile(folder + name, "x");
  temp.Folder("in/sub.jpg");
  EXPECT_THAT(ListInspectedFolder(folder), ElementsAre("a.jpg", "B.txt", "c.jpg"));
  EXPECT_EQ(ImagesCaption(4) + ImagesCaption(1), "4 images1 image");
  EXPECT_THAT(ListInspectedFolder(""), IsEmpty());
  EXPECT_THAT(ListInspectedFolder(folder + "missing/"), IsEmpty());
}

#if !defined(_WIN32)

TEST(ListInspectedFolder, ListsALinkToAFileOrToNothingButNotOneToAFolder) {
  test::TempDir temp;
  const std::string folder = temp.Folder("in");
  test::WriteFile(folder + "a.jpg", "x");
  temp.Folder("in/sub.jpg");
  std::filesystem::create_directory_symlink(temp.Path() / "in" / "sub.jpg", temp.Path() / "in" / "link");
  std::filesystem::create_symlink(temp.Path() / "gone", temp.Path() / "in" / "dangling");
  EXPECT_THAT(ListInspectedFolder(folder), ElementsAre("a.jpg", "dangling"));
}

#endif

}  // namespace
}  // namespace qm::app
