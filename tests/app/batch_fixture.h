#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::test {

/// The local time point of a calendar date and time, as a clock that shows it would return it.
inline std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int hour, int minute) {
  std::tm tm = {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

/// The names in a folder (dot-names included), sorted; empty when it does not exist.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

/// Three real folders, a state that uses them, a recording window and a clock that stands still.
class BatchFixture : public testing::Test {
 protected:
  BatchFixture() : input_(dir_.Folder("in")), archive_(dir_.Folder("archive")), output_(dir_.Folder("out")) {
    state_.AppVersion = "1.0.0";
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.InputFolder = input_;
    state_.ArchiveFolder = archive_;
    state_.OutputFolder = output_;
    state_.Now = [this] { return now_; };
    state_.OnEntry = [this](const app::AppState::EntryReport& r) { reports_.push_back(r); };
  }

  /// Writes each file into `folder`, its name as its content.
  static void Put(const std::string& folder, std::initializer_list<const char*> names) {
    for (const char* name : names) WriteFile(folder + name, name);
  }
  /// The lines of the log that start with `prefix`.
  int Logged(const std::string& prefix) const {
    return static_cast<int>(std::count_if(view_.Log.begin(), view_.Log.end(),
                                          [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }

  TempDir dir_;
  std::string input_;
  std::string archive_;
  std::string output_;
  app::AppState state_;
  RecordingView view_;
  std::chrono::system_clock::time_point now_ = LocalTime(2026, 12, 6, 14, 5);
  std::vector<app::AppState::EntryReport> reports_;
};

}  // namespace qm::test
