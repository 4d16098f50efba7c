#include "cli/platform_console.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <io.h>

#include <algorithm>
#include <thread>
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

void NoteStop(int /*signal_number*/) { stop_signal = 1; }

}  // namespace

#ifdef _WIN32

bool IsTerminal(int stream) { return _isatty(stream) != 0; }

void InstallStopSignals() {
  // The system resets the handler before it runs it, so a second signal ends the program.
  std::signal(SIGINT, NoteStop);
  std::signal(SIGTERM, NoteStop);
}

bool WaitReadable(int /*fd*/, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (stop_signal == 0 && std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(100), end - std::chrono::steady_clock::now()));
  }
  return false;
}

#else

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
