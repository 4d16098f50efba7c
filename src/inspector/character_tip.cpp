#include "inspector/character_tip.h"

#include <cstdint>

namespace qm::inspector {
namespace {

constexpr char kPilcrow = '\xB6';  // ¶ in Windows-1252

void AppendHex(std::string& out, unsigned value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  if (value >= 16) out += kDigits[value >> 4];
  out += kDigits[value & 0xF];
}

}  // namespace

std::string CharacterTipText(std::string_view selection, const coding::AccentTable& active_accent_table) {
  std::string tip;
  const std::size_t shown = selection.size() < kTipCharacters ? selection.size() : kTipCharacters;
  for (std::size_t i = 0; i < shown; ++i) {
    const char c = selection[i];
    const auto b = static_cast<std::uint8_t>(c);
    tip += (c == '\r' || c == '\n') ? kPilcrow : c;
    tip += " = ";
    tip += std::to_string(b);
    tip += " / ";
    AppendHex(tip, b);
    if (active_accent_table[b] != b) {
      tip += " -> ";
      tip += static_cast<char>(active_accent_table[b]);
    }
    if (i + 1 < selection.size()) tip += "\r\n";
  }
  if (selection.size() > kTipCharacters) tip += "...";
  return tip;
}

}  // namespace qm::inspector
