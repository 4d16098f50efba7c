#include "coding/windows1252.h"

#include <array>

namespace qm::coding {
namespace {

// 0x80 to 0x9F are the only bytes whose character differs from the code point of the same number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t Windows1252ToUnicode(std::uint8_t b) {
  if (b >= 0x80 && b <= 0x9F) return kHighControls[b - 0x80];
  return b;
}

std::string EncodeUtf8Bytes(std::string_view windows_text) {
  std::string out;
  out.reserve(windows_text.size() + windows_text.size() / 4);
  for (std::size_t i = 0; i < windows_text.size();) {
    // ASCII is the same in both: a packet is mostly ASCII and padding, copied a run at a time
    std::size_t ascii = i;
    while (ascii < windows_text.size() && static_cast<std::uint8_t>(windows_text[ascii]) < 0x80) ++ascii;
    out.append(windows_text.substr(i, ascii - i));
    if (ascii == windows_text.size()) break;
    i = ascii + 1;
    const char16_t u = Windows1252ToUnicode(static_cast<std::uint8_t>(windows_text[ascii]));
    if (u < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (u >> 12)));
      out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

}  // namespace qm::coding
