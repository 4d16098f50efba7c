#include "inspector/shown_text.h"

#include <gtest/gtest.h>

namespace qm::inspector {
namespace {

TEST(ShownText, ShowsEveryKindOfLineBreakAsOne) {
  const ShownText text("a\r\nb\rc\nd\r\n\r\n");
  EXPECT_EQ(text.Shown(), "a\nb\nc\nd\n\n");
}

TEST(ShownText, LeadsASelectionBackToTheStoredBytes) {
  const ShownText text("Caption: \x8E\r\nCity: Metz\r\r\n");
  // shown: "Caption: \x8E\nCity: Metz\n\n"
  EXPECT_EQ(text.Stored(9, 10), "\x8E");
  EXPECT_EQ(text.Stored(10, 11), "\r\n");
  EXPECT_EQ(text.Stored(9, 13), "\x8E\r\nCi");
  EXPECT_EQ(text.Stored(21, 23), "\r\r\n");
  EXPECT_EQ(text.Stored(0, 1000), "Caption: \x8E\r\nCity: Metz\r\r\n");
  EXPECT_EQ(text.Stored(5, 5), "");
  EXPECT_EQ(text.Stored(6, 2), "");
  EXPECT_EQ(text.Stored(1000, 2000), "");
}

TEST(ShownText, EmptyTextShowsNothing) {
  const ShownText text("");
  EXPECT_EQ(text.Shown(), "");
  EXPECT_EQ(text.Stored(0, 1), "");
}

}  // namespace
}  // namespace qm::inspector
