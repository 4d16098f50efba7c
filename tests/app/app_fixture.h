#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "support/recording_view.h"
#include "support/temp_dir.h"

namespace qm::test {

/// The names in a folder (dot-names included, but for the lock file that a scan leaves), sorted; empty when
/// it does not exist.
inline std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names = ListNames(folder);
  names.erase(std::remove(names.begin(), names.end(), ".quillmark.lock"), names.end());
  std::sort(names.begin(), names.end());
  return names;
}

/// A temporary folder with the settings file in it, a state that uses it with both accent tables built, and
/// a recording window.
class AppFixture : public testing::Test {
 protected:
  AppFixture() {
    state_.AppVersion = "1.0.0";
    state_.IniPath = dir_.Path() / "Quillmark.ini";
    state_.MacToWindows = coding::BuildMacToWindows();
    state_.WindowsToMac = coding::BuildWindowsToMac();
  }

  TempDir dir_;
  app::AppState state_;
  RecordingView view_;
};

/// Three real folders that the state uses, and a clock that stands still at 12/06/2026 14:05, local time.
class BatchFixture : public AppFixture {
 protected:
  BatchFixture() : input_(dir_.Folder("in")), archive_(dir_.Folder("archive")), output_(dir_.Folder("out")) {
    state_.InputFolder = input_;
    state_.ArchiveFolder = archive_;
    state_.OutputFolder = output_;
    std::tm tm = {};
    std::istringstream("12/06/2026 14:05") >> std::get_time(&tm, "%m/%d/%Y %H:%M");
    tm.tm_isdst = -1;
    now_ = std::chrono::system_clock::from_time_t(std::mktime(&tm));
    state_.Now = [this] { return now_; };
    state_.Settle = 0;  // files are taken as soon as no writer holds them open
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

  std::string input_;
  std::string archive_;
  std::string output_;
  std::chrono::system_clock::time_point now_;
  std::vector<app::AppState::EntryReport> reports_;
};

}  // namespace qm::test
