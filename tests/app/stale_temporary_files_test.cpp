#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "app/batch_run.h"
#include "app/file_operations.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

// The pid of a process that has ended.
long EndedPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST(RemoveStaleTemporaryFiles, RemovesOnlyWhatAProcessThatIsGoneLeftBehind) {
  test::TempDir dir;
  const std::string folder = dir.Folder("out");
  const std::string dead = std::to_string(EndedPid());
  const std::string mine = std::to_string(::getpid());
  for (const std::string& name : std::vector<std::string>{
           ".quillmark-" + dead + "-4-0.tmp", ".quillmark-" + dead + "-move-77",
           ".quillmark-" + mine + "-1-0.tmp", ".quillmark-1-2-0.tmp", ".quillmark-x-1.tmp", "photo.jpg"}) {
    test::WriteFile(folder + name, "x");
  }
  std::filesystem::create_directory(folder + ".quillmark-" + dead + "-folder");

  EXPECT_EQ(RemoveStaleTemporaryFiles(folder), 2);
  EXPECT_FALSE(std::filesystem::exists(folder + ".quillmark-" + dead + "-4-0.tmp"));
  EXPECT_FALSE(std::filesystem::exists(folder + ".quillmark-" + dead + "-move-77"));
  for (const std::string& name :
       std::vector<std::string>{".quillmark-" + mine + "-1-0.tmp", ".quillmark-1-2-0.tmp",
                                ".quillmark-x-1.tmp", "photo.jpg", ".quillmark-" + dead + "-folder"}) {
    EXPECT_TRUE(std::filesystem::exists(folder + name)) << name;
  }
}

TEST(RemoveStaleTemporaryFiles, AStartingRunClearsTheLeftoversOfAKilledOne) {
  test::TempDir dir;
  AppState state;
  state.IniPath = dir.Path() / "Quillmark.ini";
  state.InputFolder = dir.Folder("in");
  state.OutputFolder = dir.Folder("out");
  const std::string leftover = state.OutputFolder + ".quillmark-" + std::to_string(EndedPid()) + "-9-0.tmp";
  test::WriteFile(leftover, "half an image");
  test::RecordingView view;
  cmdRun_Click(state, view);
  EXPECT_TRUE(state.Running);
  EXPECT_FALSE(std::filesystem::exists(leftover));
}

}  // namespace
}  // namespace qm::app
