// The two codings checked against glibc's converter, an independent reading of them.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "coding/accent_tables.h"
#include "coding/windows1252.h"

namespace qm::coding {
namespace {

/// The text read in `charset` and written as UTF-8 by the system converter; the conversion stops at the first
/// byte the charset leaves undefined.
std::string SystemUtf8(const char* charset, std::string text) {
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) ADD_FAILURE() << "the system converter lacks " << charset;
  std::string out(4 * text.size(), '\0');
  char* in = text.data();
  char* to = out.data();
  std::size_t in_left = text.size(), out_left = out.size();
  iconv(cd, &in, &in_left, &to, &out_left);
  iconv_close(cd);
  return out.substr(0, out.size() - out_left);
}

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

TEST(Windows1252, AgreesWithTheSystemConverter) {
  std::string defined, expected;
  int undefined = 0;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    const std::string utf8 = SystemUtf8("CP1252", std::string(1, static_cast<char>(b)));
    if (utf8.empty()) {
      ++undefined;
      EXPECT_EQ(Windows1252ToUnicode(byte), b) << "an undefined byte maps to the code point of its number";
      continue;
    }
    defined.push_back(static_cast<char>(b));
    expected += utf8;
  }
  EXPECT_EQ(undefined, 5);
  EXPECT_EQ(EncodeUtf8Bytes(defined), expected);
}

}  // namespace
}  // namespace qm::coding
