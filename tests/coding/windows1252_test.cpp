#include "coding/windows1252.h"

#include <gtest/gtest.h>

#include "system_converter.h"

namespace qm::coding {
namespace {

TEST(Windows1252, AgreesWithTheSystemConverterAndInvertsEveryByte) {
  std::string defined, expected;
  int undefined = 0;
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    EXPECT_EQ(UnicodeToWindows1252(Windows1252ToUnicode(byte)), b);
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
  EXPECT_EQ(UnicodeToWindows1252(0x0100), -1);  // A-macron has no Windows-1252 code
}

}  // namespace
}  // namespace qm::coding
