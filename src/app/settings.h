#pragma once

#include <string>
#include <string_view>

#include "app/app_state.h"

namespace qm::app {

inline constexpr std::string_view kFoldersSection = "Folders";
inline constexpr std::string_view kOptionsSection = "Options";

/// One value of the settings file at `state.IniPath`, whole. A missing file, section or key,
/// and an empty value, all give the empty text.
std::string ReadSetting(const AppState& state, std::string_view section, std::string_view key);

/// Writes one value of the settings file, creating what is missing. The setting changes for the running
/// program in any case; the first write that fails is told through `state.SettingsSink`, once.
bool WriteSetting(AppState& state, std::string_view section, std::string_view key, std::string_view value);

/// The limits of the settle time (seconds) and of the file size limit (megabytes).
inline constexpr int kMaxSettle = 3600;
inline constexpr int kMaxFileMB = 1 << 20;

/// Reads a whole number of the new settings (Settle, MaxFileMB): its decimal digits, clamped to `min`..`max`;
/// `fallback` when the value is empty or not a number.
int WholeNumberFromSetting(std::string_view value, int fallback, int min, int max);

/// Reads a Wait value: empty gives the default 10, otherwise the leading number rounded half to even and
/// clamped to the 16-bit range ("15abc" gives 15, "abc" gives 0).
std::int16_t WaitFromSetting(std::string_view value);

}  // namespace qm::app
