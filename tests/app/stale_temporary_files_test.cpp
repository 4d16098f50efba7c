#include <sys/wait.h>
#include <unistd.h>

#include "app/app_fixture.h"
#include "app/batch_run.h"
#include "app/file_operations.h"

namespace qm::app {
namespace {

using StaleTemporaryFilesTest = test::BatchFixture;

TEST_F(StaleTemporaryFilesTest, OnlyWhatAProcessThatIsGoneLeftBehindGoesAndARunStartsByRemovingIt) {
  const pid_t child = ::fork();  // a process that has ended
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = ".quillmark-" + std::to_string(child),
                    mine = ".quillmark-" + std::to_string(::getpid());
  std::vector<std::string> kept = {mine + "-1-0.tmp", ".quillmark-1-2-0.tmp", ".quillmark-x-1.tmp",
                                   "photo.jpg"};
  for (const std::string& name : kept) test::WriteFile(output_ + name, "x");
  for (const char* name : {"-4-0.tmp", "-move-77"}) test::WriteFile(output_ + dead + name, "x");
  std::filesystem::create_directory(output_ + dead + "-folder");
  kept.push_back(dead + "-folder");
  std::sort(kept.begin(), kept.end());

  EXPECT_EQ(RemoveStaleTemporaryFiles(output_), 2);
  EXPECT_EQ(test::Names(output_), kept);
  test::WriteFile(input_ + dead + "-9-0.tmp", "half an image");
  cmdRun_Click(state_, view_);
  EXPECT_TRUE(state_.Running);
  EXPECT_EQ(test::Names(input_), std::vector<std::string>{});
}

}  // namespace
}  // namespace qm::app
