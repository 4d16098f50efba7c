#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm::app {

// The window's own log, in the format of the command line's --log, which keeps what the activity view showed
// across a quit or a crash.

/// Quillmark.log in the user's folder for state: $XDG_STATE_HOME/Quillmark (~/.local/state/Quillmark), or
/// %LOCALAPPDATA%\Quillmark on Windows. Empty when neither the variable nor a home folder is known.
std::filesystem::path WindowLogPath();

/// The size at which the window's log is rotated: a few tens of thousands of entries.
inline constexpr std::uintmax_t kWindowLogRotateBytes = 4 << 20;

/// Once the log holds `max_bytes` or more, renames it to its name followed by ".1", replacing the older one
/// there, so that the next line starts a new log. Creates the log's folder. Nothing happens when the log is
/// smaller or missing; a rename that fails leaves the log growing.
void RotateLog(const std::filesystem::path& log, std::uintmax_t max_bytes);

/// An entry line of the log as read back: its report (name and reason as the log prints them, `Processed`
/// only when its output was written) and its time as written ("2026-12-06T14:05:03.120+01:00").
struct LoggedEntry {
  AppState::EntryReport Report;
  std::string Time;
};

/// The latest `count` entry lines of the log, and of its predecessor ".1" when the log holds fewer, newest
/// first. Scan lines and lines that do not parse are passed over; a missing file has none.
std::vector<LoggedEntry> ReadLatestEntries(const std::filesystem::path& log, std::size_t count);

}  // namespace qm::app
