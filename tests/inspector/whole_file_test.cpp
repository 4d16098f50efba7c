#include "inspector/whole_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace qm::inspector {
namespace {

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ReadWholeFile, ReadsEveryByte) {
  test::TempDir temp;
  std::string content(300000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7);
  test::WriteFile(temp.Path() / "a.jpg", content);
  std::vector<std::uint8_t> bytes = {1, 2, 3};
  EXPECT_EQ(ReadWholeFile(temp.Path() / "a.jpg", bytes), FileRead::kComplete);
  EXPECT_EQ(Text(bytes), content);
}

TEST(ReadWholeFile, FindsNothingInWhatIsNoRegularFile) {
  test::TempDir temp;
  test::WriteFile(temp.Path() / "empty.jpg", "");
  std::vector<std::uint8_t> bytes = {1};
  for (const std::filesystem::path& path :
       {temp.Path() / "missing.jpg", temp.Path() / "empty.jpg", temp.Path(), std::filesystem::path()}) {
    EXPECT_EQ(ReadWholeFile(path, bytes), FileRead::kNothingToRead) << path;
    EXPECT_TRUE(bytes.empty());
  }
}

#ifdef __linux__
TEST(ReadWholeFile, NeverWaitsOnAPipeOrADevice) {
  test::TempDir temp;
  const auto pipe = temp.Path() / "pipe.jpg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ReadWholeFile(pipe, bytes), FileRead::kNothingToRead);
  EXPECT_EQ(ReadWholeFile("/dev/zero", bytes), FileRead::kNothingToRead);
}

TEST(ReadWholeFile, TellsAFileThatEndsBeforeItsSize) {
  // The kernel's attribute files claim a page and give a few bytes.
  const std::filesystem::path attribute = "/sys/devices/system/cpu/online";
  ASSERT_GT(std::filesystem::file_size(attribute), 64u);
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(ReadWholeFile(attribute, bytes), FileRead::kShortRead);
  EXPECT_FALSE(bytes.empty());
  EXPECT_EQ(Text(bytes), test::ReadFile(attribute));
}

TEST(ReadWholeFile, ClosesTheFile) {
  test::TempDir temp;
  test::WriteFile(temp.Path() / "a.jpg", "\xFF\xD8");
  const auto open_files = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                         std::filesystem::directory_iterator());
  };
  std::vector<std::uint8_t> bytes;
  const auto before = open_files();
  for (int i = 0; i < 10; ++i) {
    ReadWholeFile(temp.Path() / "a.jpg", bytes);
    ReadWholeFile(temp.Path(), bytes);
  }
  EXPECT_EQ(open_files(), before);
}
#endif

}  // namespace
}  // namespace qm::inspector
