#include "cli/platform_console.h"

#include <csignal>
#include <initializer_list>

#ifdef _WIN32
#include <io.h>

#include <chrono>
#include <thread>
#else
#include <time.h>
#include <unistd.h>
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

void SleepOneSecond() {
  for (int i = 0; i < 10 && stop_signal == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
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

void SleepOneSecond() {
  // A signal ends the sleep early (EINTR); one that arrives just before it costs at most this second.
  if (stop_signal != 0) return;
  const timespec second = {1, 0};
  ::nanosleep(&second, nullptr);
}

#endif

bool StopSignalReceived() { return stop_signal != 0; }

}  // namespace qm::cli
