#include "coding/accent_tables.h"

#include <gtest/gtest.h>

#include <set>

namespace qm::coding {
namespace {

int ChangedEntries(const AccentTable& table) {
  int changed = 0;
  for (int i = 0; i < 256; ++i) changed += table[i] != i;
  return changed;
}

TEST(AccentTables, EachDirectionChangesExactlyThe37Pairs) {
  EXPECT_EQ(ChangedEntries(BuildMacToWindows()), 37);
  EXPECT_EQ(ChangedEntries(BuildWindowsToMac()), 37);
  std::set<int> mac, windows;
  for (const AccentPair& pair : kAccentPairs) {
    mac.insert(pair.Mac);
    windows.insert(pair.Windows);
  }
  EXPECT_EQ(mac.size(), 37u);
  EXPECT_EQ(windows.size(), 37u);
}

TEST(AccentTables, RoundTripRestoresEveryPairedByteButNotOthersThatCollide) {
  const AccentTable to_mac = BuildWindowsToMac();
  const AccentTable to_windows = BuildMacToWindows();
  for (const AccentPair& pair : kAccentPairs) {
    EXPECT_EQ(to_windows[to_mac[pair.Windows]], pair.Windows);
    EXPECT_EQ(to_mac[to_windows[pair.Mac]], pair.Mac);
  }
  // The euro sign is outside the pairs: it leaves unchanged and comes back as the Windows A-umlaut.
  EXPECT_EQ(to_mac[0x80], 0x80);
  EXPECT_EQ(to_windows[to_mac[0x80]], 0xC4);
}

TEST(AccentTables, RecodesTheExamplesOfAPressDesk) {
  const AccentTable to_windows = BuildMacToWindows();
  const AccentTable to_mac = BuildWindowsToMac();
  // "ete" with acute accents, as a Macintosh writes it
  EXPECT_EQ(to_windows[0x8E], 0xE9);
  EXPECT_EQ(to_windows[0x74], 0x74);
  // The typographic apostrophe and the ASCII one change places; a Windows O-tilde (0xD5) is not paired.
  EXPECT_EQ(to_windows[0xD5], 0x27);
  EXPECT_EQ(to_mac[0x27], 0xD5);
  EXPECT_EQ(to_mac[0xD5], 0xD5);
  // Mac OS Roman characters outside the pairs pass unchanged.
  for (int b : {0x82, 0xCB, 0x87, 0x92, 0x97, 0x9C, 0xA7, 0xCF, 0xD2, 0xD3, 0xD4})
    EXPECT_EQ(to_windows[b], b);
  // Converting twice damages: e-acute becomes E-grave.
  EXPECT_EQ(to_windows[to_windows[0x8E]], 0xC8);
}

TEST(AccentTables, SelectGivesACopyOfTheChosenDirection) {
  const AccentTable to_windows = BuildMacToWindows();
  const AccentTable to_mac = BuildWindowsToMac();
  EXPECT_EQ(SelectAccentTable(0, to_windows, to_mac), to_windows);
  EXPECT_EQ(SelectAccentTable(1, to_windows, to_mac), to_mac);
  for (int other : {2, 3, -1, 7}) EXPECT_EQ(SelectAccentTable(other, to_windows, to_mac), IdentityTable());
}

}  // namespace
}  // namespace qm::coding
