#include "app/batch_run.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

// The Run command twice: the start (folders checked, one scan) and the stop.
int RunOnce(Context& context) {
  if (!RunFoldersAreSet(context)) return kExitInvalid;
  context.View.ListEntries("input");
  app::cmdRun_Click(context.State, context.View);
  if (!context.State.Running) return kExitInvalid;
  const bool cut_short = context.State.Closing;
  app::cmdRun_Click(context.State, context.View);
  return context.View.KeptTotal() > 0 || cut_short ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kRunCommand{"run", "", "check the folders, scan the input folder once, stop", false,
                                 RunOnce};

}  // namespace qm::cli
