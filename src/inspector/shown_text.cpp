#include "inspector/shown_text.h"

#include <cstdint>

#include "coding/utf8.h"
#include "coding/windows1252.h"

namespace qm::inspector {
namespace {

// The character stored at `at` and the number of bytes it takes.
coding::Utf8Character CharacterAt(std::string_view text, std::size_t at, bool utf8) {
  if (utf8) {
    if (const auto character = coding::DecodeUtf8(text, at)) return *character;
  }
  return {coding::Windows1252ToUnicode(static_cast<std::uint8_t>(text[at])), 1};
}

}  // namespace

std::string DecodedText(std::string_view field_text, bool utf8) {
  std::string out;
  out.reserve(field_text.size() + field_text.size() / 4);
  for (std::size_t i = 0; i < field_text.size();) {
    const coding::Utf8Character character = CharacterAt(field_text, i, utf8);
    coding::AppendUtf8(out, character.Code);
    i += character.Length;
  }
  return out;
}

ShownText::ShownText(std::string_view field_text, bool utf8) : stored_(field_text) {
  shown_.reserve(stored_.size());
  offsets_.reserve(stored_.size() + 1);
  for (std::size_t i = 0; i < stored_.size();) {
    offsets_.push_back(i);
    const char c = stored_[i];
    if (c == '\r' || c == '\n') {
      i += c == '\r' && i + 1 < stored_.size() && stored_[i + 1] == '\n' ? 2 : 1;
      shown_ += '\n';
      continue;
    }
    const coding::Utf8Character character = CharacterAt(stored_, i, utf8);
    coding::AppendUtf8(shown_, character.Code);
    if (character.Code > 0xFFFF) offsets_.push_back(i);  // its second unit in the box
    i += character.Length;
  }
  offsets_.push_back(stored_.size());
}

std::string_view ShownText::Stored(std::size_t begin, std::size_t end) const {
  const std::size_t last = offsets_.size() - 1;
  if (end > last) end = last;
  if (begin >= end) return {};
  return std::string_view(stored_).substr(offsets_[begin], offsets_[end] - offsets_[begin]);
}

}  // namespace qm::inspector
