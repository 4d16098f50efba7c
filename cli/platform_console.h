#pragma once

// The process services of the command line: terminals, stop signals, the one-second wait. This is the one
// place of the command line that calls the operating system.

namespace qm::cli {

/// Whether the standard input (0) or the standard error (2) is a terminal.
bool IsTerminal(int stream);

/// From now on SIGINT and SIGTERM (and SIGHUP) only note a stop request, which the command honours between
/// two images. A second signal ends the program at once.
void InstallStopSignals();

/// Whether a stop signal has arrived since `InstallStopSignals`.
bool StopSignalReceived();

/// Sleeps one second; a stop signal ends the sleep early.
void SleepOneSecond();

}  // namespace qm::cli
