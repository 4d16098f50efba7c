#include "inspector/iptc_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/image_builders.h"
#include "support/temp_dir.h"

#ifdef __linux__
#include <sys/stat.h>
#endif

namespace qm::inspector {
namespace {

namespace fs = std::filesystem;
using engine::IptcFields;
using test::Iptc;

class ReadIptcFieldsTest : public testing::Test {
 protected:
  std::string Put(const std::string& bytes, const std::string& name = "a.jpg") {
    test::WriteFile(folder_ + name, bytes);
    return folder_ + name;
  }

  test::TempDir temp_;
  std::string folder_ = temp_.Folder("in");
  IptcFields fields_;
};

// The walk itself, how it reads values and where it stops, is the engine's (iptc_block_test.cpp).
TEST_F(ReadIptcFieldsTest, KeepsTheBytesAsStoredAndChangesNothingInTheFile) {
  const std::string path = Put(test::Jpeg({test::App13(test::Irb(Iptc({{2, 120, "Caf\x8E"}})))}));
  const fs::file_time_type old_time = fs::last_write_time(path) - std::chrono::hours(24 * 400);
  fs::last_write_time(path, old_time);
  fs::permissions(path, fs::perms::owner_read);
  const std::string before = test::ReadFile(path);

  EXPECT_EQ(ReadIptcFields(path, fields_).File, engine::InputImageFile::Status::kRead);
  EXPECT_EQ(fields_.Caption, "Caf\x8E");
  EXPECT_EQ(test::ReadFile(path), before);
  EXPECT_EQ(fs::last_write_time(path), old_time);
}

TEST_F(ReadIptcFieldsTest, EmptiesEveryFieldFirstWhenThereIsNothingToRead) {
  for (const std::string& path :
       {folder_ + "deleted after the listing.jpg", Put("", "empty.jpg"),
        Put(test::Jpeg({test::App1Exif()}), "no iptc.jpg"), Put("Object Name: Paris\r\n", "notes.txt")}) {
    fields_.Caption = "left from the image before";
    ReadIptcFields(path, fields_);
    EXPECT_EQ(fields_, IptcFields()) << path;
  }
}

#ifdef __linux__
TEST_F(ReadIptcFieldsTest, NeverWaitsOnAPipeOrADeviceClosesWhatItOpensAndTellsAShortRead) {
  const std::string pipe = folder_ + "pipe.jpg";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const auto open_files = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = open_files();
  for (const std::string& path : {pipe, std::string("/dev/zero"), folder_, Put(test::Jpeg({}))}) {
    EXPECT_EQ(ReadIptcFields(path, fields_).Walk.End, engine::IptcWalkEnd::kNoResource) << path;
  }
  EXPECT_EQ(open_files(), before);
  // The kernel's attribute files claim a page and give a few bytes.
  EXPECT_EQ(ReadIptcFields("/sys/devices/system/cpu/online", fields_).File,
            engine::InputImageFile::Status::kShortRead);
}
#endif

}  // namespace
}  // namespace qm::inspector
