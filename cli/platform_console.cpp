#include "cli/platform_console.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h:
#include <shellapi.h>

#include <algorithm>

#include "platform/file_services.h"
#else
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qm::cli {
namespace {

volatile std::sig_atomic_t stop_signal = 0;

}  // namespace

#ifdef _WIN32

namespace {

// Set by the first stop request, so that a wait ends at once.
HANDLE stop_event = nullptr;

// Runs on a thread of its own: the first request is noted, and the command stops between two images; the
// next one goes to the system's handler, which ends the program.
BOOL WINAPI NoteStop(DWORD /*event*/) {
  if (stop_signal != 0) return FALSE;
  stop_signal = 1;
  if (stop_event != nullptr) ::SetEvent(stop_event);
  return TRUE;
}

bool VirtualTerminal(HANDLE console) {
  DWORD mode = 0;
  return ::GetConsoleMode(console, &mode) &&
         ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
          ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING));
}

}  // namespace

std::vector<std::string> Arguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; wide != nullptr && i < count; ++i) arguments.push_back(platform::TextOf(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

void PrepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
  ::SetConsoleCP(CP_UTF8);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

bool IsTerminal(int stream) {
  if (stream == 2) return VirtualTerminal(::GetStdHandle(STD_ERROR_HANDLE));
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

void InstallStopSignals() {
  stop_event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(NoteStop, TRUE);
}

bool WaitReadable(int /*fd*/, std::chrono::milliseconds timeout) {
  WaitForEvent(nullptr, timeout);
  return false;
}

bool WaitForEvent(void* event, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (stop_signal == 0) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    HANDLE waited[2];
    DWORD count = 0;
    if (event != nullptr) waited[count++] = static_cast<HANDLE>(event);
    if (stop_event != nullptr) waited[count++] = stop_event;
    const DWORD step = static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
    if (count == 0) {
      ::Sleep(step);
      continue;
    }
    const DWORD woken = ::WaitForMultipleObjects(count, waited, FALSE, step);
    if (event != nullptr && woken == WAIT_OBJECT_0) return true;
    if (woken == WAIT_FAILED) return false;
  }
  return false;
}

#else

namespace {

void NoteStop(int /*signal_number*/) { stop_signal = 1; }

}  // namespace

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

void PrepareConsole() {}

bool IsTerminal(int stream) { return ::isatty(stream) == 1; }

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = NoteStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a question waiting on the terminal returns, and is answered No. SA_RESETHAND: the next
  // signal has its default effect and ends the program at once.
  action.sa_flags = SA_RESETHAND;
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
  // The stop signals are blocked from the check of the flag until ppoll unblocks them atomically, so that one
  // arriving in between still ends the wait (EINTR) instead of being noticed only at the timeout.
  sigset_t stops;
  sigset_t before;
  sigemptyset(&stops);
  for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, s);
  sigprocmask(SIG_BLOCK, &stops, &before);
  const auto end = std::chrono::steady_clock::now() + timeout;
  bool readable = false;
  while (stop_signal == 0) {
    const auto left =
        std::chrono::duration_cast<std::chrono::nanoseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const timespec wait = {static_cast<time_t>(left.count() / 1'000'000'000),
                           static_cast<long>(left.count() % 1'000'000'000)};
    pollfd watched = {fd, POLLIN, 0};
    const int n = ::ppoll(&watched, fd < 0 ? 0 : 1, &wait, &before);
    if (n > 0) {
      readable = true;
      break;
    }
    // Another signal (a child's, a window size change) only interrupts: wait on.
    if (n < 0 && errno != EINTR) break;
  }
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return readable;
}

#endif

bool StopSignalReceived() { return stop_signal != 0; }

}  // namespace qm::cli
