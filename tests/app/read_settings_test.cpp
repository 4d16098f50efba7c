#include <gtest/gtest.h>

#include "app/startup.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

TEST(ReadSettings, ReadsEverySettingAndWritesNothing) {
  test::TempDir dir;
  AppState state;
  state.IniPath = dir.Path() / "Quillmark.ini";
  const std::string text =
      "[Folders]\nInput=/in/\nArchive=/archive/\nUseArchive=1\nOutput=/out/\n[Options]\nAccents=1\nWait=4\n"
      "Automatic=1\nSynchronizeXMP=1\nRemoveXMP=1\n";
  test::WriteFile(state.IniPath, text);
  ReadSettings(state);
  EXPECT_EQ(state.InputFolder, "/in/");
  EXPECT_EQ(state.ArchiveFolder, "/archive/");
  EXPECT_EQ(state.OutputFolder, "/out/");
  EXPECT_TRUE(state.UseArchive && state.Automatic && state.SynchronizeXMP && state.RemoveXMP);
  EXPECT_EQ(state.Wait, 4);
  EXPECT_EQ(state.ActiveAccentTable, coding::BuildWindowsToMac());
  EXPECT_EQ(test::ReadFile(state.IniPath), text);
}

}  // namespace
}  // namespace qm::app
