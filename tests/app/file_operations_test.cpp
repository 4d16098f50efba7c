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
using test::WriteFile;

// Moves from the temporary folder into a folder on another file system: /dev/shm is a tmpfs.
class FileOperationsTest : public testing::Test {
 protected:
  FileOperationsTest() { fs::create_directories(other_); }
  ~FileOperationsTest() override { fs::remove_all(other_); }
  std::string Here(const char* name) const { return (dir_.Path() / name).string(); }
  std::string There(const char* name) const { return (other_ / name).string(); }

  test::TempDir dir_;
  const fs::path other_ = "/dev/shm/quillmark-test-" + std::to_string(::getpid());
};

TEST_F(FileOperationsTest, MoveAcrossFileSystemsKeepsContentModeAndTimeAndLeavesNothingBehind) {
  const std::string from = Here("a.jpg");
  WriteFile(from, "camera bytes");
  fs::permissions(from, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const timespec times[2] = {{1'000'000'000, 0}, {1'234'567'890, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, from.c_str(), times, 0), 0);
  fs::create_symlink("a.jpg", Here("link.jpg"));

  WriteFile(There("a.jpg"), "an older copy");
  ASSERT_TRUE(ReplaceEntry(from, There("a.jpg")).Ok());
  ASSERT_TRUE(MoveEntry(Here("link.jpg"), There("link.jpg")).Ok());

  EXPECT_FALSE(fs::exists(fs::symlink_status(from)) || fs::exists(fs::symlink_status(Here("link.jpg"))));
  EXPECT_EQ(ReadFile(There("a.jpg")), "camera bytes");
  struct stat st;
  ASSERT_EQ(::stat(There("a.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1'234'567'890);
  EXPECT_EQ(fs::read_symlink(There("link.jpg")), "a.jpg");
  EXPECT_EQ(std::distance(fs::directory_iterator(other_), fs::directory_iterator()), 2);
}

TEST_F(FileOperationsTest, AMoveAcrossFileSystemsThatCannotBeWrittenLeavesTheSourceAndNoPartialCopy) {
  const std::string from = Here("big.jpg");
  WriteFile(from, std::string(256 * 1024, 'x'));
  const int status = test::RunInChild({.FileSizeLimit = 64 * 1024}, [&] {
    return MoveEntry(from, There("big.jpg")).Status == FileStatus::kFailed ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(from).size(), 256u * 1024);
  EXPECT_TRUE(fs::is_empty(other_));
}

TEST(CheckReadiness, WithoutALeaseAFileIsReadyOnceItHasBeenLeftAlone) {
  // A file of another user: no lease for an unprivileged process, so the time of its last change decides.
  const std::string file = "/etc/passwd";
  const auto changed =
      std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(IdentifyFile(file).Changed)));
  const int status = test::RunInChild({.Unprivileged = true}, [&] {
    const bool busy = CheckReadiness(file, changed + std::chrono::seconds(1)) == Readiness::kBeingWritten;
    const bool ready =
        CheckReadiness(file, changed + kQuietPeriod + std::chrono::seconds(1)) == Readiness::kReady;
    // A clock behind the file's change time (a share's clock running fast) does not hold the file back.
    const bool skewed = CheckReadiness(file, changed - std::chrono::hours(1)) == Readiness::kReady;
    return busy && ready && skewed ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace qm::app

#endif  // _WIN32
