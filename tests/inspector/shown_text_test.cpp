#include "inspector/shown_text.h"

#include <gtest/gtest.h>

namespace qm::inspector {
namespace {

TEST(ShownText, ShowsEachLineBreakAsOneAndLeadsASelectionBackToTheStoredBytes) {
  const ShownText text("Caption: \x8E\r\nCity: Metz\rA\nB\r\n");
  EXPECT_EQ(text.Shown(), "Caption: \x8E\nCity: Metz\nA\nB\n");
  EXPECT_EQ(text.Stored(9, 10), "\x8E");
  EXPECT_EQ(text.Stored(9, 12), "\x8E\r\nC");
  EXPECT_EQ(text.Stored(21, 24), "\rA\n");
  EXPECT_EQ(text.Stored(0, 1000), "Caption: \x8E\r\nCity: Metz\rA\nB\r\n");
  EXPECT_EQ(text.Stored(6, 2), "");
  EXPECT_EQ(text.Stored(1000, 2000), "");
}

}  // namespace
}  // namespace qm::inspector
