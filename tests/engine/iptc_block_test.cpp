#include "engine/iptc_block.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/image_builders.h"

namespace qm::engine {
namespace {

using namespace std::string_literals;

using test::App13;
using test::Bytes;
using test::Iptc;
using test::Irb;
using test::Jpeg;
using test::Segment;
using test::Text;
using testing::ElementsAre;

const coding::AccentTable kMacToWindows = coding::BuildMacToWindows();
const coding::AccentTable kIdentity = coding::IdentityTable();

struct Walked {
  std::string Image;
  IptcFields Fields;
  IptcLists Lists;
  IptcWalk Walk;
};

Walked Recode(const std::string& image, const coding::AccentTable& table = kMacToWindows) {
  Walked out;
  auto bytes = Bytes(image);
  const auto resource = FindIptcResource(bytes, IsJpeg(bytes));
  if (resource) out.Walk = RecodeIptcBlock(bytes, *resource, table, out.Fields, out.Lists);
  out.Image = Text(bytes);
  return out;
}

Walked Read(const std::string& image) {
  Walked out;
  out.Walk = ReadIptcFromImage(Bytes(image), out.Fields);
  out.Image = image;
  return out;
}

std::string JpegWith(std::initializer_list<test::Dataset> datasets) {
  return Jpeg({App13(Irb(Iptc(datasets)))});
}

TEST(IptcWalk, FillsTheFieldsJoinsRepeatsAndKeepsTheLastOfOthers) {
  const auto walked = Recode(JpegWith({{1, 0, "\x00\x04"},
                                       {2, 0, "\x00\x04"},
                                       {2, 5, "First"},
                                       {2, 5, "Vue"},
                                       {2, 80, "Anne"},
                                       {2, 80, "Bruno"},
                                       {2, 12, "x"},
                                       {2, 200, "high"},
                                       {2, 120, "  Caf\x8E \x88 Paris  "},
                                       {2, 55, "20031225"}}));
  IptcFields expected;
  expected.ObjectName = "Vue";
  expected.Byline = "Anne; Bruno";
  expected.Caption = "Caf\xE9 \xE0 Paris";
  expected.CreatedDate = "20031225";
  expected.Others = "Segment 12: x\r\nSegment 200: high\r\n";
  EXPECT_EQ(walked.Fields, expected);
  EXPECT_EQ(walked.Walk.Datasets, 8);
  EXPECT_EQ(walked.Walk.End, IptcWalkEnd::kEndOfBlock);
  // Spaces are trimmed from the field only; the bytes in the image are recoded in place, nothing else.
  EXPECT_NE(walked.Image.find("  Caf\xE9 \xE0 Paris  "), std::string::npos);
}

struct ListCase {
  std::vector<std::string> Values;
  std::string Joined;
  std::vector<std::string> List;
};

class IptcWalkLists : public testing::TestWithParam<ListCase> {};

TEST_P(IptcWalkLists, KeywordsAndCategoriesJoinTheFieldAndKeepEveryEntryInTheList) {
  std::string keywords, categories;
  for (const std::string& v : GetParam().Values) {
    keywords += Iptc({{2, 25, v}});
    categories += Iptc({{2, 20, v}});
  }
  const auto walked = Recode(Jpeg({App13(Irb(keywords + categories))}));
  EXPECT_EQ(walked.Fields.Keywords, GetParam().Joined);
  EXPECT_EQ(walked.Fields.SupplementalCategory, GetParam().Joined);
  EXPECT_EQ(walked.Lists.KeywordList, GetParam().List);
  EXPECT_EQ(walked.Lists.SupplementalCategoryList, GetParam().List);
}

INSTANTIATE_TEST_SUITE_P(Cases, IptcWalkLists,
                         testing::Values(ListCase{{"a", "b"}, "a; b", {"a", "b"}},
                                         ListCase{{"", "b"}, "b", {"", "b"}},
                                         ListCase{{"a", ""}, "a; ", {"a", ""}},
                                         ListCase{{" a ", "b "}, "a; b", {"a", "b"}}, ListCase{{}, "", {}}));

TEST(IptcWalk, AZeroByteEndsTheValueAndTheBytesAfterItStayUnconverted) {
  const auto walked = Recode(JpegWith({{2, 120, std::string("Caf\x8E\0\x8E", 6)},
                                       {2, 90,
                                        "Orl\x8E"
                                        "ans"}}));
  EXPECT_EQ(walked.Fields.Caption, "Caf\xE9");
  EXPECT_EQ(walked.Fields.City,
            "Orl\xE9"
            "ans");
  EXPECT_NE(walked.Image.find(std::string("Caf\xE9\0\x8E", 6)), std::string::npos);
}

TEST(IptcWalk, OtherRecordsAndTheRecordVersionAreLeftUntouched) {
  const std::string image =
      JpegWith({{1, 20, "\x8E\x8E"}, {2, 0, "\x8E\x8E"}, {3, 5, "\x8E"}, {2, 5, "\x8E"}});
  const auto walked = Recode(image);
  EXPECT_EQ(walked.Fields.ObjectName, "\xE9");
  EXPECT_EQ(walked.Fields.Others, "");
  EXPECT_EQ(walked.Walk.Datasets, 1);
  std::string expected = image;
  expected[expected.find("\x1C\x02\x05\x00\x01\x8E"s) + 5] = '\xE9';
  EXPECT_EQ(walked.Image, expected);
}

TEST(IptcWalk, TheIdentityTableFillsTheFieldsAndChangesNothing) {
  const std::string image = JpegWith({{2, 120, "Caf\x8E"}, {2, 25, "\x88"}});
  const auto walked = Recode(image, kIdentity);
  EXPECT_EQ(walked.Image, image);
  EXPECT_EQ(walked.Fields.Caption, "Caf\x8E");
  EXPECT_EQ(walked.Walk.ChangedEnd, 0u);
}

TEST(IptcWalk, FindsTheDataAfterAPaddedName) {
  for (const std::string name : {"", "a", "ab", "abc"}) {
    const auto walked = Read(Jpeg({App13(Irb(Iptc({{2, 5, "x"}}), name))}));
    EXPECT_EQ(walked.Fields.ObjectName, "x") << "name " << name;
  }
}

TEST(IptcWalk, RecordOneDeclaringUtf8KeepsTheValuesAsTheyAre) {
  const std::string image = JpegWith({{1, 90, "\x1B%G"},
                                      {2, 90,
                                       "Orl\xC3\xA9"
                                       "ans"},
                                      {2, 25, "\xC3\xA9t\xC3\xA9"}});
  const auto walked = Recode(image);
  EXPECT_TRUE(walked.Walk.DeclaresUtf8);
  EXPECT_EQ(walked.Image, image);
  EXPECT_EQ(walked.Fields.City,
            "Orl\xC3\xA9"
            "ans");
  EXPECT_THAT(walked.Lists.KeywordList, ElementsAre("\xC3\xA9t\xC3\xA9"));
  EXPECT_TRUE(Read(image).Walk.DeclaresUtf8);
  EXPECT_FALSE(Recode(JpegWith({{1, 90, "\x1B%@"}, {2, 90, "\x8E"}})).Walk.DeclaresUtf8);
}

TEST(IptcWalk, AValueRunningPastTheEndIsCutWhenRecodingAndStopsTheReadOnlyWalk) {
  // A truncated file: the segment claims 512 bytes and the caption 300; 6 remain.
  const std::string head =
      "\xFF\xD8\xFF\xED\x02\x00Photoshop 3.0\0"
      "8BIM\x04\x04\0\0\0\0\x01\x40"s +
      Iptc({{2, 5, "Vue"}});
  const std::string image = head +
                            "\x1C\x02\x78\x01\x2C"
                            "Caf\x8E\x8E\x8E"s;
  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.ObjectName, "Vue");
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9\xE9\xE9");
  EXPECT_EQ(recoded.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(recoded.Walk.Offset, head.size());
  EXPECT_EQ(recoded.Walk.ChangedEnd, image.size());

  const auto read = Read(image);
  EXPECT_EQ(read.Fields.ObjectName, "Vue");
  EXPECT_EQ(read.Fields.Caption, "");
  EXPECT_EQ(read.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(read.Walk.Offset, head.size());
  EXPECT_EQ(read.Walk.Datasets, 1);
}

TEST(IptcWalk, EveryTruncationPointKeepsTheDatasetsThatEndBeforeIt) {
  const std::string image = JpegWith({{1, 90, "\x1B%A"},
                                      {2, 5, "Vue"},
                                      {2, 120, "Caf\x8E"},
                                      {2, 25, ""},
                                      {2, 90,
                                       "Orl\x8E"
                                       "ans"}});
  std::vector<std::size_t> value_ends;
  for (std::size_t at = image.find("Vue") + 3; value_ends.size() < 4; at = image.find('\x1C', at) + 5) {
    if (!value_ends.empty()) at += static_cast<unsigned char>(image[at - 1]);
    value_ends.push_back(at);
  }
  for (std::size_t cut = 0; cut <= image.size(); ++cut) {
    const std::string prefix = image.substr(0, cut);
    const auto read = Read(prefix);
    int complete = 0;
    for (std::size_t end : value_ends) complete += end <= cut;
    ASSERT_EQ(read.Walk.Datasets, complete) << "cut at " << cut;
    ASSERT_LE(read.Walk.Offset, cut);
    const auto recoded = Recode(prefix);
    ASSERT_GE(recoded.Walk.Datasets, complete) << "cut at " << cut;
    ASSERT_LE(recoded.Walk.ChangedEnd, cut);
  }
}

TEST(IptcWalk, ABlockSplitOverTwoApp13SegmentsIsReadAcrossTheBoundaryWithoutTouchingTheHeader) {
  // Photoshop's continuation segment: marker, length, "Photoshop 3.0", then the rest of the block. Its length
  // (0x008E) is a byte the table would change.
  const std::string caption =
      "Caf\x8E \x88 Paris, \x8E"
      "t\x8E";
  const std::string block = Irb(Iptc({{2, 120, caption},
                                      {2, 90,
                                       "Orl\x8E"
                                       "ans"}}));
  const std::size_t split = block.find("Paris");
  const std::string first = App13(block.substr(0, split));
  std::string rest = block.substr(split);
  rest.resize(0x8E - 16, '\0');
  const std::string second = App13(rest);
  ASSERT_EQ(second.substr(0, 4), "\xFF\xED\x00\x8E"s);
  const std::string image = Jpeg({first, second});

  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9 \xE0 Paris, \xE9t\xE9");
  EXPECT_EQ(recoded.Fields.City,
            "Orl\xE9"
            "ans");
  const std::size_t boundary = 2 + first.size();
  EXPECT_EQ(recoded.Image.substr(boundary, 18), image.substr(boundary, 18));
  EXPECT_EQ(Read(image).Fields.Caption, caption);
}

TEST(IptcWalk, AValueClaimingMoreThanItsSegmentNeverReachesTheImageData) {
  const std::string segment =
      Segment(0xED, std::string("Photoshop 3.0", 14) + "8BIM\x04\x04" + std::string("\0\0\0\0\x00\x10", 6) +
                        std::string("\x1C\x02\x78\x00\xF0", 5) + "Caf\x8E");
  const std::string image = "\xFF\xD8" + segment + test::ImageData();
  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9");
  EXPECT_EQ(recoded.Image.substr(2 + segment.size()), test::ImageData());
  EXPECT_EQ(recoded.Walk.End, IptcWalkEnd::kDatasetPastEnd);
}

TEST(IptcWalk, WholeFileModeWalksToTheEndOfTheFile) {
  const std::string image = std::string(10, 'x') +
                            Irb(Iptc({{2, 90,
                                       "Orl\x8E"
                                       "ans"}})) +
                            "tail";
  const auto recoded = Recode(image);
  EXPECT_EQ(recoded.Fields.City,
            "Orl\xE9"
            "ans");
  EXPECT_EQ(Read(image).Fields.City,
            "Orl\x8E"
            "ans");
}

TEST(IptcWalk, NoResourceLeavesEverythingEmpty) {
  const auto read = Read(Jpeg({App13(Irb("x", "", 0x040C))}));
  EXPECT_EQ(read.Walk.End, IptcWalkEnd::kNoResource);
  EXPECT_EQ(read.Fields, IptcFields());
}

}  // namespace
}  // namespace qm::engine
