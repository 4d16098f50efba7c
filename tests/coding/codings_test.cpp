// The two codings checked against the system's converter (glibc's iconv, Windows' code pages), an independent
// reading of them.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <string>
#include <tuple>

#include "coding/accent_tables.h"
#include "coding/windows1252.h"

namespace qm::coding {
namespace {

/// The text read in `charset` and written as UTF-8 by the system converter; the conversion stops at the first
/// byte the charset leaves undefined.
std::string SystemUtf8(const char* charset, std::string text) {
#if defined(_WIN32)
  // Code page 1252 gives the five bytes it leaves undefined their own numbers, C1 controls, which iconv
  // refuses: they count as undefined here too.
  const UINT page = std::string_view(charset) == "MACINTOSH" ? 10000 : 1252;
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(),
                                                              static_cast<int>(text.size()), wide.data(),
                                                              static_cast<int>(wide.size()))));
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] >= 0x80 && wide[i] < 0xA0) wide.resize(i);
  }
  std::string out(4 * wide.size(), '\0');
  out.resize(static_cast<std::size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                                             out.data(), static_cast<int>(out.size()), nullptr,
                                                             nullptr)));
  return out;
#else
  iconv_t cd = iconv_open("UTF-8", charset);
  if (cd == reinterpret_cast<iconv_t>(-1)) ADD_FAILURE() << "the system converter lacks " << charset;
  std::string out(4 * text.size(), '\0');
  char* in = text.data();
  char* to = out.data();
  std::size_t in_left = text.size(), out_left = out.size();
  iconv(cd, &in, &in_left, &to, &out_left);
  iconv_close(cd);
  return out.substr(0, out.size() - out_left);
#endif
}

const AccentTable kToWindows = BuildMacToWindows();
const AccentTable kToMac = BuildWindowsToMac();

// The characters of the 37 pairs, in the order the tables are built: the system converter reads each pair's
// bytes as its character. Row 24 pairs the ASCII apostrophe (Windows) with the typographic one (Macintosh).
const char* const kPairedCharacters[] = {"Ä", "É", "Ö", "Ü", "à", "â", "ä", "ã", "å", "ç", "é", "è", "ê",
                                         "ë", "î", "ï", "ñ", "ô", "ö", "õ", "ù", "û", "ü", "’", "°", "«",
                                         "»", "Â", "Ê", "Á", "Ë", "È", "Î", "Ï", "Ô", "Û", "Ù"};

TEST(AccentTables, EachDirectionChangesThe37PairsOfTheSameCharacterAndNothingElse) {
  ASSERT_EQ(std::size(kPairedCharacters), kAccentPairs.size());
  for (std::size_t row = 0; row < kAccentPairs.size(); ++row) {
    const auto [windows, mac] = kAccentPairs[row];
    EXPECT_EQ(SystemUtf8("MACINTOSH", std::string(1, static_cast<char>(mac))), kPairedCharacters[row]);
    EXPECT_EQ(SystemUtf8("CP1252", std::string(1, static_cast<char>(windows))),
              row + 1 == 24 ? "'" : kPairedCharacters[row]);
    EXPECT_EQ(std::tie(kToWindows[mac], kToMac[windows]), std::tie(windows, mac)) << row + 1;
  }
  int changed = 0;
  for (int b = 0; b < 256; ++b) changed += (kToWindows[b] != b) + (kToMac[b] != b);
  EXPECT_EQ(changed, 2 * 37);
  // The euro sign is outside the pairs: it leaves unchanged and comes back as the Windows A-umlaut.
  EXPECT_EQ(kToMac[0x80], 0x80);
  EXPECT_EQ(kToWindows[kToMac[0x80]], 0xC4);
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
