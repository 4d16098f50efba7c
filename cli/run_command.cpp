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
  // Cut short by a signal, left to another Quillmark, or a folder that could not be used.
  const bool incomplete = context.State.LastScanEnd != app::AppState::ScanEnd::kComplete;
  app::cmdRun_Click(context.State, context.View);
  return context.View.KeptTotal() > 0 || incomplete ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kRunCommand{"run", "", "check the folders, scan the input folder once, stop", false,
                                 RunOnce};

}  // namespace qm::cli
