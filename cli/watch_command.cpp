#include <algorithm>
#include <chrono>
#include <optional>

#include "app/batch_run.h"
#include "app/folder_scan.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A scan between two ticks follows the one before it after at least this, and after at least as long as that
// one took: a writer that closes its file again and again (appending chunk by chunk) keeps the watch busy
// half the time at most, however large the folder.
constexpr auto kScanSpacing = std::chrono::milliseconds(50);
constexpr auto kSettleMargin = std::chrono::milliseconds(20);

// A run as the window keeps it: the first scan, then one tick a second until a stop signal, each tick
// counting the wait down to the timed scan. Between two ticks the input folder is scanned as soon as an entry
// appears in it, and again when a file that waited as still being written may be complete; the timed scan
// stays for the files that no notification tells of (a share written by another machine).
int Watch(Context& context) {
  if (!RunFoldersAreSet(context)) return kExitInvalid;
  app::AppState& state = context.State;
  Console& io = context.Io;
  // Watched before the first scan, so that a file put in during it does not wait for the timed scan.
  const std::string unwatched = io.WatchFolder(state.InputFolder);
  context.View.ListEntries("input");
  app::cmdRun_Click(state, context.View);
  if (!state.Running) return kExitInvalid;
  if (!unwatched.empty()) Complain(context, unwatched + "; new files wait for the timed scan");

  Clock::time_point tick = Clock::now() + std::chrono::seconds(1);
  Clock::time_point scanned = Clock::now();
  Clock::duration scan_took{};
  std::optional<Clock::time_point> noted;  // an entry appeared since the last scan
  std::optional<std::chrono::system_clock::time_point> woken_for;
  while (state.Running && context.View.TimerEnabled() && !io.StopRequested()) {
    std::optional<Clock::time_point> due = noted;
    if (state.SettleWake) {
      // A moment after the one the core named, so that the file's times are surely that old. The same moment
      // named again after its scan (the folder was busy, or the clocks differ) is tried once a second.
      Clock::time_point settled =
          Clock::now() + kSettleMargin +
          std::chrono::duration_cast<Clock::duration>(*state.SettleWake - state.Now());
      if (state.SettleWake == woken_for) settled = std::max(settled, scanned + std::chrono::seconds(1));
      due = std::min(due.value_or(settled), settled);
    }
    if (due) due = std::max(*due, scanned + std::max<Clock::duration>(kScanSpacing, scan_took));
    const Clock::time_point deadline = due ? std::min(*due, tick) : tick;
    if (io.WaitUntil(deadline)) {
      noted = noted.value_or(Clock::now());
      continue;
    }
    if (io.StopRequested()) break;
    if (deadline != tick) {
      // A moment that has passed gets its scan now: should the core name it again, it was not enough.
      if (state.SettleWake && *state.SettleWake <= state.Now()) woken_for = state.SettleWake;
      noted.reset();
      const Clock::time_point start = Clock::now();
      app::ScanInputFolder(state, context.View);
      scanned = Clock::now();
      scan_took = scanned - start;
      continue;
    }
    if (state.Countdown < 1) noted.reset();  // this tick scans
    app::Timer1_Timer(state, context.View);
    tick = Clock::now() + std::chrono::seconds(1);
  }
  if (state.Running) app::cmdRun_Click(state, context.View);
  return context.View.KeptByLastScan() > 0 || context.Io.StopRequested() ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kWatchCommand{
    "watch", "", "scan, count the wait time down, scan again, until SIGINT, SIGTERM or SIGHUP", false, Watch};

}  // namespace qm::cli
