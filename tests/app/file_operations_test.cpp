// POSIX only: other file systems, file-size limits, other processes and unprivileged children.
#ifndef _WIN32

#include "app/file_operations.h"
#include "engine/temporary_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <fstream>

#include "app/app_fixture.h"
#include "app/forked_child.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::Names;
using test::ReadFile;
using test::WriteFile;
using N = std::vector<std::string>;

// An input folder in the temporary folder, and an archive on another file system: /dev/shm is a tmpfs.
class FileOperationsTest : public testing::Test {
 protected:
  FileOperationsTest() { fs::create_directories(other_); }
  ~FileOperationsTest() override { fs::remove_all(other_); }
  std::string Here(const char* name) const { return here_ + name; }
  // What a scan or a folder command does when it ends: its private folder and its marks go.
  void Release() const {
    ReleaseSetAsideFolder(here_);
    engine::ReleaseOwnTemporaryMarks();
  }
  std::string There(const char* name) const { return there_ + name; }

  // The names deleted from `folder` while `act` ran: an older archive copy is to be replaced in one step,
  // never deleted first (a failure between the two would lose the archive's only copy).
  template <typename Act>
  static N DeletedDuring(const std::string& folder, Act act) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(watch, folder.c_str(), IN_DELETE);
    act();
    N deleted;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
      for (char* at = buffer; at < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(at);
        if (event->len > 0) deleted.push_back(event->name);
        at += sizeof(inotify_event) + event->len;
      }
    }
    ::close(watch);
    return deleted;
  }

  test::TempDir dir_;
  const fs::path other_ = "/dev/shm/quillmark-test-" + std::to_string(::getpid());
  const std::string here_ = dir_.Folder("in");
  const std::string there_ = other_.string() + "/";
};

TEST_F(FileOperationsTest, ArchivingAcrossFileSystemsKeepsContentModeAndTimeAndLeavesNothingBehind) {
  const std::string from = Here("a.jpg");
  WriteFile(from, "camera bytes");
  fs::permissions(from, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const timespec times[2] = {{1'000'000'000, 0}, {1'234'567'890, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
  fs::create_symlink("a.jpg", Here("link.jpg"));

  WriteFile(There("a.jpg"), "an older copy");
  EXPECT_EQ(DeletedDuring(there_, [&] { ASSERT_TRUE(ArchiveInput(here_, "a.jpg", IdentifyFile(from), there_).Ok()); }),
            N{});
  ASSERT_TRUE(MoveEntry(Here("link.jpg"), There("link.jpg")).Ok());

  Release();
  EXPECT_EQ(Names(here_), N{});  // nor a private folder left
  EXPECT_EQ(ReadFile(There("a.jpg")), "camera bytes");
  struct stat st;
  ASSERT_EQ(::stat(There("a.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1'234'567'890);
  EXPECT_EQ(fs::read_symlink(There("link.jpg")), "a.jpg");
  EXPECT_EQ(Names(there_), (N{"a.jpg", "link.jpg"}));
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
  // A killed process: its mark, an output in the making, and three inputs set aside.
  const int killed = test::RunInChild({}, [&] {
    const std::string prefix = here_ + engine::OwnTemporaryPrefix(here_).value();
    WriteFile(prefix + "1-0.tmp", "half");
    fs::create_directory(prefix + "aside");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteFile(prefix + "aside/" + name, name);
    return 0;
  });
  ASSERT_EQ(killed, 0);
  // A process that runs, with the killed one's id on names of the form without a token (its id is reused).
  int running[2];
  ASSERT_EQ(::pipe(running), 0);
  const pid_t alive = ::fork();
  if (alive == 0) {
    WriteFile(here_ + engine::OwnTemporaryPrefix(here_).value() + "2-0.tmp", "in the making");
    if (::write(running[1], "x", 1) != 1) ::_exit(1);
    ::pause();
  }
  char ready;
  ASSERT_EQ(::read(running[0], &ready, 1), 1);
  const std::string reused = ".quillmark-" + std::to_string(alive) + "-move-77";
  WriteFile(here_ + reused, "x");
  WriteFile(Here("b.jpg"), "a newer b");
  ::usleep(20'000);
  WriteFile(output + "c.jpg", "the output of a newer c");

  EXPECT_EQ(RemoveStaleTemporaryFiles(here_), 1);
  const std::vector<SetAsideInput> told = RestoreSetAsideInputs(here_, output);
  EXPECT_EQ(RemoveStaleTemporaryFiles(here_), 1);  // the mark goes once nothing waits aside
  ::kill(alive, SIGKILL);
  ::waitpid(alive, nullptr, 0);
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
  auto lock = std::make_unique<FolderLock>(here_);
  ASSERT_TRUE(lock->Held()) << lock->Detail();
  EXPECT_EQ(FolderLock(here_).Get(), FolderLock::Status::kBusy);
  EXPECT_EQ(test::RunInChild({}, [&] { return FolderLock(here_).Held() ? 1 : 0; }), 0);
  lock.reset();
  // A holder that is killed lets go: the system releases the lock.
  const pid_t holder = ::fork();
  if (holder == 0) {
    FolderLock held(here_);
    ::pause();
  }
  for (int i = 0; i < 2000 && FolderLock(here_).Held(); ++i) ::usleep(1000);
  EXPECT_FALSE(FolderLock(here_).Held());
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_TRUE(FolderLock(here_).Held());
  // Nor does a user who may not write into the folder go unlocked.
  fs::permissions(here_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
  EXPECT_EQ(test::RunInChild({.Unprivileged = true}, [&] { return FolderLock(here_).Held() ? 0 : 1; }), 0);
}

TEST_F(FileOperationsTest, AWriterThatHoldsTheFileOpenIsSeenWhereTheSystemCanTell) {
  const std::string file = Here("arriving.jpg");
  {
    std::ofstream writer(file);
    writer << "half";
    writer.flush();
    EXPECT_EQ(ProbeWriters(file), Writers::kWriting);
  }
  EXPECT_EQ(ProbeWriters(file), Writers::kNone);
  // A file of another user: no lease for an unprivileged process.
  EXPECT_EQ(test::RunInChild({.Unprivileged = true},
                             [&] { return ProbeWriters("/etc/passwd") == Writers::kUnknown ? 0 : 1; }),
            0);
}

}  // namespace
}  // namespace qm::app

#endif  // _WIN32
