#include "engine/iptc_block.h"

#include <gtest/gtest.h>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;
using test::App13;
using test::Iptc;
using test::Irb;
using test::Jpeg;

const coding::AccentTable kMacToWindows = coding::BuildMacToWindows();

struct Walked {
  std::string Image;
  IptcFields Fields;
  IptcLists Lists;
  IptcWalk Walk;
};

Walked Recode(const std::string& image, const coding::AccentTable& table = kMacToWindows) {
  Walked out;
  auto bytes = test::Bytes(image);
  if (const auto resource = FindIptcResource(bytes, IsJpeg(bytes))) {
    out.Walk = RecodeIptcBlock(bytes, *resource, table, out.Fields, out.Lists);
  }
  out.Image = test::Text(bytes);
  return out;
}

Walked Read(const std::string& image) {
  Walked out;
  out.Image = image;
  out.Walk = ReadIptcFromImage(test::Bytes(image), out.Fields);
  return out;
}

TEST(IptcWalk, RecodesValueBytesInPlaceAndFillsTheFields) {
  // e and a are the accented letters, z a byte after a zero byte; other records and 2:00 hold 0x8E too.
  const auto image = [](const std::string& e, const std::string& a, const std::string& z) {
    // clang-format off
    return Jpeg({App13(Irb(Iptc({{1, 20, "\x8E"}, {2, 0, "\x8E"}, {3, 5, "\x8E"}, {2, 5, "First"},
        {2, 5, "Vue"}, {2, 80, "Anne"}, {2, 80, "Bruno"}, {2, 12, "x"}, {2, 200, "high"},
        {2, 120, "  Caf" + e + " " + a + " Paris  "}, {2, 90, "Orl" + e + "\0"s + z}}), "abc"))});
    // clang-format on
  };
  const auto walked = Recode(image("\x8E", "\x88", "\x8E"));
  EXPECT_EQ(walked.Image, image("\xE9", "\xE0", "\x8E"));
  IptcFields expected;
  expected.ObjectName = "Vue";
  expected.Byline = "Anne; Bruno";
  expected.Caption = "Caf\xE9 \xE0 Paris";
  expected.City = "Orl\xE9";
  expected.Others = "Segment 12: x\r\nSegment 200: high\r\n";
  EXPECT_EQ(walked.Fields, expected);
  EXPECT_EQ(walked.Walk.End, IptcWalkEnd::kEndOfBlock);
  EXPECT_EQ(Recode(image("\x8E", "\x88", ""), coding::IdentityTable()).Image, image("\x8E", "\x88", ""));
  expected.Caption = "Caf\x8E \x88 Paris";
  expected.City = "Orl\x8E";
  EXPECT_EQ(Read(image("\x8E", "\x88", "")).Fields, expected);
}

TEST(IptcWalk, JoinedFieldsSkipEmptyFirstValuesWhileTheListsKeepEveryEntry) {
  for (const auto& [values, joined, list] :
       {std::tuple<std::vector<std::string>, std::string, std::vector<std::string>>{
            {"a", "b"}, "a; b", {"a", "b"}},
        {{"", "b"}, "b", {"", "b"}},
        {{"a", ""}, "a; ", {"a", ""}},
        {{" a ", "b "}, "a; b", {"a", "b"}}}) {
    const auto walked = Recode(Jpeg({App13(
        Irb(Iptc({{2, 25, values[0]}, {2, 20, values[0]}, {2, 25, values[1]}, {2, 20, values[1]}})))}));
    EXPECT_EQ(walked.Fields.Keywords, joined);
    EXPECT_EQ(walked.Fields.SupplementalCategory, joined);
    EXPECT_EQ(walked.Lists.KeywordList, list);
    EXPECT_EQ(walked.Lists.SupplementalCategoryList, list);
  }
}

TEST(IptcWalk, ABlockDeclaredUtf8IsReadNotRecoded) {
  const std::string image = Jpeg({App13(Irb(Iptc({{1, 90, "\x1B%G"}, {2, 90, "S\xC3\xA9te"}})))});
  const auto walked = Recode(image);
  EXPECT_TRUE(walked.Walk.DeclaresUtf8);
  EXPECT_EQ(walked.Image, image);
  EXPECT_EQ(walked.Fields.City, "S\xC3\xA9te");
  EXPECT_FALSE(Recode(Jpeg({App13(Irb(Iptc({{1, 90, "\x1B%A"}})))})).Walk.DeclaresUtf8);
}

TEST(IptcWalk, AValueRunningPastTheEndIsCutWhenRecodingAndStopsTheReadOnlyWalk) {
  // A file cut short: its segment claims 512 bytes, the caption 300, and 6 remain.
  const std::string head =
      "\xFF\xD8\xFF\xED\x02\x00Photoshop 3.0\0"
      "8BIM\x04\x04\0\0\0\0\x01\x40"s +
      Iptc({{2, 5, "Vue"}});
  const std::string image = head +
                            "\x1C\x02\x78\x01\x2C"
                            "Caf\x8E\x8E\x8E"s;
  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9\xE9\xE9");
  EXPECT_EQ(recoded.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(recoded.Walk.ChangedEnd, image.size());
  const auto read = Read(image);
  EXPECT_EQ(read.Fields.ObjectName, "Vue");
  EXPECT_EQ(read.Fields.Caption, "");
  EXPECT_EQ(read.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(read.Walk.Offset, head.size());
  // Every truncation point: a dataset counts once it is whole, or, when recoding, once its header is.
  for (std::size_t cut = 0; cut <= image.size(); ++cut) {
    const std::string prefix = image.substr(0, cut);
    ASSERT_EQ(Read(prefix).Walk.Datasets, cut >= head.size()) << cut;
    ASSERT_EQ(Recode(prefix).Walk.Datasets, (cut >= head.size() - 3) + (cut >= head.size() + 5)) << cut;
  }
}

TEST(IptcWalk, ABlockSplitOverTwoApp13SegmentsIsReadAcrossWithoutTouchingTheSecondHeader) {
  const std::string block = Irb(Iptc({{2, 120,
                                       "Caf\x8E \x88 Paris, \x8E"
                                       "t\x8E"},
                                      {2, 90, "Orl\x8E"}}));
  const std::string first = App13(block.substr(0, block.find("Paris")));
  std::string rest = block.substr(block.find("Paris"));
  rest.resize(0x8E - 16, '\0');  // the second segment's length, 0x008E, is a byte the table changes
  const auto recoded = Recode(Jpeg({first, App13(rest)}));
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9 \xE0 Paris, \xE9t\xE9");
  EXPECT_EQ(recoded.Fields.City, "Orl\xE9");
  EXPECT_EQ(recoded.Image.substr(2 + first.size(), 18), App13(rest).substr(0, 18));
  EXPECT_EQ(Read(Jpeg({first, App13(rest)})).Fields.City, "Orl\x8E");
}

TEST(IptcWalk, AValueClaimingMoreThanItsSegmentNeverReachesTheImageData) {
  const std::string image = "\xFF\xD8"s +
                            test::Segment(0xED,
                                          "Photoshop 3.0\0"
                                          "8BIM\x04\x04\0\0\0\0\x00\x10\x1C\x02\x78\x00\xF0"
                                          "Caf\x8E"s) +
                            test::ImageData();
  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9");
  EXPECT_TRUE(recoded.Image.ends_with(test::ImageData()));
}

}  // namespace
}  // namespace qm::engine
