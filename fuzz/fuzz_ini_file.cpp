// The INI parser: any text, any names; a value written with ReplaceIniValue reads back with FindIniValue
// whenever the names and the value can stand in a line of their own.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// A name that reads back as itself: trimmed, on one line, not a comment or section line, no '=' or ']'.
bool UsableName(std::string_view name) {
  return name == Trim(name) && name.find_first_of("\r\n=]") == std::string_view::npos &&
         (name.empty() || (name.front() != ';' && name.front() != '#' && name.front() != '['));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Four parts separated by 0x01: text, section, key, value.
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::string_view parts[4];
  for (std::string_view& part : parts) {
    const std::size_t at = rest.find('\x01');
    part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  }
  const auto [text, section, key, value] = parts;
  (void)qm::app::FindIniValue(text, section, key);
  const std::string replaced = qm::app::ReplaceIniValue(text, section, key, value);
  if (!UsableName(section) || !UsableName(key) || value.find_first_of("\r\n") != std::string_view::npos) {
    return 0;
  }
  const auto read = qm::app::FindIniValue(replaced, section, key);
  Check(read.has_value() && *read == Trim(value));
  return 0;
}
