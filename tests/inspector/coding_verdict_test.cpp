#include "inspector/coding_verdict.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "coding/accent_tables.h"

namespace qm::inspector {
namespace {

TEST(MacMarkerBytes, AreTheMacintoshCodesOfTheAccentedLowercaseLettersButARing) {
  // Rows 5 to 8 and 10 to 23 of the pair table: à â ä ã, then ç to ü; row 9 is å.
  std::set<int> expected;
  for (std::size_t row = 5; row <= 23; ++row) {
    if (row != 9) expected.insert(coding::kAccentPairs[row - 1].Mac);
  }
  const std::set<int> markers(MacMarkerBytes.begin(), MacMarkerBytes.end());
  EXPECT_EQ(markers, expected);
}

TEST(MacMarkerBytes, OnlyTheyMakeATextMacintosh) {
  const std::set<int> markers(MacMarkerBytes.begin(), MacMarkerBytes.end());
  for (int b = 1; b < 256; ++b) {
    const std::string caption = "Caption: x" + std::string(1, static_cast<char>(b)) + "y\r\n";
    EXPECT_EQ(JudgeCoding(caption), markers.count(b) ? Verdict::kMacintosh : Verdict::kWindows)
        << "byte " << b;
  }
}

struct JudgeCase {
  const char* What;
  std::string Text;
  Verdict Expected;
};

class JudgeCodingTest : public testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeCodingTest, JudgesTheWholeText) { EXPECT_EQ(JudgeCoding(GetParam().Text), GetParam().Expected); }

INSTANTIATE_TEST_SUITE_P(
    Texts, JudgeCodingTest,
    testing::Values(JudgeCase{"empty", "", Verdict::kEmptyText},
                    JudgeCase{"plain ascii", "Object Name: Paris\r\n", Verdict::kWindows},
                    JudgeCase{"mac e acute", "Caption: \x8Et\x8E\r\n", Verdict::kMacintosh},
                    JudgeCase{"windows e acute", "Caption: \xE9t\xE9\r\n", Verdict::kWindows},
                    JudgeCase{"windows en dash",
                              "Caption: 1\x96"
                              "2\r\n",
                              Verdict::kMacintosh},
                    JudgeCase{"windows left single quote", "Caption: \x91x\r\n", Verdict::kMacintosh},
                    JudgeCase{"windows right double quote", "Caption: x\x94\r\n", Verdict::kMacintosh},
                    JudgeCase{"windows right single quote",
                              "Caption: l\x92"
                              "eau\r\n",
                              Verdict::kWindows},
                    JudgeCase{"windows left double quote", "Caption: \x93x\r\n", Verdict::kWindows},
                    JudgeCase{"mac a ring", "Caption: \x8C\r\n", Verdict::kWindows},
                    JudgeCase{"marker in others", "Others: Segment 12: \x9A\r\n\r\n", Verdict::kMacintosh}),
    [](const testing::TestParamInfo<JudgeCase>& info) {
      std::string name = info.param.What;
      for (char& c : name) c = c == ' ' ? '_' : c;
      return name;
    });

TEST(VerdictState, ShowsOneIconAndEnablesTheInspectionOnlyWithFields) {
  const VerdictState empty = StateOf(Verdict::kEmptyText);
  EXPECT_STREQ(empty.Caption, "No IPTC metadata");
  EXPECT_TRUE(empty.ImageQuillmark && !empty.ImageMac && !empty.ImageWin);
  EXPECT_FALSE(empty.InspectionEnabled);

  const VerdictState mac = StateOf(Verdict::kMacintosh);
  EXPECT_STREQ(mac.Caption, "IPTC metadata (expected Macintosh coding)");
  EXPECT_TRUE(mac.ImageMac && !mac.ImageWin && !mac.ImageQuillmark);
  EXPECT_TRUE(mac.InspectionEnabled);

  const VerdictState windows = StateOf(Verdict::kWindows);
  EXPECT_STREQ(windows.Caption, "IPTC metadata (expected Windows coding)");
  EXPECT_TRUE(windows.ImageWin && !windows.ImageMac && !windows.ImageQuillmark);
  EXPECT_TRUE(windows.InspectionEnabled);
}

}  // namespace
}  // namespace qm::inspector
