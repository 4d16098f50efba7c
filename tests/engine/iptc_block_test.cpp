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

struct Walked {
  std::string Image;
  IptcFields Fields;
  IptcLists Lists;
  IptcWalk Walk;
};

// The recoding walk through the Macintosh to Windows table, or the read-only walk.
Walked Walk(const std::string& image, bool recode = true) {
  Walked out;
  auto bytes = test::Bytes(image);
  if (!recode) {
    out.Walk = ReadIptcFromImage(bytes, out.Fields);
  } else if (const auto resource = FindIptcResource(bytes, IsJpeg(bytes))) {
    out.Walk = RecodeIptcBlock(bytes, *resource, coding::BuildMacToWindows(), out.Fields, out.Lists);
  }
  out.Image = test::Text(bytes);
  return out;
}

TEST(IptcWalk, RecodesValueBytesInPlaceAndFillsTheFieldsAndLists) {
  // e and a are the accented letters; other records, 2:00 and a byte after a zero byte hold 0x8E too.
  const auto image = [](const std::string& e, const std::string& a) {
    // clang-format off
    return Jpeg({App13(Irb(Iptc({{1, 20, "\x8E"}, {2, 0, "\x8E"}, {3, 5, "\x8E"}, {2, 5, "First"},
        {2, 5, "Vue"}, {2, 80, "Anne"}, {2, 80, "Bruno"}, {2, 12, "x"}, {2, 200, "high"}, {2, 25, " "},
        {2, 25, "k "}, {2, 25, ""}, {2, 20, "s"}, {2, 20, "t"},
        {2, 120, "  Caf" + e + " " + a + " Paris  "}, {2, 90, "Orl" + e + "\0\x8E"s}}), "abc"))});
    // clang-format on
  };
  const auto walked = Walk(image("\x8E", "\x88"));
  EXPECT_EQ(walked.Image, image("\xE9", "\xE0"));
  IptcFields expected;
  expected.ObjectName = "Vue";
  expected.Byline = "Anne; Bruno";
  expected.Keywords = "k; ";  // an empty first value is replaced, a later one is joined
  expected.SupplementalCategory = "s; t";
  expected.Caption = "Caf\xE9 \xE0 Paris";
  expected.City = "Orl\xE9";
  expected.Others = "Segment 12: x\r\nSegment 200: high\r\n";
  EXPECT_EQ(walked.Fields, expected);
  EXPECT_EQ(walked.Lists.KeywordList, (std::vector<std::string>{"", "k", ""}));
  EXPECT_EQ(walked.Lists.SupplementalCategoryList, (std::vector<std::string>{"s", "t"}));
  EXPECT_EQ(walked.Walk.End, IptcWalkEnd::kEndOfBlock);
  expected.Caption = "Caf\x8E \x88 Paris";
  expected.City = "Orl\x8E";
  EXPECT_EQ(Walk(image("\x8E", "\x88"), false).Fields, expected);
}

TEST(IptcWalk, AValuePastTheEndOfItsSegmentIsCutThereWhenRecodingAndStopsTheReadOnlyWalk) {
  // The caption claims 300 bytes, its segment holds 5 and the image data follows.
  const std::string image = Jpeg({App13(Irb(Iptc({{2, 5, "Vue"}}) + "\x1C\x02\x78\x01\x2C"
                                                                    "Caf\x8E\x8E"))});
  const std::size_t head = image.find("\x1C\x02\x78");  // where the caption's dataset starts
  const auto recoded = Walk(image);
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9\xE9");
  EXPECT_EQ(recoded.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(recoded.Walk.ChangedEnd, head + 10);
  EXPECT_TRUE(recoded.Image.ends_with(test::ImageData()));
  // A file searched whole (a layered picture): the caption claims more than its resource holds, and what
  // follows the resource is the picture's, never recoded.
  const auto layered = [](const char* caption) {
    return "layers " + Irb("\x1C\x02\x78\x01\x2C"s + caption) + std::string(200, '\x8E');
  };
  const auto walked = Walk(layered("Cafe\x8E"));  // an even size: no padding byte ends the value
  EXPECT_EQ(walked.Image, layered("Cafe\xE9"));
  EXPECT_EQ(walked.Fields.Caption, "Cafe\xE9");
  EXPECT_EQ(walked.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  const auto read = Walk(image, false);
  EXPECT_EQ(read.Fields.ObjectName, "Vue");
  EXPECT_EQ(read.Fields.Caption, "");
  EXPECT_EQ(read.Walk.End, IptcWalkEnd::kDatasetPastEnd);
  EXPECT_EQ(read.Walk.Offset, head);
  // Every truncation point: a dataset counts once it is whole, or, when recoding, once its header is.
  for (std::size_t cut = 0; cut <= image.size(); ++cut) {
    const std::string prefix = image.substr(0, cut);
    ASSERT_EQ(Walk(prefix, false).Walk.Datasets, cut >= head) << cut;
    ASSERT_EQ(Walk(prefix).Walk.Datasets, (cut >= head - 3) + (cut >= head + 5)) << cut;
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
  const auto recoded = Walk(Jpeg({first, App13(rest)}));
  EXPECT_EQ(recoded.Fields.Caption, "Caf\xE9 \xE0 Paris, \xE9t\xE9");
  EXPECT_EQ(recoded.Fields.City, "Orl\xE9");
  EXPECT_EQ(recoded.Image.substr(2 + first.size(), 18), App13(rest).substr(0, 18));
  EXPECT_EQ(Walk(Jpeg({first, App13(rest)}), false).Fields.City, "Orl\x8E");
}

}  // namespace
}  // namespace qm::engine
