// The file operations on real files, with other processes, and with an archive on another file system
// (/dev/shm, a tmpfs; Wine's Z: drive reaches it as another volume).
#include "app/file_operations.h"
#include "engine/temporary_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/app_fixture.h"
#include "app/platform_paths.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/inotify.h>
#include <unistd.h>

#include "app/forked_child.h"
#endif

// Child bodies: what another Quillmark process holds or leaves behind.

// Takes the lock of the folder, says whether it holds it, and keeps it until it is killed.
QUILLMARK_TEST_CHILD(HoldFolderLock) {
  qm::app::FolderLock lock(arguments.at(0));
  std::printf("%s\n", lock.Held() ? "held" : "not held");
  std::fflush(stdout);
  if (lock.Held()) std::this_thread::sleep_for(std::chrono::hours(1));
  return 1;
}

// Leaves what a Quillmark killed in the middle of its work leaves: its mark, an output in the making, and
// three inputs set aside.
QUILLMARK_TEST_CHILD(LeaveTemporaryFiles) {
  const std::string& folder = arguments.at(0);
  const std::string prefix = folder + qm::engine::OwnTemporaryPrefix(folder).value();
  qm::test::WriteFile(prefix + "1-0.tmp", "half");
  std::filesystem::create_directory(prefix + "aside");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    qm::test::WriteFile(prefix + "aside" + qm::app::kFolderSeparator + name, name);
  }
  return 0;
}

// Makes an output in the making and keeps it until it is killed.
QUILLMARK_TEST_CHILD(KeepTemporaryFile) {
  const std::string& folder = arguments.at(0);
  qm::test::WriteFile(folder + qm::engine::OwnTemporaryPrefix(folder).value() + "2-0.tmp", "in the making");
  std::printf("ready\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::hours(1));
  return 1;
}

// Holds the file open for writing, as an upload in progress does, until it is killed.
QUILLMARK_TEST_CHILD(HoldOpenForWriting) {
  std::ofstream writer(qm::platform::PathOf(arguments.at(0)), std::ios::binary | std::ios::app);
  writer << "half" << std::flush;
  std::printf("open\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::hours(1));
  return 1;
}

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

// An input folder in the temporary folder, and an archive on another file system.
class FileOperationsTest : public testing::Test {
 protected:
  FileOperationsTest() { fs::create_directories(other_); }
  ~FileOperationsTest() override { test::RemoveAll(other_); }
  std::string Here(const char* name) const { return here_ + name; }
  // What a scan or a folder command does when it ends: its private folder and its marks go.
  void Release() const {
    ReleaseSetAsideFolder(here_);
    engine::ReleaseOwnTemporaryMarks();
  }
  std::string There(const char* name) const { return there_ + name; }
  // Runs the child body `name` on `argument`; what it prints goes to "<tag>.stdout".
  test::ChildProcess Child(const std::string& name, const std::string& argument, const std::string& tag) const {
    return test::StartChild(name, {argument}, dir_.Path() / tag);
  }
  bool Says(const std::string& tag, const std::string& text) const {
    return test::WaitForText(dir_.Path() / (tag + ".stdout"), text);
  }

  // The names deleted from `folder` while `act` ran: an older archive copy is to be replaced in one step,
  // never deleted first (a failure between the two would lose the archive's only copy).
  template <typename Act>
  static N DeletedDuring(const std::string& folder, Act act) {
    N deleted;
#if defined(_WIN32)
    const HANDLE watch = ::CreateFileW(platform::SystemPath(folder).c_str(), FILE_LIST_DIRECTORY,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    alignas(DWORD) char buffer[16 * 1024];
    OVERLAPPED done{};
    done.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const auto listen = [&] {
      ::ResetEvent(done.hEvent);
      return ::ReadDirectoryChangesW(watch, buffer, sizeof buffer, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                                     &done, nullptr);
    };
    listen();
    act();
    DWORD n = 0;
    while (::WaitForSingleObject(done.hEvent, 500) == WAIT_OBJECT_0 && ::GetOverlappedResult(watch, &done, &n, FALSE)) {
      for (DWORD at = 0; n > 0;) {
        const auto* event = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(buffer + at);
        if (event->Action == FILE_ACTION_REMOVED) {
          deleted.push_back(platform::TextOf(fs::path(std::wstring(event->FileName, event->FileNameLength / 2))));
        }
        if (event->NextEntryOffset == 0) break;
        at += event->NextEntryOffset;
      }
      listen();
    }
    ::CancelIo(watch);
    ::CloseHandle(done.hEvent);
    ::CloseHandle(watch);
#else
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(watch, folder.c_str(), IN_DELETE);
    act();
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0) deleted.push_back(event->name);
        at += sizeof(inotify_event) + event->len;
      }
    }
    ::close(watch);
#endif
    return deleted;
  }

  test::TempDir dir_;
  const fs::path other_ = "/dev/shm/" + dir_.Path().filename().string();
  const std::string here_ = dir_.Folder("in");
  const std::string there_ = platform::TextOf(fs::absolute(other_)) + kFolderSeparator;
};

