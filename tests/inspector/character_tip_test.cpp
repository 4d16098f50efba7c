#include "inspector/character_tip.h"

#include <gtest/gtest.h>

#include <string>

namespace qm::inspector {
namespace {

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
  EXPECT_EQ(CharacterTipText(fifteen + "pqrstu", coding::IdentityTable()), tip + "\r\n...");
}

}  // namespace
}  // namespace qm::inspector
