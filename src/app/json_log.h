#pragma once

#include <chrono>
#include <filesystem>
#include <string>

#include "app/app_state.h"

namespace qm::app {

/// What one scan did, as its log line counts it. Entries told again unchanged (`EntryReport::Repeat`) get no
/// line of their own and count as repeated only.
struct ScanCounts {
  int Processed = 0;
  int Written = 0;
  int Archived = 0;
  int Deleted = 0;
  int Kept = 0;
  int Repeated = 0;
};

/// A log for machines: one JSON object per line, in UTF-8, appended to a file. Each line is written with one
/// write on a descriptor opened with O_APPEND for that line alone, so two processes never mix their lines, a
/// log rotated by renaming or by copying and truncating goes on in a file under the log's name, and no signal
/// is needed to reopen it.
class JsonLog {
 public:
  explicit JsonLog(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& Path() const { return path_; }

  /// Opens the log for appending, creating it, and closes it: why it cannot be written, empty when it can.
  std::string Check() const;

  /// Appends the line of one entry: {"time", "event": "entry", "name", "bytes", "fate", "written", "reason",
  /// "ms"}. The name and the reason are written exactly (JSON escapes control characters); one that is not
  /// UTF-8 is written as the command line prints it (`PrintableName`), and a name so written adds
  /// "name_escaped": true. `now` stands for the entry's time when the report has none. Returns why the line could not be written, empty
  /// when it was.
  std::string Entry(const AppState::EntryReport& report, std::chrono::system_clock::time_point now);

  /// Appends the line of one scan: {"time", "event": "scan", "processed", "written", "archived", "deleted",
  /// "kept", "repeated"}. Returns like `Entry`.
  std::string Scan(const ScanCounts& counts, std::chrono::system_clock::time_point now);

 private:
  std::string Append(std::string line);

  std::filesystem::path path_;
  // The last line was cut short (a full disk): the next one starts on a line of its own.
  bool cut_ = false;
};

/// The time in ISO 8601 with milliseconds and the local offset: "2026-12-06T14:05:03.120+01:00".
std::string IsoTime(std::chrono::system_clock::time_point time);

}  // namespace qm::app
