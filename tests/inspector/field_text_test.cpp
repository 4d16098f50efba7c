// What the inspector shows: the field text, built, shown, judged and described one character at a time, and
// the thumbnail's size.
#include "inspector/field_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "coding/accent_tables.h"
#include "inspector/character_tip.h"
#include "inspector/coding_verdict.h"
#include "inspector/shown_text.h"
#include "inspector/thumbnail_fit.h"

namespace qm::inspector {
namespace {

// Contact (2:118) comes after Credit (2:110) but before Source (2:115).
TEST(FieldText, ShowsEachFieldThatHoldsAValueUnderItsLabelInTheDisplayOrderAndOthersLast) {
  engine::IptcFields fields;
  EXPECT_EQ(BuildFieldText(fields), "");
  fields.ObjectName = "v";
  fields.Source = "s";
  fields.Contact = "c";
  fields.Credit = "r";
  fields.ImageType = "t";
  fields.Others = "Segment 12: x\r\nSegment 200: y\r\n";
  EXPECT_EQ(BuildFieldText(fields),
            "Object Name: v\r\nCredit: r\r\nContact: c\r\nSource: s\r\nImage Type: t\r\n"
            "Others: Segment 12: x\r\nSegment 200: y\r\n\r\n");
}

TEST(ShownText, ShowsEachLineBreakAsOneAndLeadsASelectionBackToTheStoredBytes) {
  const ShownText text("Caption: \x8E\r\nCity: Metz\rA\nB\r\n");
  EXPECT_EQ(text.Shown(), "Caption: \xC5\xBD\nCity: Metz\nA\nB\n");
  EXPECT_EQ(text.Stored(9, 10), "\x8E");
  EXPECT_EQ(text.Stored(9, 12), "\x8E\r\nC");
  EXPECT_EQ(text.Stored(21, 24), "\rA\n");
  EXPECT_EQ(text.Stored(0, 1000), "Caption: \x8E\r\nCity: Metz\rA\nB\r\n");
  EXPECT_EQ(text.Stored(6, 2), "");
  EXPECT_EQ(text.Stored(1000, 2000), "");
  // UTF-8 values: a curly apostrophe, a character a text box counts twice, a stray byte read as Windows-1252.
  const ShownText utf8("Caption: \xE2\x80\x99\xF0\x9F\x93\xB7\xC3\r\n", true);
  EXPECT_EQ(utf8.Shown(), "Caption: \xE2\x80\x99\xF0\x9F\x93\xB7\xC3\x83\n");
  EXPECT_EQ(utf8.Stored(9, 10), "\xE2\x80\x99");
  EXPECT_EQ(utf8.Stored(10, 12), "\xF0\x9F\x93\xB7");
  EXPECT_EQ(utf8.Stored(12, 14), "\xC3\r\n");
  // Only well-formed sequences are UTF-8: not an overlong CSI, a surrogate or a cut character.
  EXPECT_EQ(ShownText("\xC0\x9B\xED\xA0\x80\xE2\x80", true).Shown(),
            "\xC3\x80\xE2\x80\xBA\xC3\xAD\xC2\xA0\xE2\x82\xAC\xC3\xA2\xE2\x82\xAC");
  EXPECT_EQ(DecodedText("\x8E\r\n\xC3\xA9", false), "\xC5\xBD\r\n\xC3\x83\xC2\xA9");
  EXPECT_EQ(DecodedText("\x8E\r\n\xC3\xA9", true), "\xC5\xBD\r\n\xC3\xA9");
}

TEST(JudgeCoding, OnlyTheMacintoshCodesOfAccentedSmallLettersButARingMakeATextMacintosh) {
  // Rows 5 to 8 and 10 to 23 of the accent pairs: à â ä ã, then ç to ü; row 9 is å. Among them are the
  // Windows en dash (0x96) and quotes 0x91 and 0x94, but not 0x92 and 0x93.
  std::set<int> markers;
  for (std::size_t row = 5; row <= 23; ++row) {
    if (row != 9) markers.insert(coding::kAccentPairs[row - 1].Mac);
  }
  EXPECT_EQ(markers, std::set<int>(MacMarkerBytes.begin(), MacMarkerBytes.end()));
  for (int b = 1; b < 256; ++b) {
    const std::string text = "Others: Segment 12: x" + std::string(1, static_cast<char>(b)) + "\r\n\r\n";
    EXPECT_EQ(JudgeCoding(text), markers.count(b) ? Verdict::kMacintosh : Verdict::kWindows) << "byte " << b;
  }
  EXPECT_EQ(JudgeCoding(""), Verdict::kEmptyText);
  // A block that declares UTF-8 is no guess, even when a character's bytes hold a marker (0x99 in ’).
  EXPECT_STREQ(StateOf(JudgeCoding("Caption: \xE2\x80\x99", true)).Caption, "IPTC metadata (UTF-8 coding)");
  EXPECT_EQ(JudgeCoding("", true), Verdict::kEmptyText);
}

TEST(CharacterTip, DescribesFifteenCharactersWithTheirCodesAndWhatTheActiveTableMakesOfThem) {
  EXPECT_EQ(CharacterTipText("\xE9", coding::BuildWindowsToMac()), "\xE9 = 233 / E9 -> \x8E");
  EXPECT_EQ(CharacterTipText("\x8E\r\n", coding::BuildMacToWindows()),
            "\x8E = 142 / 8E -> \xE9\r\n\xB6 = 13 / D\r\n\xB6 = 10 / A");
  EXPECT_EQ(CharacterTipText("", coding::IdentityTable()), "");
  const std::string fifteen = "abcdefghijklmno";
  const std::string tip = CharacterTipText(fifteen, coding::IdentityTable());
  EXPECT_EQ(tip.substr(0, 13), "a = 97 / 61\r\n");
  EXPECT_EQ(tip.substr(tip.size() - 14), "\r\no = 111 / 6F");
  EXPECT_EQ(CharacterTipText(fifteen + "p", coding::IdentityTable()), tip + "\r\n...");
}

TEST(FitThumbnail, ScalesDownToTheBoxKeepingProportions) {
  const struct {
    PictureSize Natural, Box, Shown;
  } cases[] = {
      // in twips, in the box of 2610 x 1650
      {{5220, 1650}, {2610, 1650}, {2610, 825}},
      {{1000, 3300}, {2610, 1650}, {500, 1650}},
      {{2000, 1000}, {2610, 1650}, {2000, 1000}},
      // in pixels: a panorama strip, nothing to show
      {{100000, 10}, kThumbnailBox, {174, 1}},
      {{0, 100}, kThumbnailBox, {0, 0}},
  };
  for (const auto& c : cases) {
    const PictureSize shown = FitThumbnail(c.Natural, c.Box);
    EXPECT_EQ(shown, c.Shown) << c.Natural.Width << " x " << c.Natural.Height << " gave " << shown.Width
                              << " x " << shown.Height;
  }
}

}  // namespace
}  // namespace qm::inspector
