#include "app/entry_text.h"

#include <cstdint>
#include <optional>

#include "coding/utf8.h"

namespace qm::app {
namespace {

void AppendEscaped(std::string& out, std::string_view bytes) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    out += "\\x";
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
}

// A backslash begins an escape, so one in a name is doubled; a Windows name never holds one.
#if defined(_WIN32)
constexpr bool kDoubleBackslashes = false;
#else
constexpr bool kDoubleBackslashes = true;
#endif

}  // namespace

std::string PrintableName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const std::optional<coding::Utf8Character> character = coding::DecodeUtf8(name, at);
    // A byte that starts no character is escaped alone; a control character, all its bytes.
    const std::size_t length = character ? character->Length : 1;
    const char32_t code = character ? character->Code : 0;
    if (!character || code < 0x20 || (code >= 0x7F && code <= 0x9F)) {
      AppendEscaped(out, name.substr(at, length));
    } else if (code == '\\' && kDoubleBackslashes) {
      out += "\\\\";
    } else {
      out.append(name.substr(at, length));
    }
    at += length;
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
