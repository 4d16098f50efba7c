#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "coding/accent_tables.h"

namespace qm::inspector {

/// How many selected characters the character tip describes.
inline constexpr std::size_t kTipCharacters = 15;

/// The tip that describes a selection of the field text, in the Windows coding: one line per character of the
/// first 15, "é = 233 / E9", followed by " -> " and the character the active table makes of it when that
/// differs; a CR or LF shows as "¶". Lines are separated by CR LF; a longer selection gets "..." on a line of
/// its own after the 15th. An empty selection gives "".
std::string CharacterTipText(std::string_view selection, const coding::AccentTable& active_accent_table);

}  // namespace qm::inspector
