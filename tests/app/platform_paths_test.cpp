#include "app/platform_paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/temp_dir.h"

namespace qm::app {
namespace {

TEST(DefaultIniPath, BesideAWritableProgramOtherwiseInTheUsersConfigFolder) {
  test::TempDir dir;
  EXPECT_EQ(DefaultIniPath(dir.Path()), dir.Path() / "Quillmark.ini");

  const std::string saved_xdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
  const std::filesystem::path unwritable = dir.Path() / "not-there";
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(DefaultIniPath(unwritable), std::filesystem::path("/cfg/Quillmark/Quillmark.ini"));
  // Installed under /usr: per user, even for root, who may write there.
  EXPECT_EQ(DefaultIniPath("/usr/bin"), std::filesystem::path("/cfg/Quillmark/Quillmark.ini"));
  setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored: the variable must hold an absolute path
  setenv("HOME", "/home/desk", 1);
  EXPECT_EQ(DefaultIniPath(unwritable), std::filesystem::path("/home/desk/.config/Quillmark/Quillmark.ini"));
  if (saved_xdg.empty()) {
    unsetenv("XDG_CONFIG_HOME");
  } else {
    setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
  }
}

TEST(ExecutableFolder, IsTheFolderOfTheRunningProgram) {
  const auto folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_TRUE(std::filesystem::exists(folder / "app_tests"));
}

}  // namespace
}  // namespace qm::app
