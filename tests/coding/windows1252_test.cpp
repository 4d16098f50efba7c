#include "coding/windows1252.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace qm::coding {
namespace {

// glibc's converter, as an independent reading of Windows-1252; nothing for a byte it leaves undefined.
std::string IconvUtf8(unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return "unavailable";
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* in_ptr = in;
  char* out_ptr = out;
  size_t in_left = 1, out_left = sizeof out;
  const size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<size_t>(-1)) return {};
  return std::string(out, out_ptr);
}

TEST(Windows1252, AgreesWithTheSystemConverterOnEveryDefinedByte) {
  int undefined = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string expected = IconvUtf8(static_cast<unsigned char>(b));
    ASSERT_NE(expected, "unavailable");
    const std::string ours = EncodeUtf8Bytes(std::string(1, static_cast<char>(b)));
    if (expected.empty()) {
      ++undefined;
      EXPECT_EQ(Windows1252ToUnicode(static_cast<std::uint8_t>(b)), b) << "byte " << b;
      continue;
    }
    EXPECT_EQ(ours, expected) << "byte " << b;
  }
  EXPECT_EQ(undefined, 5);
}

TEST(Windows1252, UnicodeToWindowsInvertsEveryByte) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(UnicodeToWindows1252(Windows1252ToUnicode(static_cast<std::uint8_t>(b))), b);
  }
  EXPECT_EQ(UnicodeToWindows1252(0x0100), -1);  // A-macron has no Windows-1252 code
  EXPECT_EQ(UnicodeToWindows1252(0x1F600), -1);
}

TEST(Windows1252, EncodesWholeTexts) {
  EXPECT_EQ(EncodeUtf8Bytes(""), "");
  EXPECT_EQ(EncodeUtf8Bytes("Orl\xE9"
                            "ans"),
            "Orl\xC3\xA9"
            "ans");
  EXPECT_EQ(EncodeUtf8Bytes("\x80 \x8E"), "\xE2\x82\xAC \xC5\xBD");
}

}  // namespace
}  // namespace qm::coding
