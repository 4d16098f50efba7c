#pragma once

#include <array>
#include <cstdint>

namespace qm::coding {

/// A byte-for-byte recoding table: entry b is the byte that replaces b.
using AccentTable = std::array<std::uint8_t, 256>;

/// One accented character as coded by Windows-1252 and by Mac OS Roman.
struct AccentPair {
  std::uint8_t Windows;
  std::uint8_t Mac;
};

/// The 37 characters that the tables convert, in the order the tables are built. Neither column repeats a
/// byte. Row 24 is the one pair of two different characters: the Macintosh typographic apostrophe (0xD5) and
/// the plain ASCII apostrophe (0x27).
inline constexpr std::array<AccentPair, 37> kAccentPairs = {{
    {0xC4, 0x80}, {0xC9, 0x83}, {0xD6, 0x85}, {0xDC, 0x86}, {0xE0, 0x88}, {0xE2, 0x89}, {0xE4, 0x8A},
    {0xE3, 0x8B}, {0xE5, 0x8C}, {0xE7, 0x8D}, {0xE9, 0x8E}, {0xE8, 0x8F}, {0xEA, 0x90}, {0xEB, 0x91},
    {0xEE, 0x94}, {0xEF, 0x95}, {0xF1, 0x96}, {0xF4, 0x99}, {0xF6, 0x9A}, {0xF5, 0x9B}, {0xF9, 0x9D},
    {0xFB, 0x9E}, {0xFC, 0x9F}, {0x27, 0xD5}, {0xB0, 0xA1}, {0xAB, 0xC7}, {0xBB, 0xC8}, {0xC2, 0xE5},
    {0xCA, 0xE6}, {0xC1, 0xE7}, {0xCB, 0xE8}, {0xC8, 0xE9}, {0xCE, 0xEB}, {0xCF, 0xEC}, {0xD4, 0xEF},
    {0xDB, 0xF3}, {0xD9, 0xF4},
}};

/// Values of the Accents option.
enum AccentsOption : int { kMacToWindows = 0, kWindowsToMac = 1, kNoConversion = 2 };

/// Entry i is i.
AccentTable IdentityTable();

/// Identity, except that each pair's Macintosh byte maps to its Windows byte.
AccentTable BuildMacToWindows();

/// Identity, except that each pair's Windows byte maps to its Macintosh byte.
AccentTable BuildWindowsToMac();

/// A copy of the table the Accents option names: 0 Macintosh to Windows, 1 Windows to Macintosh, any other
/// value the identity.
AccentTable SelectAccentTable(int accents, const AccentTable& mac_to_windows,
                              const AccentTable& windows_to_mac);

}  // namespace qm::coding
