// The real program beside another Quillmark and when it is ended in the middle, and (on Linux) under signals
// and a tracer: whatever moment a signal picks, and whatever the other process does, no input is lost and no
// output is partial.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/app_fixture.h"
#include "app/file_operations.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

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
  test::ChildProcess Start(std::vector<std::string> arguments, const std::string& tag = "",
                           std::vector<std::string> wrapper = {}) {
    std::vector<std::string> line = {QUILLMARK_CLI_PROGRAM, "--ini", ini_, "--accents", "none"};
    line.insert(line.end(), arguments.begin(), arguments.end());
    // The leak checker of a sanitizer build cannot work under a tracer, and would end the program with 1.
    if (!wrapper.empty()) wrapper.insert(wrapper.begin(), {"env", "ASAN_OPTIONS=detect_leaks=0"});
    line.insert(line.begin(), wrapper.begin(), wrapper.end());
    return test::ChildProcess(line, dir_.Path() / tag);
  }
  // Waits until `done` holds, a minute at most; returns whether it does.
  template <typename Done>
  static bool Until(Done done) {
    for (int i = 0; i < 60'000; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Drops a file into the input folder of a watch that waits a minute between its timed scans, written there
  // or renamed into it: the folder's notifications wake it, and it takes the file within seconds.
  void ExpectTakenAtOnce(const char* name, const char* written_as) const {
    const auto dropped = std::chrono::steady_clock::now();
    WriteFile(input_ + written_as, name);
    fs::rename(input_ + written_as, input_ + name);
    Until([&] { return fs::exists(output_ + name); });
    // On Windows the rename that gave the output its name holds it open a moment longer, for deletion, and a
    // reader that does not share that (the standard streams) cannot open it meanwhile; once it opens, it must
    // be whole.
    Until([&] { return std::ifstream(test::SystemPath(output_ + name), std::ios::binary).is_open(); });
    EXPECT_EQ(ReadFile(output_ + name), name);
    EXPECT_LT(std::chrono::steady_clock::now() - dropped, std::chrono::seconds(10)) << name;
  }
  // The inputs left in the input folder (its private dot-names aside).
  std::size_t Inputs() const {
    std::size_t count = 0;
    for (const std::string& name : Names(input_)) count += name[0] != '.';
    return count;
  }
#if !defined(_WIN32)
  // strace, writing the calls named into "<tag>.trace", and with `inject` (strace's syntax) changing them.
  std::vector<std::string> Traced(const std::string& tag, const char* calls, const char* inject = nullptr) const {
    std::vector<std::string> wrapper = {"strace", "-f", "-qq", "-e", std::string("trace=") + calls, "-o",
                                        (dir_.Path() / (tag + ".trace")).string()};
    if (inject != nullptr) wrapper.insert(wrapper.end(), {"-e", std::string("inject=") + inject});
    return wrapper;
  }
  // Once `done` holds (a minute at most), sends `signal`; returns as `Wait` does.
  template <typename Done>
  static int Finish(test::ChildProcess child, Done done, int signal) {
    Until(done);
    ::kill(static_cast<pid_t>(child.Id()), signal);
    return child.Wait();
  }
#endif
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

// Names and folders of any script go in and come out as UTF-8, however the system passes arguments (on Windows,
// through its wide command line) and prints (on Windows, whatever the console's code page), with lines ending
// as on Linux.
TEST(CliProgram, TakesAndPrintsNamesOfAnyScriptInUtf8) {
  test::TempDir dir;
  const std::string input = dir.Folder("\xE5\x85\xA5\xE5\x8A\x9B \xC3\xA9t\xC3\xA9"), output = dir.Folder("out");
  const std::string name = "Caf\xC3\xA9 \xE5\x86\x99\xE7\x9C\x9F.jpg";
  WriteFile(input + name, "\xFF\xD8\xFF\xD9");
  WriteFile(dir.Path() / "Quillmark.ini", "[Options]\nSettle=0\n");
  test::ChildProcess run({QUILLMARK_CLI_PROGRAM, "--ini", (dir.Path() / "Quillmark.ini").string(), "--input", input,
                          "--output", output, "run"},
                         dir.Path() / "run");
  EXPECT_EQ(run.Wait(), 0) << ReadFile(dir.Path() / "run.stderr");
  const std::string out = ReadFile(dir.Path() / "run.stdout");
  EXPECT_EQ(out.substr(0, out.find('\n') + 1), name + ": written, deleted\n");
  EXPECT_EQ(ReadFile(output + name), "\xFF\xD8\xFF\xD9");
}

#if !defined(_WIN32)

// A watch killed in the middle loses nothing; one ended by SIGTERM finishes and tells the images in hand; the
// next one finishes the job and, with a minute between two timed scans, takes a file written into the input
// folder, or renamed into it, within seconds: the folder's notifications wake it, and it looks again once the
// file has settled.
TEST_F(CliSignalsTest, NoWatchEndedBySignalLosesAnImageAndTheNextOneTakesNewFilesAtOnce) {
  EXPECT_EQ(Finish(Start({"watch"}), [&] { return Names(output_).size() >= 50; }, SIGKILL), 128 + SIGKILL);
  ExpectNothingLostOrPartial();

  // Every image it began was finished and told: as many inputs went as it said.
  const std::size_t before = Inputs();
  EXPECT_EQ(Finish(Start({"watch"}), [&] { return Inputs() + 5 <= before; }, SIGTERM), 1);
  ExpectNothingLostOrPartial();
  std::string out = ReadFile(dir_.Path() / ".stdout");
  std::size_t told = 0;
  for (std::size_t at = out.find(": written, deleted\n"); at != std::string::npos;
       at = out.find(": written, deleted\n", at + 1))
    ++told;
  EXPECT_EQ(told, before - Inputs());
  EXPECT_NE(out.rfind("\nLast: "), std::string::npos);

  EXPECT_EQ(Finish(Start({"--wait", "60", "--settle", "1", "watch"}),
                   [&] {
                     if (ReadFile(dir_.Path() / ".stdout").find("\nLast: ") == std::string::npos) return false;
                     ExpectTakenAtOnce("written.jpg", "written.jpg");
                     ExpectTakenAtOnce("renamed.jpg", ".upload");
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
  test::ChildProcess slowed = Start(archiving, "first", Traced("first", "unlink,unlinkat,rename,renameat2"));
  Until([&] { return Names(output_).size() >= 5; });
  const int second = Start(archiving, "second").Wait();
  const int reprocess = Start({"--archive", archive, "reprocess-archive", "--yes"}, "third").Wait();
  EXPECT_EQ(slowed.Wait(), 0) << ReadFile(dir_.Path() / "first.stderr");
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
  EXPECT_EQ(Start({"run"}, "run", Traced("run", "openat,fdatasync,fsync,syncfs,rename,renameat2,unlink,unlinkat")).Wait(),
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
    test::ChildProcess wrapper = Start(arguments, "killed", slowed);
    std::string aside, name;
    Until([&] {
      for (const std::string& entry : Names(input_)) {
        if (entry.ends_with("-aside") && !Names(input_ + entry).empty()) {
          aside = entry;
          name = Names(input_ + entry).front();
        }
      }
      return !name.empty();
    });
    ASSERT_FALSE(name.empty());
    (void)!::system(("pkill -KILL -f '^" + std::string(QUILLMARK_CLI_PROGRAM) + " --ini " + ini_ + "'").c_str());
    wrapper.Wait();
    const std::string old = ReadFile(input_ + aside + "/" + name);
    ASSERT_FALSE(old.empty());
    WriteFile(input_ + name, "corrected");

    std::vector<std::string> traced = ns;
    for (const std::string& a : Traced("again", "execve")) traced.push_back(a);
    EXPECT_EQ(Start(arguments, "again", traced).Wait(), 0);
    EXPECT_EQ(Start(arguments, "third", traced).Wait(), 0);
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
  test::ChildProcess run =
      Start({"run"}, "copy", Traced("copy", "openat,copy_file_range", "copy_file_range:delay_enter=1500000:when=1"));
  // The held copy reads from the input that was last opened under its descriptor (the scan opens the next
  // files too, to have them read ahead).
  std::string name;
  Until([&] {
    std::ifstream trace(dir_.Path() / "copy.trace");
    std::map<std::string, std::string> opened;  // descriptor: input name
    for (std::string line; name.empty() && std::getline(trace, line);) {
      if (const std::size_t copy = line.find("copy_file_range("); copy != std::string::npos) {
        name = opened[line.substr(copy + 16, line.find(',', copy) - copy - 16)];
        continue;
      }
      const std::size_t at = line.find("openat(AT_FDCWD, \"" + input_);
      const std::size_t result = line.rfind(" = ");
      if (at == std::string::npos || result == std::string::npos) continue;
      const std::size_t begin = at + 18 + input_.size();
      opened[line.substr(result + 3)] = line.substr(begin, line.find('"', begin) - begin);
    }
    return !name.empty();
  });
  ASSERT_FALSE(name.empty());
  const int file = ::open((input_ + name).c_str(), O_WRONLY);
  ASSERT_EQ(::pwrite(file, "written again", 13, 1000), 13);
  ::close(file);
  EXPECT_EQ(run.Wait(), 1);
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

#else

// A watch killed in the middle (as a crash or a power cut ends it) loses nothing; the next one cleans up after
// it, finishes the job and, with a minute between two timed scans, takes a file written into the input folder,
// or renamed into it, within seconds: the folder's notifications (ReadDirectoryChangesW) wake it.
TEST_F(CliSignalsTest, NoWatchKilledLosesAnImageAndTheNextOneTakesNewFilesAtOnce) {
  test::ChildProcess killed = Start({"watch"}, "killed");
  Until([&] { return Names(output_).size() >= 50; });
  EXPECT_EQ(killed.Kill(), test::kKilledStatus);
  ExpectNothingLostOrPartial();

  test::ChildProcess next = Start({"--wait", "60", "--settle", "1", "watch"}, "next");
  ASSERT_TRUE(Until([&] { return ReadFile(dir_.Path() / "next.stdout").find("\nLast: ") != std::string::npos; }));
  ExpectTakenAtOnce("written.jpg", "written.jpg");
  ExpectTakenAtOnce("renamed.jpg", ".upload");
  Until([&] { return Names(input_).empty(); });  // its input goes after its output, at the scan's end
  next.Kill();
  ExpectNothingLostOrPartial();
  EXPECT_EQ(Names(input_), std::vector<std::string>{});
  // What the killed one left half written is gone too.
  for (const std::string& name : Names(output_)) EXPECT_NE(name[0], '.') << name << " is left over";
}

// The service and a run by hand, or two desks on one share: while another Quillmark holds the input folder, a
// run and a folder command leave it alone and say so; once it is free, the run does its work.
TEST_F(CliSignalsTest, ASecondQuillmarkLeavesAFolderInUseAlone) {
  const std::string archive = dir_.Folder("archive");
  const std::vector<std::string> archiving = {"--archive", archive, "--after", "archive", "run"};
  auto other = std::make_unique<app::FolderLock>(input_);
  ASSERT_TRUE(other->Held());
  EXPECT_EQ(Start(archiving, "second").Wait(), 1);
  EXPECT_EQ(Start({"--archive", archive, "reprocess-archive", "--yes"}, "third").Wait(), 1);
  for (const char* tag : {"second", "third"}) {
    EXPECT_NE(ReadFile(dir_.Path() / (std::string(tag) + ".stderr"))
                  .find("Another Quillmark is working on the input folder; it is left to it"),
              std::string::npos)
        << tag;
  }
  EXPECT_EQ(Inputs(), originals_.size());
  EXPECT_EQ(Names(output_), std::vector<std::string>{});
  other.reset();
  const int first = Start(archiving, "first").Wait();
  if (first != 0) {  // the lines of what was kept, and why
    const std::string out = ReadFile(dir_.Path() / "first.stdout");
    for (std::size_t at = 0, end; at < out.size(); at = end + 1) {
      end = std::min(out.find('\n', at), out.size());
      if (out.find(": archived", at) != std::string::npos && out.find(": archived", at) < end) continue;
      ADD_FAILURE() << out.substr(at, end - at);
    }
  }
  EXPECT_EQ(first, 0) << ReadFile(dir_.Path() / "first.stderr");
  ExpectNothingLostOrPartial(archive);
  EXPECT_EQ(Names(archive).size(), originals_.size());
}

// An input is deleted only once its output is on the device: its data flushed (FlushFileBuffers) after it
// was written, then its name given in a step that returns once the name is on the device
// (MOVEFILE_WRITE_THROUGH). Wine's relay trace, which logs the calls a program makes into the system, plays
// strace's part; Wine writes it to the standard error that the test shares with the program, which its CTest
// entry makes the file QUILLMARK_RELAY_TRACE.
TEST_F(CliSignalsTest, EachInputIsDeletedOnlyAfterItsOutputWasFlushedAndNamedOnTheDevice) {
  const char* trace_file = std::getenv("QUILLMARK_RELAY_TRACE");
  ASSERT_NE(trace_file, nullptr) << "run by its CTest entry, which gives the test's standard error a file";
  HKEY debug = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\Debug", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &debug, nullptr),
            ERROR_SUCCESS);
  const std::wstring calls = L"KERNEL32.CreateFileW;KERNEL32.FlushFileBuffers;KERNEL32.MoveFileExW;KERNEL32.DeleteFileW";
  ::RegSetValueExW(debug, L"RelayInclude", 0, REG_SZ, reinterpret_cast<const BYTE*>(calls.c_str()),
                   static_cast<DWORD>((calls.size() + 1) * sizeof(wchar_t)));
  ::SetEnvironmentVariableW(L"WINEDEBUG", L"+relay");
  const int status = Start({"run"}, "run").Wait();
  ::SetEnvironmentVariableW(L"WINEDEBUG", nullptr);
  ::RegDeleteValueW(debug, L"RelayInclude");
  ::RegCloseKey(debug);
  ASSERT_EQ(status, 0);

  // "0024:Call KERNEL32.MoveFileExW(00c95040 L"\\\\?\\C:\\...",...) ret=...": the paths as the program wrote them.
  const auto paths = [](const std::string& line) {
    std::vector<std::string> found;
    for (std::size_t at = line.find(" L\""); at != std::string::npos; at = line.find(" L\"", at + 1)) {
      std::string path;
      for (std::size_t i = at + 3; i < line.size() && line[i] != '"'; ++i) path += line[i] == '\\' ? line[++i] : line[i];
      found.push_back(path.starts_with("\\\\?\\") ? path.substr(4) : path);
    }
    return found;
  };
  std::ifstream trace(trace_file);
  std::map<std::string, std::string> opened;     // thread -> path of the CreateFileW call it is in
  std::map<std::string, std::string> handles;    // handle -> path
  std::map<std::string, int> flushed;            // path -> line of its flush
  std::map<std::string, std::string> moving;     // thread -> target of the MoveFileExW call it is in
  std::map<std::string, int> placed;             // output name -> line of its rename into place
  int deleted = 0;
  std::string line;
  for (int n = 0; std::getline(trace, line); ++n) {
    const std::string thread = line.substr(0, line.find(':'));
    const std::vector<std::string> named = paths(line);
    if (line.find("Call KERNEL32.CreateFileW(") != std::string::npos && !named.empty()) opened[thread] = named[0];
    if (line.find("Ret  KERNEL32.CreateFileW()") != std::string::npos) {
      const std::size_t value = line.find("retval=") + 7;
      handles[line.substr(value, line.find(' ', value) - value)] = opened[thread];
    }
    if (line.find("Call KERNEL32.FlushFileBuffers(") != std::string::npos) {
      const std::size_t handle = line.find('(') + 1;
      flushed[handles[line.substr(handle, line.find(')') - handle)]] = n;
    }
    if (line.find("Call KERNEL32.MoveFileExW(") != std::string::npos && named.size() == 2 &&
        named[1].starts_with(output_) && named[1][output_.size()] != '.') {
      EXPECT_NE(line.find(",00000008)"), std::string::npos) << "not written through: " << line;
      ASSERT_TRUE(flushed.count(named[0])) << "not flushed: " << line;
      moving[thread] = named[1].substr(output_.size());
    }
    if (line.find("Ret  KERNEL32.MoveFileExW() retval=00000001") != std::string::npos && moving.count(thread)) {
      placed[moving[thread]] = n;
      moving.erase(thread);
    }
    const std::size_t aside = named.empty() ? std::string::npos : named[0].find("-aside\\");
    if (line.find("Call KERNEL32.DeleteFileW(") != std::string::npos && aside != std::string::npos) {
      const std::string name = named[0].substr(aside + 7);
      ASSERT_TRUE(placed.count(name)) << line;
      ++deleted;
    }
  }
  EXPECT_EQ(deleted, static_cast<int>(originals_.size()));
}

#endif

}  // namespace
}  // namespace qm::cli