TEST_F(FileOperationsTest, ArchivingAcrossFileSystemsKeepsContentPermissionsAndTimeAndLeavesNothingBehind) {
  const std::string from = Here("a.jpg");
  WriteFile(from, "camera bytes");
  fs::permissions(from, fs::perms::owner_read | fs::perms::group_read);
  const fs::perms permissions = fs::status(from).permissions();
  const fs::file_time_type time = fs::last_write_time(from) - std::chrono::hours(24 * 400);
  fs::last_write_time(from, time);

  WriteFile(There("a.jpg"), "an older copy");
  EXPECT_EQ(DeletedDuring(there_, [&] { ASSERT_TRUE(ArchiveInput(here_, "a.jpg", IdentifyFile(from), there_).Ok()); }),
            N{});
  Release();
  EXPECT_EQ(Names(here_), N{});  // nor a private folder left
  EXPECT_EQ(ReadFile(There("a.jpg")), "camera bytes");
  EXPECT_EQ(fs::status(There("a.jpg")).permissions(), permissions);
  EXPECT_EQ(fs::last_write_time(There("a.jpg")), time);
  EXPECT_EQ(Names(there_), N{"a.jpg"});
}

#if !defined(_WIN32)

// A link, even one to nothing, is moved as itself.
TEST_F(FileOperationsTest, AMoveAcrossFileSystemsKeepsALinkALink) {
  fs::create_symlink("a.jpg", Here("link.jpg"));
  const FileOutcome moved = MoveEntry(Here("link.jpg"), There("link.jpg"));
  ASSERT_TRUE(moved.Ok()) << moved.Detail;
  EXPECT_EQ(fs::read_symlink(There("link.jpg")), "a.jpg");
  Release();
  EXPECT_EQ(Names(here_), N{});
}

