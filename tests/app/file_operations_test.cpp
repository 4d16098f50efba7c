// POSIX only: other file systems, file-size limits and unprivileged children.
#ifndef _WIN32

#include "app/file_operations.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/forked_child.h"
#include "support/temp_dir.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// A folder on another file system than the temporary folder: /dev/shm is a tmpfs.
class OtherDevice {
 public:
  OtherDevice() : path_("/dev/shm/quillmark-test-" + std::to_string(::getpid())) {
    fs::create_directories(path_);
  }
  ~OtherDevice() { fs::remove_all(path_); }
  std::string File(const char* name) const { return (path_ / name).string(); }
  bool Empty() const { return fs::is_empty(path_); }

 private:
  fs::path path_;
};

class FileOperationsTest : public testing::Test {
 protected:
  std::string Path(const char* name) const { return (dir_.Path() / name).string(); }
  std::string Make(const char* name, const char* bytes = "bytes") const {
    WriteFile(Path(name), bytes);
    return Path(name);
  }
  TempDir dir_;
};

TEST_F(FileOperationsTest, MoveAcrossFileSystemsKeepsContentModeAndTimeAndLeavesNothingBehind) {
  OtherDevice other;
  const std::string from = Make("a.jpg", "camera bytes");
  fs::permissions(from, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const timespec times[2] = {{1'000'000'000, 0}, {1'234'567'890, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
  fs::create_symlink("a.jpg", Path("link.jpg"));

  WriteFile(other.File("a.jpg"), "an older copy");
  ASSERT_TRUE(ReplaceEntry(from, other.File("a.jpg")).Ok());
  ASSERT_TRUE(MoveEntry(Path("link.jpg"), other.File("link.jpg")).Ok());

  EXPECT_FALSE(fs::exists(fs::symlink_status(from)) || fs::exists(fs::symlink_status(Path("link.jpg"))));
  EXPECT_EQ(ReadFile(other.File("a.jpg")), "camera bytes");
  struct stat st;
  ASSERT_EQ(::stat(other.File("a.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1'234'567'890);
  EXPECT_EQ(fs::read_symlink(other.File("link.jpg")), "a.jpg");
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(other.File(""))), fs::directory_iterator()), 2);
}

TEST_F(FileOperationsTest, AMoveAcrossFileSystemsThatCannotBeWrittenLeavesTheSourceAndNoPartialCopy) {
  OtherDevice other;
  const std::string from = Make("big.jpg", std::string(256 * 1024, 'x').c_str());
  const int status = test::RunInChild({.FileSizeLimit = 64 * 1024}, [&] {
    const FileOutcome moved = MoveEntry(from, other.File("big.jpg"));
    return moved.Status == FileStatus::kFailed ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(from).size(), 256u * 1024);
  EXPECT_TRUE(other.Empty());
}

TEST_F(FileOperationsTest, WithoutALeaseAFileIsReadyOnceItHasBeenLeftAlone) {
  // A file of another user: no lease for an unprivileged process, so the time of its last change decides.
  const std::string file = "/etc/passwd";
  const auto changed =
      std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(IdentifyFile(file).Changed)));
  const int status = test::RunInChild({.Unprivileged = true}, [&] {
    const bool busy = CheckReadiness(file, changed + std::chrono::seconds(1)) == Readiness::kBeingWritten;
    const bool ready =
        CheckReadiness(file, changed + kQuietPeriod + std::chrono::seconds(1)) == Readiness::kReady;
    return busy && ready ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace qm::app

#endif  // _WIN32
