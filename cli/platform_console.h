#pragma once

// The process services of the command line: terminals, stop signals, the waits. This file and
// folder_events.cpp are where the command line calls the operating system.

#include <chrono>
#include <string>
#include <vector>

namespace qm::cli {

/// The program's arguments as UTF-8 text (on Windows from the wide command line, whatever the code page).
std::vector<std::string> Arguments(int argc, char** argv);

/// Readies the standard streams: on Windows the console takes and shows UTF-8, the streams carry the bytes
/// written (no line end is changed), and the terminal understands the escapes that redraw the progress line.
void PrepareConsole();

/// Whether the standard input (0) or the standard error (2) is a terminal (on Windows, for the standard
/// error, one that understands those escapes).
bool IsTerminal(int stream);

/// From now on SIGINT and SIGTERM (and SIGHUP) only note a stop request, which the command honours between
/// two images; on Windows Ctrl+C, Ctrl+Break, closing the console window and a shutdown do. A second signal
/// ends the program at once.
void InstallStopSignals();

/// Whether a stop signal has arrived since `InstallStopSignals`.
bool StopSignalReceived();

/// Blocks until the descriptor `fd` can be read, `timeout` has passed or a stop signal arrives, whichever
/// comes first; a negative `fd` only waits. Returns whether `fd` can be read. A stop signal that arrived just
/// before the call ends it at once too.
bool WaitReadable(int fd, std::chrono::milliseconds timeout);

#if defined(_WIN32)
/// Blocks until the event (a HANDLE) is set, `timeout` has passed or a stop request arrives, whichever comes
/// first. Returns whether the event is set.
bool WaitForEvent(void* event, std::chrono::milliseconds timeout);
#endif

}  // namespace qm::cli
