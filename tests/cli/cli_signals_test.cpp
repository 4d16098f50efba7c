// The real program under signals: whatever moment a signal picks, no input is lost and no output is partial.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/app_fixture.h"
#include "support/temp_dir.h"

namespace qm::cli {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;

class CliSignalsTest : public testing::Test {
 protected:
  CliSignalsTest() : input_(dir_.Folder("in")), output_(dir_.Folder("out")) {
    WriteFile(ini_, "[Folders]\nInput=" + input_ + "\nOutput=" + output_ + "\n[Options]\nSettle=0\n");
    for (int i = 0; i < 500; ++i) {
      std::string bytes(20'000 + i * 997 % 50'000, '\0');
      for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<char>((b * 31 + i) % 251);
      const std::string name = "photo-" + std::to_string(1000 + i) + ".jpg";
      WriteFile(input_ + name, bytes);
      originals_.emplace_back(name, std::move(bytes));
    }
  }

  // Runs the program on the settings file with `command`, its output into files of the temporary folder and
  // nothing on its input. Once the output folder holds `outputs` files, sends `signal`; 0 sends none.
  // Returns the exit status, or 128 plus the signal that ended it.
  int Run(const char* command, std::size_t outputs = 0, int signal = 0) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDONLY);
      const int out = ::open((dir_.Path() / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open((dir_.Path() / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(null, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      ::execl(QUILLMARK_CLI_PROGRAM, QUILLMARK_CLI_PROGRAM, "--ini", ini_.c_str(), "--accents", "none",
              command, nullptr);
      ::_exit(127);
    }
    for (int i = 0; signal != 0 && i < 60'000 && Names(output_).size() < outputs; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (signal != 0) ::kill(pid, signal);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Every file under a final name in the output folder is complete, and every input is somewhere.
  void ExpectNothingLostOrPartial() const {
    for (const auto& [name, bytes] : originals_) {
      const bool in_input = fs::exists(input_ + name);
      const bool in_output = fs::exists(output_ + name);
      EXPECT_TRUE(in_input || in_output) << name << " is lost";
      EXPECT_TRUE(!in_output || ReadFile(output_ + name) == bytes) << name << " is not complete";
      EXPECT_TRUE(!in_input || ReadFile(input_ + name) == bytes) << name << " changed in the input folder";
    }
  }

  test::TempDir dir_;
  std::string input_;
  std::string output_;
  std::string ini_ = (dir_.Path() / "Quillmark.ini").string();
  std::vector<std::pair<std::string, std::string>> originals_;
};

TEST_F(CliSignalsTest, AWatchKilledInTheMiddleLosesNothingAndTheNextRunFinishesTheJob) {
  EXPECT_EQ(Run("watch", 50, SIGKILL), 128 + SIGKILL);
  ExpectNothingLostOrPartial();

  EXPECT_EQ(Run("run"), 0) << ReadFile(dir_.Path() / "stderr");
  ExpectNothingLostOrPartial();
  for (const std::string& name : Names(input_)) EXPECT_EQ(name[0], '.') << name << " is left over";
}

TEST_F(CliSignalsTest, SigtermEndsAWatchBetweenTwoImages) {
  EXPECT_EQ(Run("watch", 5, SIGTERM), 1);
  ExpectNothingLostOrPartial();
  // Every image it began was finished and told.
  const std::string out = ReadFile(dir_.Path() / "stdout");
  std::size_t written = 0;
  for (std::size_t at = out.find(": written, deleted\n"); at != std::string::npos;
       at = out.find(": written, deleted\n", at + 1)) {
    ++written;
  }
  std::size_t outputs = 0;
  for (const std::string& name : Names(output_)) outputs += name[0] != '.';
  EXPECT_EQ(written, outputs);
  EXPECT_NE(out.rfind("\nLast: "), std::string::npos);
}

}  // namespace
}  // namespace qm::cli
