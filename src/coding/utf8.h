#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm::coding {

/// A character read from UTF-8 text, with the number of bytes it took.
struct Utf8Character {
  char32_t Code = 0;
  std::size_t Length = 0;
};

/// The character whose UTF-8 sequence starts at `text[at]`, when a well-formed one does: shortest form, no
/// surrogate, at most U+10FFFF. Nothing for a stray or cut sequence, or when `at` is at or past the end.
std::optional<Utf8Character> DecodeUtf8(std::string_view text, std::size_t at);

/// Whether the whole text is well-formed UTF-8, as `DecodeUtf8` reads it.
bool IsUtf8(std::string_view text);

/// Appends the character to `out` in UTF-8; a surrogate or a code above U+10FFFF becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t code);

}  // namespace qm::coding
