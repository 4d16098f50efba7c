#include "coding/accent_tables.h"

#include <gtest/gtest.h>

#include "system_converter.h"

namespace qm::coding {
namespace {

const AccentTable kToWindows = BuildMacToWindows();
const AccentTable kToMac = BuildWindowsToMac();

TEST(AccentTables, EachDirectionChangesThe37PairsToTheSameCharacterAndBack) {
  int to_windows_changed = 0, to_mac_changed = 0;
  for (int b = 0; b < 256; ++b) {
    to_windows_changed += kToWindows[b] != b;
    to_mac_changed += kToMac[b] != b;
  }
  EXPECT_EQ(to_windows_changed, 37);
  EXPECT_EQ(to_mac_changed, 37);
  std::string mac, windows;
  for (const AccentPair& pair : kAccentPairs) {
    EXPECT_EQ(kToMac[kToWindows[pair.Mac]], pair.Mac);
    EXPECT_EQ(kToWindows[kToMac[pair.Windows]], pair.Windows);
    // Row 24 is the one pair of two different characters: the typographic apostrophe and the ASCII one.
    if (pair.Mac == 0xD5) continue;
    mac.push_back(static_cast<char>(pair.Mac));
    windows.push_back(static_cast<char>(kToWindows[pair.Mac]));
  }
  EXPECT_EQ(SystemUtf8("CP1252", windows), SystemUtf8("MACINTOSH", mac));
  EXPECT_EQ(SystemUtf8("MACINTOSH", mac).size(), 2 * mac.size()) << "every pair is converted";
  EXPECT_EQ(kToWindows[0xD5], 0x27);
  // The euro sign is outside the pairs: it leaves unchanged and comes back as the Windows A-umlaut.
  EXPECT_EQ(kToMac[0x80], 0x80);
  EXPECT_EQ(kToWindows[kToMac[0x80]], 0xC4);
}

TEST(AccentTables, SelectGivesACopyOfTheChosenDirection) {
  EXPECT_EQ(SelectAccentTable(0, kToWindows, kToMac), kToWindows);
  EXPECT_EQ(SelectAccentTable(1, kToWindows, kToMac), kToMac);
  for (int other : {2, -1, 7}) EXPECT_EQ(SelectAccentTable(other, kToWindows, kToMac), IdentityTable());
}

}  // namespace
}  // namespace qm::coding
