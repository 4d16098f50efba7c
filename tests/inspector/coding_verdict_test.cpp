#include "inspector/coding_verdict.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "coding/accent_tables.h"

namespace qm::inspector {
namespace {

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
}

}  // namespace
}  // namespace qm::inspector
