#include "inspector/iptc_reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/image_builders.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::inspector {
namespace {

namespace fs = std::filesystem;
using engine::IptcFields;
using engine::IptcWalkEnd;
using test::Dataset;
using test::Iptc;

class ReadIptcFieldsTest : public testing::Test {
 protected:
  // Writes the file into the temporary folder and returns its path as the window composes it.
  std::string Put(const std::string& name, const std::string& bytes) {
    test::WriteFile(folder_ + name, bytes);
    return folder_ + name;
  }

  test::TempDir temp_;
  std::string folder_ = temp_.Folder("in");
  IptcFields fields_;
  test::RecordingView view_;
};

TEST_F(ReadIptcFieldsTest, KeepsTheBytesAsStoredAndChangesNothingInTheFile) {
  const std::string path = Put(
      "mac.jpg", test::Jpeg({test::App1Exif(), test::App13(test::Irb(Iptc({{2, 0, "\x00\x04"},
                                                                           {2, 5, "  Paris  "},
                                                                           {2, 120, "Caf\x8E \x88 la gare"},
                                                                           {2, 12, "x"}})))}));
  const fs::file_time_type old_time = fs::last_write_time(path) - std::chrono::hours(24 * 400);
  fs::last_write_time(path, old_time);
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const std::string before = test::ReadFile(path);

  const ReadResult result = ReadIptcFields(path, fields_, view_);

  EXPECT_EQ(result.File, FileRead::kComplete);
  EXPECT_EQ(result.Walk.End, IptcWalkEnd::kEndOfBlock);
  IptcFields expected;
  expected.ObjectName = "Paris";
  expected.Caption = "Caf\x8E \x88 la gare";
  expected.Others = "Segment 12: x\r\n";
  EXPECT_EQ(fields_, expected);
  EXPECT_EQ(test::ReadFile(path), before);
  EXPECT_EQ(fs::last_write_time(path), old_time);
  EXPECT_TRUE(view_.Messages.empty());
}

struct NothingCase {
  const char* What;
  std::string Bytes;  // the file's content; "-" for no file at all
};

class ReadsNothing : public ReadIptcFieldsTest, public testing::WithParamInterface<NothingCase> {};

TEST_P(ReadsNothing, EmptiesEveryFieldWithoutAMessage) {
  const std::string path = GetParam().Bytes == "-" ? folder_ + "deleted.jpg" : Put("a.jpg", GetParam().Bytes);
  fields_.Caption = "left from the image before";
  fields_.Others = "Segment 12: x\r\n";
  ReadIptcFields(path, fields_, view_);
  EXPECT_EQ(fields_, IptcFields());
  EXPECT_TRUE(view_.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadsNothing,
    testing::Values(NothingCase{"deleted_after_the_listing", "-"}, NothingCase{"empty", ""},
                    NothingCase{"jpeg_without_iptc", test::Jpeg({test::App1Exif()})},
                    NothingCase{"app13_without_the_iptc_resource",
                                test::Jpeg({test::App13(test::Irb("thumb", "", 0x040C))})},
                    NothingCase{"only_the_record_version",
                                test::Jpeg({test::App13(test::Irb(Iptc({{2, 0, "\x00\x04"}})))})},
                    NothingCase{"text_file", "Object Name: Paris\r\n"}),
    [](const testing::TestParamInfo<NothingCase>& info) { return std::string(info.param.What); });

TEST_F(ReadIptcFieldsTest, AValueEndsAtItsFirstZeroByte) {
  const std::string path =
      Put("zero.jpg", test::Jpeg({test::App13(
                          test::Irb(Iptc({{2, 120, std::string("before\0after", 12)}, {2, 90, "Metz"}})))}));
  ReadIptcFields(path, fields_, view_);
  EXPECT_EQ(fields_.Caption, "before");
  EXPECT_EQ(fields_.City, "Metz");
}

TEST_F(ReadIptcFieldsTest, ATruncatedFileKeepsTheFieldsBeforeItsLastDataset) {
  std::string bytes = test::Jpeg({test::App13(
      test::Irb(Iptc({{2, 5, "Paris"}, {2, 25, "a"}, {2, 25, "b"}, {2, 120, std::string(400, 'c')}})))});
  bytes.resize(bytes.find(std::string(400, 'c')) + 100);  // the caption announces 400 bytes, 100 remain
  const std::string path = Put("cut.jpg", bytes);

  const ReadResult result = ReadIptcFields(path, fields_, view_);

  EXPECT_EQ(result.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(fields_.ObjectName, "Paris");
  EXPECT_EQ(fields_.Keywords, "a; b");
  EXPECT_EQ(fields_.Caption, "");
  EXPECT_TRUE(view_.Messages.empty());
}

TEST_F(ReadIptcFieldsTest, AFileThatIsNoJpegIsSearchedWhole) {
  const std::string path = Put("caption.iptc", "IPTC" + test::Irb(Iptc({{2, 118, "desk \x8E"}})) + "tail");
  ReadIptcFields(path, fields_, view_);
  EXPECT_EQ(fields_.Contact, "desk \x8E");
}

#ifdef __linux__
TEST_F(ReadIptcFieldsTest, AFileThatEndsBeforeItsSizeIsReportedAndReadAsFarAsItGoes) {
  // The kernel's attribute files claim a page and give a few bytes.
  const ReadResult result = ReadIptcFields("/sys/devices/system/cpu/online", fields_, view_);
  EXPECT_EQ(result.File, FileRead::kShortRead);
  ASSERT_EQ(view_.Messages.size(), 1u);
  EXPECT_EQ(view_.Messages[0].Text, "Error reading file ...");
  EXPECT_EQ(view_.Messages[0].Title, "Quillmark");
  EXPECT_EQ(view_.Messages[0].Buttons, app::MessageButtons::kOk);
  EXPECT_EQ(fields_, IptcFields());
}
#endif

}  // namespace
}  // namespace qm::inspector
