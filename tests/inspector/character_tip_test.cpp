#include "inspector/character_tip.h"

#include <gtest/gtest.h>

#include <string>

namespace qm::inspector {
namespace {

const coding::AccentTable kToMac = coding::BuildWindowsToMac();
const coding::AccentTable kToWindows = coding::BuildMacToWindows();
const coding::AccentTable kIdentity = coding::IdentityTable();

TEST(CharacterTip, ShowsWhatTheActiveTableMakesOfEachCharacter) {
  EXPECT_EQ(CharacterTipText("\xE9", kToMac), "\xE9 = 233 / E9 -> \x8E");
  EXPECT_EQ(CharacterTipText("\x8E", kToWindows), "\x8E = 142 / 8E -> \xE9");
  EXPECT_EQ(CharacterTipText("\xE9\x8E", kIdentity), "\xE9 = 233 / E9\r\n\x8E = 142 / 8E");
  EXPECT_EQ(CharacterTipText("'", kToMac), "' = 39 / 27 -> \xD5");
}

TEST(CharacterTip, ShowsALineBreakAsTwoPilcrowLinesWithShortHex) {
  EXPECT_EQ(CharacterTipText("\r\n", kToWindows), "\xB6 = 13 / D\r\n\xB6 = 10 / A");
  EXPECT_EQ(CharacterTipText(" ", kToWindows), "  = 32 / 20");
  EXPECT_EQ(CharacterTipText("\xFF", kIdentity), "\xFF = 255 / FF");
}

TEST(CharacterTip, DescribesFifteenCharactersAndMarksTheRest) {
  const std::string fifteen = "abcdefghijklmno";
  const std::string tip15 = CharacterTipText(fifteen, kIdentity);
  EXPECT_EQ(tip15.substr(0, 20), "a = 97 / 61\r\nb = 98 ");
  EXPECT_EQ(tip15.substr(tip15.size() - 14), "\r\no = 111 / 6F");
  EXPECT_EQ(tip15.find("..."), std::string::npos);

  for (const std::string& longer : {fifteen + "p", fifteen + "pqrstuvwxyz"}) {
    const std::string tip = CharacterTipText(longer, kIdentity);
    EXPECT_EQ(tip, tip15 + "\r\n...");
    EXPECT_EQ(tip.find("p = "), std::string::npos);
  }
}

TEST(CharacterTip, EmptySelectionGivesNoTip) { EXPECT_EQ(CharacterTipText("", kToMac), ""); }

}  // namespace
}  // namespace qm::inspector
