#include "app/entry_text.h"

#include <cstdint>

namespace qm::app {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one: no overlong
// form, no surrogate, nothing above U+10FFFF.
std::size_t SequenceLength(std::string_view s, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

void AppendEscaped(std::string& out, std::string_view bytes) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    out += "\\x";
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
}

}  // namespace

std::string PrintableName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  while (!name.empty()) {
    char32_t code = 0;
    std::size_t length = SequenceLength(name, code);
    const bool control = length > 0 && (code < 0x20 || (code >= 0x7F && code <= 0x9F));
    if (length == 0 || control) {
      AppendEscaped(out, name.substr(0, length == 0 ? 1 : length));
      length = length == 0 ? 1 : length;
    } else {
      out.append(name.substr(0, length));
    }
    name.remove_prefix(length);
  }
  return out;
}

std::string FateText(const AppState::EntryReport& report, std::string_view kept_folder) {
  switch (report.Fate) {
    case AppState::EntryFate::kArchived:
      return "written, archived";
    case AppState::EntryFate::kDeleted:
      return report.Processed ? "written, deleted" : "deleted";
    case AppState::EntryFate::kMovedToInput:
      return "moved to the input folder";
    case AppState::EntryFate::kKept:
      break;
  }
  const char* written = !report.Processed ? "" : report.OutputWritten ? "written, " : "not written, ";
  return written + std::string("kept in the ") + std::string(kept_folder) + " folder";
}

}  // namespace qm::app
