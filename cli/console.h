#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

namespace qm::cli {

/// What the command line needs of the process it runs in: its streams, whether they are terminals, the stop
/// signals and the waits of `watch`. main.cpp gives the real ones (platform_console.cpp, folder_events.cpp);
/// tests give their own.
struct Console {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
  /// Questions can be asked: the standard input is a terminal.
  bool InTerminal = false;
  /// The standard error is a terminal: it gets the progress line and the beep.
  bool ErrTerminal = false;
  /// Whether SIGINT or SIGTERM has arrived.
  std::function<bool()> StopRequested = [] { return false; };
  /// Waits until `deadline`, or less when a stop signal arrives or an entry appears in the folder that
  /// `WatchFolder` named; returns whether one appeared.
  std::function<bool(std::chrono::steady_clock::time_point deadline)> WaitUntil =
      [](std::chrono::steady_clock::time_point) { return false; };
  /// From now on `WaitUntil` also ends when an entry appears in `folder`; returns why it cannot, empty when
  /// it can.
  std::function<std::string(const std::string& folder)> WatchFolder = [](const std::string&) {
    return std::string();
  };
  /// The folder of the program, where the settings file is looked for without --ini.
  std::filesystem::path ProgramFolder = {};
};

}  // namespace qm::cli