TEST_F(FileOperationsTest, AMoveAcrossFileSystemsThatCannotBeWrittenLeavesTheSourceAndNoPartialCopy) {
  const std::string from = Here("big.jpg");
  WriteFile(from, std::string(256 * 1024, 'x'));
  const int status = test::RunInChild({.FileSizeLimit = 64 * 1024}, [&] {
    const FileStatus status = MoveEntry(from, There("big.jpg")).Status;
    Release();
    return status == FileStatus::kFailed ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(from).size(), 256u * 1024);
  EXPECT_TRUE(fs::is_empty(other_));
}

#endif

// Another program puts a new file under the input's name after it was read (an upload renamed into place):
// whatever the way out, the new file stays untouched under its name, and no archived copy is lost.
TEST_F(FileOperationsTest, AnInputReplacedSinceItWasReadIsNeverTheOneDeletedOrArchived) {
  const std::string same_device = dir_.Folder("archive");
  for (int way = 0; way < 3; ++way) {
    WriteFile(Here("x.jpg"), "processed");
    const FileIdentity read = IdentifyFile(Here("x.jpg"));
    WriteFile(Here("x.new"), "uploaded");
    fs::rename(Here("x.new"), Here("x.jpg"));
    WriteFile(There("x.jpg"), "archived before");
    WriteFile(same_device + "x.jpg", "archived before");
    const FileOutcome done = way == 0   ? DeleteInput(here_, "x.jpg", read)
                             : way == 1 ? ArchiveInput(here_, "x.jpg", read, same_device)
                                        : ArchiveInput(here_, "x.jpg", read, there_);
    EXPECT_EQ(done.Status, FileStatus::kChanged) << way;
    EXPECT_EQ(ReadFile(Here("x.jpg")), "uploaded") << way;
    EXPECT_EQ(ReadFile(There("x.jpg")), "archived before") << way;
    EXPECT_EQ(ReadFile(same_device + "x.jpg"), "archived before") << way;
    Release();
    EXPECT_EQ(Names(here_), N{"x.jpg"}) << way;
  }
  // The same version goes; a read-only one is never deleted, but may be archived.
  FileIdentity read = IdentifyFile(Here("x.jpg"));
  EXPECT_TRUE(DeleteInput(here_, "x.jpg", read).Ok());
  WriteFile(Here("r.jpg"), "read-only");
  fs::permissions(Here("r.jpg"), fs::perms::owner_read);
  read = IdentifyFile(Here("r.jpg"));
  EXPECT_EQ(DeleteInput(here_, "r.jpg", read).Status, FileStatus::kReadOnly);
  WriteFile(same_device + "r.jpg", "an older copy");
  EXPECT_EQ(DeletedDuring(same_device, [&] { EXPECT_TRUE(ArchiveInput(here_, "r.jpg", read, same_device).Ok()); }),
            N{});
  EXPECT_EQ(ReadFile(same_device + "r.jpg"), "read-only");
  Release();
  EXPECT_EQ(Names(here_), N{});
}

// What a process that was killed or lost its power left: its temporary files and its mark go, the inputs it
// had set aside come back (under a free name when theirs is taken, or was processed since), and nothing of a
// process that runs is touched. Its id tells nothing: a living process may have it again.
TEST_F(FileOperationsTest, WhatAProcessThatIsGoneLeftIsRemovedOrPutBack) {
  const std::string output = dir_.Folder("out");
  ASSERT_EQ(Child("LeaveTemporaryFiles", here_, "killed").Wait(), 0);
  // A process that runs, with the killed one's id on names of the form without a token (its id is reused).
  test::ChildProcess alive = Child("KeepTemporaryFile", here_, "alive");
  ASSERT_TRUE(Says("alive", "ready"));
  const std::string reused = ".quillmark-" + std::to_string(alive.Id()) + "-move-77";
  WriteFile(here_ + reused, "x");
  WriteFile(Here("b.jpg"), "a newer b");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  WriteFile(output + "c.jpg", "the output of a newer c");

  EXPECT_EQ(RemoveStaleTemporaryFiles(here_), 1);
  const std::vector<SetAsideInput> told = RestoreSetAsideInputs(here_, output);
  EXPECT_EQ(RemoveStaleTemporaryFiles(here_), 1);  // the mark goes once nothing waits aside
  alive.Kill();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0].PutBackAs + told[1].PutBackAs, told[0].Name == "b.jpg"
                                                       ? "b (recovered).jpgc (recovered).jpg"
                                                       : "c (recovered).jpgb (recovered).jpg");
  EXPECT_EQ(ReadFile(Here("a.jpg")), "a.jpg");
  EXPECT_EQ(ReadFile(Here("b.jpg")), "a newer b");
  EXPECT_EQ(ReadFile(Here("b (recovered).jpg")), "b.jpg");
  N left = Names(here_);
  EXPECT_EQ(left.size(), 7u);  // the running one's mark and file, the reused id's file, four inputs
  EXPECT_NE(std::find(left.begin(), left.end(), reused), left.end());
  EXPECT_EQ(std::count_if(left.begin(), left.end(), [&](const auto& n) { return n.find("-owner") != n.npos; }), 1);
}

TEST_F(FileOperationsTest, OneProcessAtATimeHoldsAFolderAndTheLockEndsWithIt) {
  // A holder that is killed lets go: the system releases the lock.
  test::ChildProcess holder = Child("HoldFolderLock", here_, "holder");
  ASSERT_TRUE(Says("holder", "held"));
  EXPECT_EQ(FolderLock(here_).Get(), FolderLock::Status::kBusy);
  EXPECT_EQ(holder.Kill(), test::kKilledStatus);
  EXPECT_TRUE(FolderLock(here_).Held());
}

TEST_F(FileOperationsTest, AWriterThatHoldsTheFileOpenIsSeenWhereTheSystemCanTell) {
  const std::string file = Here("arriving.jpg");
  test::ChildProcess uploader = Child("HoldOpenForWriting", file, "uploader");
  ASSERT_TRUE(Says("uploader", "open"));
  EXPECT_EQ(ProbeWriters(file), Writers::kWriting);
  uploader.Kill();
  EXPECT_EQ(ProbeWriters(file), Writers::kNone);
}

#if !defined(_WIN32)

TEST_F(FileOperationsTest, AUserWhoMayNotWriteIntoTheFolderLocksItAndCannotTellWritersOfAnotherUsersFile) {
  fs::permissions(here_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(test::RunInChild({.Unprivileged = true}, [&] { return FolderLock(here_).Held() ? 0 : 1; }), 0);
  // No lease for an unprivileged process.
  EXPECT_EQ(test::RunInChild({.Unprivileged = true},
                             [&] { return ProbeWriters("/etc/passwd") == Writers::kUnknown ? 0 : 1; }),
            0);
}

#endif

}  // namespace
}  // namespace qm::app
