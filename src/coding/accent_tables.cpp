#include "coding/accent_tables.h"

namespace qm::coding {

AccentTable IdentityTable() {
  AccentTable table{};
  for (int i = 0; i < 256; ++i) table[i] = static_cast<std::uint8_t>(i);
  return table;
}

AccentTable BuildMacToWindows() {
  AccentTable table = IdentityTable();
  for (const AccentPair& pair : kAccentPairs) table[pair.Mac] = pair.Windows;
  return table;
}

AccentTable BuildWindowsToMac() {
  AccentTable table = IdentityTable();
  for (const AccentPair& pair : kAccentPairs) table[pair.Windows] = pair.Mac;
  return table;
}

AccentTable SelectAccentTable(int accents, const AccentTable& mac_to_windows,
                              const AccentTable& windows_to_mac) {
  switch (accents) {
    case kMacToWindows:
      return mac_to_windows;
    case kWindowsToMac:
      return windows_to_mac;
    default:
      return IdentityTable();
  }
}

}  // namespace qm::coding
