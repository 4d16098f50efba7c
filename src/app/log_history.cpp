#include "app/log_history.h"

#include <cctype>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>

namespace qm::app {
namespace {

using EntryFate = AppState::EntryFate;

// The bytes of a name that the log wrote as the command line prints it: "\\" is a backslash, "\xNN" a byte.
std::string UnescapeName(const std::string& shown) {
  std::string name;
  for (std::size_t at = 0; at < shown.size(); ++at) {
    if (shown[at] == '\\' && at + 1 < shown.size() && shown[at + 1] == '\\') {
      name += '\\';
      ++at;
    } else if (shown[at] == '\\' && at + 3 < shown.size() && shown[at + 1] == 'x' &&
               std::isxdigit(static_cast<unsigned char>(shown[at + 2])) &&
               std::isxdigit(static_cast<unsigned char>(shown[at + 3]))) {
      name += static_cast<char>(std::stoi(shown.substr(at + 2, 2), nullptr, 16));
      at += 3;
    } else {
      name += shown[at];
    }
  }
  return name;
}

std::filesystem::path FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::filesystem::path(value) : std::filesystem::path();
}

std::string ReadWhole(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads the entry lines of `text` from its end, newest first, until `entries` holds `count`.
void TakeEntries(std::string_view text, std::size_t count, std::vector<LoggedEntry>& entries) {
  std::size_t end = text.size();
  while (end > 0 && entries.size() < count) {
    const std::size_t newline = end >= 2 ? text.rfind('\n', end - 2) : std::string_view::npos;
    const std::size_t begin = newline == std::string_view::npos ? 0 : newline + 1;
    const std::string_view line = text.substr(begin, end - begin);
    end = begin;
    const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
    if (!object.is_object() || object.value("event", "") != "entry") continue;
    LoggedEntry entry;
    entry.Time = object.value("time", "");
    AppState::EntryReport& report = entry.Report;
    report.Name = object.value("name", "");
    if (object.value("name_escaped", false)) report.Name = UnescapeName(report.Name);
    report.Reason = object.value("reason", "");
    report.OutputWritten = object.value("written", false);
    report.Processed = report.OutputWritten;
    report.Bytes = object.value("bytes", std::uint64_t{0});
    const std::string fate = object.value("fate", "kept");
    report.Fate = fate == "archived"         ? EntryFate::kArchived
                  : fate == "deleted"        ? EntryFate::kDeleted
                  : fate == "moved to input" ? EntryFate::kMovedToInput
                                             : EntryFate::kKept;
    entries.push_back(std::move(entry));
  }
}

}  // namespace

std::filesystem::path WindowLogPath() {
#ifdef _WIN32
  std::filesystem::path state = FromEnvironment("LOCALAPPDATA");
#else
  std::filesystem::path state = FromEnvironment("XDG_STATE_HOME");
  // A relative value is to be ignored, as the base directory rules say.
  if (state.empty() || state.is_relative()) {
    const std::filesystem::path home = FromEnvironment("HOME");
    if (home.empty()) return {};
    state = home / ".local" / "state";
  }
#endif
  if (state.empty()) return {};
  return state / "Quillmark" / "Quillmark.log";
}

void RotateLog(const std::filesystem::path& log, std::uintmax_t max_bytes) {
  std::error_code ec;
  if (log.has_parent_path()) std::filesystem::create_directories(log.parent_path(), ec);
  const std::uintmax_t size = std::filesystem::file_size(log, ec);
  if (ec || size < max_bytes) return;
  std::filesystem::path older = log;
  older += ".1";
  std::filesystem::rename(log, older, ec);
}

std::vector<LoggedEntry> ReadLatestEntries(const std::filesystem::path& log, std::size_t count) {
  std::vector<LoggedEntry> entries;
  TakeEntries(ReadWhole(log), count, entries);
  if (entries.size() < count) {
    std::filesystem::path older = log;
    older += ".1";
    TakeEntries(ReadWhole(older), count, entries);
  }
  return entries;
}

}  // namespace qm::app
