#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qm::coding {

/// The Unicode character that Windows-1252 codes as byte b. The five codes that Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the code point of the same number.
char16_t Windows1252ToUnicode(std::uint8_t b);

/// Text in the Windows coding (one character per byte) as UTF-8 bytes: each byte is read as its Windows-1252
/// character and written in one to three UTF-8 bytes, so 0xE9 becomes 0xC3 0xA9. An empty text gives an empty
/// result.
std::string EncodeUtf8Bytes(std::string_view windows_text);

}  // namespace qm::coding
