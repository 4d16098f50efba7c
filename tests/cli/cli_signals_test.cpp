// The real program under signals: whatever moment a signal picks, no input is lost and no output is partial.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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
    WriteFile(ini_, "[Folders]\nInput=" + input_ + "\nOutput=" + output_ + "\n");
    for (int i = 0; i < 500; ++i) {
      std::string bytes(20'000 + i * 997 % 50'000, '\0');
      for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<char>((b * 31 + i) % 251);
      const std::string name = "photo-" + std::to_string(1000 + i) + ".jpg";
      WriteFile(input_ + name, bytes);
      originals_.emplace_back(name, std::move(bytes));
    }
  }

  // Starts the program on the settings file with `arguments`, its output and its messages into the file
  // "stdout" of the temporary folder and nothing on its input.
  pid_t Start(std::vector<const char*> arguments) const {
    const std::string out = (dir_.Path() / "stdout").string();
    arguments.insert(arguments.begin(), {QUILLMARK_CLI_PROGRAM, "--ini", ini_.c_str(), "--accents", "none"});
    arguments.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(::open("/dev/null", O_RDONLY), 0);
      ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
      ::dup2(1, 2);
      ::execv(QUILLMARK_CLI_PROGRAM, const_cast<char* const*>(arguments.data()));
      ::_exit(127);
    }
    return pid;
  }
  // Once `done` holds (a minute at most), sends `signal`; returns the exit status, or 128 plus the signal
  // that ended the program.
  template <typename Done>
  static int Finish(pid_t pid, Done done, int signal) {
    for (int i = 0; i < 60'000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, signal);
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

// A watch killed in the middle loses nothing; one ended by SIGTERM finishes and tells the image in hand; the
// next one finishes the job and, with a minute between two timed scans, takes a file written into the input
// folder, or renamed into it, within seconds: the folder's notifications wake it.
TEST_F(CliSignalsTest, NoWatchEndedBySignalLosesAnImageAndTheNextOneTakesNewFilesAtOnce) {
  EXPECT_EQ(Finish(
                Start({"watch"}), [&] { return Names(output_).size() >= 50; }, SIGKILL),
            128 + SIGKILL);
  ExpectNothingLostOrPartial();

  // Every image it began was finished and told: as many inputs went as it said.
  const auto inputs = [&] {
    std::size_t count = 0;
    for (const std::string& name : Names(input_)) count += name[0] != '.';
    return count;
  };
  const std::size_t before = inputs();
  int status = Finish(
      Start({"watch"}), [&] { return inputs() + 5 <= before; }, SIGTERM);
  EXPECT_TRUE(status == 0 || status == 1) << status;
  ExpectNothingLostOrPartial();
  std::string out = ReadFile(dir_.Path() / "stdout");
  std::size_t told = 0;
  for (std::size_t at = out.find(": written, deleted\n"); at != std::string::npos;
       at = out.find(": written, deleted\n", at + 1))
    ++told;
  EXPECT_EQ(told, before - inputs());
  EXPECT_NE(out.rfind("\nLast: "), std::string::npos);

  const auto late = [&](const char* name, const char* written_as) {
    const auto dropped = std::chrono::steady_clock::now();
    WriteFile(input_ + written_as, name);
    fs::rename(input_ + written_as, input_ + name);
    for (int i = 0; i < 10'000 && !fs::exists(output_ + name); ++i) ::usleep(1000);
    EXPECT_EQ(ReadFile(output_ + name), name);
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::seconds(10)) << name;
  };
  status = Finish(
      Start({"--wait", "60", "watch"}),
      [&] {
        if (ReadFile(dir_.Path() / "stdout").find("\nLast: ") == std::string::npos) return false;
        late("written.jpg", "written.jpg");
        late("renamed.jpg", ".upload");
        return true;
      },
      SIGTERM);
  EXPECT_TRUE(status == 0 || status == 1) << status;
  ExpectNothingLostOrPartial();
  for (const std::string& name : Names(input_)) EXPECT_EQ(name[0], '.') << name << " is left over";
}

}  // namespace
}  // namespace qm::cli
