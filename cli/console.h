#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>

namespace qm::cli {

/// What the command line needs of the process it runs in: its streams, whether they are terminals, the stop
/// signals and the one-second wait. main.cpp gives the real ones (platform_console.cpp); tests give their
/// own.
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
  /// Waits one second, or less when a stop signal arrives.
  std::function<void()> WaitOneSecond = [] {};
  /// The folder of the program, where the settings file is looked for without --ini.
  std::filesystem::path ProgramFolder = {};
};

}  // namespace qm::cli
