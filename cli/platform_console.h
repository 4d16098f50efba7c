#pragma once

// The process services of the command line: terminals, stop signals, the waits. This file and
// folder_events.cpp are where the command line calls the operating system.

#include <chrono>

namespace qm::cli {

/// Whether the standard input (0) or the standard error (2) is a terminal.
bool IsTerminal(int stream);

/// From now on SIGINT and SIGTERM (and SIGHUP) only note a stop request, which the command honours between
/// two images. A second signal ends the program at once.
void InstallStopSignals();

/// Whether a stop signal has arrived since `InstallStopSignals`.
bool StopSignalReceived();

/// Blocks until the descriptor `fd` can be read, `timeout` has passed or a stop signal arrives, whichever
/// comes first; a negative `fd` only waits. Returns whether `fd` can be read. A stop signal that arrived just
/// before the call ends it at once too.
bool WaitReadable(int fd, std::chrono::milliseconds timeout);

}  // namespace qm::cli
