#include "app/batch_run.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

// A run as the window keeps it: the first scan, then one tick a second until a stop signal.
int Watch(Context& context) {
  if (!RunFoldersAreSet(context)) return kExitInvalid;
  app::AppState& state = context.State;
  context.View.ListEntries("input");
  app::cmdRun_Click(state, context.View);
  if (!state.Running) return kExitInvalid;
  while (state.Running && context.View.TimerEnabled() && !context.Io.StopRequested()) {
    context.Io.WaitOneSecond();
    if (context.Io.StopRequested()) break;
    app::Timer1_Timer(state, context.View);
  }
  if (state.Running) app::cmdRun_Click(state, context.View);
  return context.View.KeptByLastScan() > 0 || context.Io.StopRequested() ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kWatchCommand{
    "watch", "", "scan, count the wait time down, scan again, until SIGINT, SIGTERM or SIGHUP", false, Watch};

}  // namespace qm::cli
