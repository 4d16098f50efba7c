// The real program under signals and beside another Quillmark: whatever moment a signal picks, and whatever
// the other process does, no input is lost and no output is partial.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
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
    WriteFile(ini_, "[Folders]\nInput=" + input_ + "\nOutput=" + output_ + "\n[Options]\nSettle=0\n");
    for (int i = 0; i < 500; ++i) {
      std::string bytes(20'000 + i * 997 % 50'000, '\0');
      for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<char>((b * 31 + i) % 251);
      bytes.replace(0, 3, "\xFF\xD8\xFF");  // a JPEG image's first and last markers
      bytes.replace(bytes.size() - 2, 2, "\xFF\xD9");
      const std::string name = "photo-" + std::to_string(1000 + i) + ".jpg";
      WriteFile(input_ + name, bytes);
      originals_.emplace_back(name, std::move(bytes));
    }
  }

  // Starts the program on the settings file with `arguments` after `--ini FILE --accents none`, its output
  // into the files "<tag>.stdout" and "<tag>.stderr" of the temporary folder and nothing on its input, after
  // the command line `wrapper` (a tracer, a namespace).
  pid_t Start(std::vector<std::string> arguments, const std::string& tag = "",
              std::vector<std::string> wrapper = {}) {
    std::vector<std::string> line = {QUILLMARK_CLI_PROGRAM, "--ini", ini_, "--accents", "none"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    line.insert(line.begin(), wrapper.begin(), wrapper.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDONLY);
      const int out = ::open((dir_.Path() / (tag + ".stdout")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open((dir_.Path() / (tag + ".stderr")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(null, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      // The leak checker of a sanitizer build cannot work under a tracer, and would end the program with 1.
      if (!wrapper.empty()) ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      std::vector<char*> argv;
      for (std::string& a : line) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    return pid;
  }
  // strace, writing the calls named into "<tag>.trace", and with `inject` (strace's syntax) changing them.
  std::vector<std::string> Traced(const std::string& tag, const char* calls, const char* inject = nullptr) const {
    std::vector<std::string> wrapper = {"strace", "-f", "-qq", "-e", std::string("trace=") + calls, "-o",
                                        (dir_.Path() / (tag + ".trace")).string()};
    if (inject != nullptr) wrapper.insert(wrapper.end(), {"-e", std::string("inject=") + inject});
    return wrapper;
  }
  // The exit status, or 128 plus the signal that ended the process.
  static int Wait(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Once `done` holds (a minute at most), sends `signal`; returns as `Wait` does.
  template <typename Done>
  static int Finish(pid_t pid, Done done, int signal) {
    for (int i = 0; i < 60'000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ::kill(pid, signal);
    return Wait(pid);
  }
  // Every file under a final name in the output folder is complete, and every input is somewhere: in the
  // input folder, or (with `archive`) in the archive folder, or (without) only in the output folder.
  void ExpectNothingLostOrPartial(const std::string& archive = "") const {
    for (const auto& [name, bytes] : originals_) {
      const bool in_input = fs::exists(input_ + name);
      const bool in_output = fs::exists(output_ + name);
      if (!archive.empty()) {
        EXPECT_TRUE(in_input || ReadFile(archive + name) == bytes) << name << " is lost";
      }
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

// A watch killed in the middle loses nothing; one ended by SIGTERM finishes and tells the images in hand; the
// next one finishes the job and, with a minute between two timed scans, takes a file written into the input
// folder, or renamed into it, within seconds: the folder's notifications wake it, and it looks again once the
// file has settled.
TEST_F(CliSignalsTest, NoWatchEndedBySignalLosesAnImageAndTheNextOneTakesNewFilesAtOnce) {
  EXPECT_EQ(Finish(Start({"watch"}), [&] { return Names(output_).size() >= 50; }, SIGKILL), 128 + SIGKILL);
  ExpectNothingLostOrPartial();

  // Every image it began was finished and told: as many inputs went as it said.
  const auto inputs = [&] {
    std::size_t count = 0;
    for (const std::string& name : Names(input_)) count += name[0] != '.';
    return count;
  };
  const std::size_t before = inputs();
  EXPECT_EQ(Finish(Start({"watch"}), [&] { return inputs() + 5 <= before; }, SIGTERM), 1);
  ExpectNothingLostOrPartial();
  std::string out = ReadFile(dir_.Path() / ".stdout");
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
  EXPECT_EQ(Finish(Start({"--wait", "60", "--settle", "1", "watch"}),
                   [&] {
                     if (ReadFile(dir_.Path() / ".stdout").find("\nLast: ") == std::string::npos) return false;
                     late("written.jpg", "written.jpg");
                     late("renamed.jpg", ".upload");
                     return true;
                   },
                   SIGTERM),
            1);
  ExpectNothingLostOrPartial();
  EXPECT_EQ(Names(input_), std::vector<std::string>{});
  // What the killed one left half written is gone too.
  for (const std::string& name : Names(output_)) EXPECT_NE(name[0], '.') << name << " is left over";
}

// Two desks on one share, or the service and a run by hand, with the archive on another file system: one of
// them works at a time, the other says so, and no original is lost, also when one of them is slowed down.
TEST_F(CliSignalsTest, ASecondQuillmarkLeavesAFolderInUseAloneAndNoOriginalIsLost) {
  const std::string archive = "/dev/shm/quillmark-test-" + std::to_string(::getpid()) + "/";
  fs::create_directories(archive);
  const std::vector<std::string> archiving = {"--archive", archive, "--after", "archive", "run"};
  const pid_t slowed = Start(archiving, "first", Traced("first", "unlink,unlinkat,rename,renameat2"));
  for (int i = 0; i < 60'000 && Names(output_).size() < 5; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const int second = Wait(Start(archiving, "second"));
  const int reprocess = Wait(Start({"--archive", archive, "reprocess-archive", "--yes"}, "third"));
  EXPECT_EQ(Wait(slowed), 0) << ReadFile(dir_.Path() / "first.stderr");
  EXPECT_EQ(second, 1);
  EXPECT_EQ(reprocess, 1);
  for (const char* tag : {"second", "third"}) {
    EXPECT_NE(ReadFile(dir_.Path() / (std::string(tag) + ".stderr"))
                  .find("Another Quillmark is working on the input folder; it is left to it"),
              std::string::npos)
        << tag;
  }
  ExpectNothingLostOrPartial(archive);
  EXPECT_EQ(Names(archive).size(), originals_.size());
  fs::remove_all(archive);
}

// An input is deleted only once its output is on the device: its data flushed after it was written, then
// its folder entry.
TEST_F(CliSignalsTest, EachInputIsDeletedOnlyAfterItsOutputAndTheOutputFolderWereFlushed) {
  EXPECT_EQ(Wait(Start({"run"}, "run", Traced("run", "openat,fdatasync,fsync,syncfs,rename,renameat2,unlink,unlinkat"))),
            0);
  std::ifstream trace(dir_.Path() / "run.trace");
  std::map<std::string, int> made;    // temporary output -> line of its creation
  std::map<std::string, int> placed;  // output name -> line of its rename into place
  int data_flushed = -1, folder_flushed = -1, deleted = 0;
  const auto quoted = [](const std::string& line, std::size_t from) {
    return line.substr(from, line.find('"', from) - from);
  };
  std::string line;
  for (int n = 0; std::getline(trace, line); ++n) {
    if (line.find("fdatasync(") != std::string::npos || line.find("syncfs(") != std::string::npos) data_flushed = n;
    if (line.find(" fsync(") != std::string::npos) folder_flushed = n;
    const std::size_t temporary = line.find(output_ + ".quillmark-");
    if (line.find("openat(") != std::string::npos && line.find("O_CREAT") != std::string::npos &&
        temporary != std::string::npos) {
      made[quoted(line, temporary)] = n;
    }
    const std::size_t out = line.rfind(output_);  // the target, after the temporary name
    const std::string name = out == std::string::npos ? "" : quoted(line, out + output_.size());
    if (line.find("rename") != std::string::npos && !name.empty() && name[0] != '.' &&
        line.find("= 0") != std::string::npos) {
      placed[name] = n;
      ASSERT_TRUE(made.count(quoted(line, temporary))) << line;
      EXPECT_GT(data_flushed, made[quoted(line, temporary)]) << line;
    }
    const std::size_t aside = line.find("-aside/");
    if (line.find("unlink") != std::string::npos && aside != std::string::npos) {
      const std::string name = quoted(line, aside + 7);
      ASSERT_TRUE(placed.count(name)) << line;
      EXPECT_GT(folder_flushed, placed[name]) << line;
      ++deleted;
    }
  }
  EXPECT_EQ(deleted, static_cast<int>(originals_.size()));
}

// A run killed while an original waits set aside; a corrected picture sent again under its name; two more
// runs. Each runs with the same process id, as a restarted container would: the id tells nothing of who
// owns what. Both pictures come out, the older one under a name of its own, told once with both names.
TEST_F(CliSignalsTest, AnOriginalSetAsideByAKilledRunNeverComesBackOverANewerPicture) {
  // On another file system, where an archived original is copied, set aside and then deleted.
  const std::string archive = "/dev/shm/quillmark-test-" + std::to_string(::getpid()) + "/";
  fs::create_directories(archive);
  const std::vector<std::string> ns = {"unshare", "--pid", "--fork", "--mount-proc", "--kill-child"};
  for (const bool archiving : {false, true}) {
    std::vector<std::string> arguments = {"run"};
    if (archiving) arguments = {"--archive", archive, "--after", "archive", "run"};
    std::vector<std::string> slowed = ns;
    // The deletes are slowed: the original waits a second set aside before it goes, or moves on.
    for (const std::string& a : Traced("killed", "unlink,unlinkat", "unlink,unlinkat:delay_enter=1000000")) {
      slowed.push_back(a);
    }
    const pid_t wrapper = Start(arguments, "killed", slowed);
    std::string aside, name;
    for (int i = 0; i < 60'000 && name.empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      for (const std::string& entry : Names(input_)) {
        if (entry.ends_with("-aside") && !Names(input_ + entry).empty()) {
          aside = entry;
          name = Names(input_ + entry).front();
        }
      }
    }
    ASSERT_FALSE(name.empty());
    (void)!::system(("pkill -KILL -f '^" + std::string(QUILLMARK_CLI_PROGRAM) + " --ini " + ini_ + "'").c_str());
    Wait(wrapper);
    const std::string old = ReadFile(input_ + aside + "/" + name);
    ASSERT_FALSE(old.empty());
    WriteFile(input_ + name, "corrected");

    std::vector<std::string> traced = ns;
    for (const std::string& a : Traced("again", "execve")) traced.push_back(a);
    EXPECT_EQ(Wait(Start(arguments, "again", traced)), 0);
    EXPECT_EQ(Wait(Start(arguments, "third", traced)), 0);
    // The same id each time: the namespace's first process after the tracer.
    const std::string id = aside.substr(11, aside.find('.', 11) - 11);
    EXPECT_EQ(ReadFile(dir_.Path() / "again.trace").substr(0, id.size() + 1), id + " ") << id;

    const std::string recovered = name.substr(0, name.size() - 4) + " (recovered).jpg";
    EXPECT_EQ(ReadFile(output_ + name), "corrected");
    EXPECT_EQ(ReadFile(output_ + recovered), old);
    if (archiving) {
      EXPECT_EQ(ReadFile(archive + name), "corrected");
      EXPECT_EQ(ReadFile(archive + recovered), old);
    }
    EXPECT_NE(ReadFile(dir_.Path() / "again.stderr")
                  .find("back under another name, as its own was taken or processed meanwhile\n  " + input_ +
                        recovered + "\n  was " + input_ + name + "\n"),
              std::string::npos)
        << ReadFile(dir_.Path() / "again.stderr");
    EXPECT_EQ(ReadFile(dir_.Path() / "third.stderr"), "");
    for (const std::string& entry : Names(input_)) EXPECT_NE(entry[0], '.') << entry << " is left over";
    EXPECT_EQ(Names(input_), std::vector<std::string>{});

    // The next mode starts from the same pictures.
    fs::remove_all(output_);
    fs::create_directory(output_);
    for (const auto& [original, bytes] : originals_) WriteFile(input_ + original, bytes);
  }
  fs::remove_all(archive);
}

// An input that another program writes to while its output is being copied (saved again in place) keeps its
// place, and no output of it is published: the output would hold some of each version. The first copy of the
// run is held back for a moment, and the file it copies is written to meanwhile.
TEST_F(CliSignalsTest, AnInputWrittenToWhileItIsCopiedStaysAndNoOutputOfItIsPublished) {
  const pid_t run =
      Start({"run"}, "copy", Traced("copy", "openat,copy_file_range", "copy_file_range:delay_enter=1500000:when=1"));
  // The first input opened is the one whose copy waits.
  std::string name;
  for (int i = 0; i < 60'000 && name.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::ifstream trace(dir_.Path() / "copy.trace");
    for (std::string line; name.empty() && std::getline(trace, line);) {
      const std::size_t at = line.find("openat(AT_FDCWD, \"" + input_);
      if (at == std::string::npos) continue;
      const std::size_t begin = at + 18 + input_.size();
      name = line.substr(begin, line.find('"', begin) - begin);
      if (!name.empty() && name[0] == '.') name.clear();  // the folder's lock
    }
  }
  ASSERT_FALSE(name.empty());
  const int file = ::open((input_ + name).c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(file, "written again", 13, 1000), 13);
  ::close(file);
  EXPECT_EQ(Wait(run), 1);
  EXPECT_FALSE(fs::exists(output_ + name));
  EXPECT_NE(
      ReadFile(dir_.Path() / "copy.stdout")
          .find(name + ": not written, kept in the input folder: it changed while it was processed; the new "
                       "version waits for the next scan\n"),
      std::string::npos);
  for (auto& [original, bytes] : originals_) {
    if (original == name) bytes = ReadFile(input_ + name);
  }
  ExpectNothingLostOrPartial();
}

}  // namespace
}  // namespace qm::cli
