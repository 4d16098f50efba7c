#include "app/batch_run.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

int ClearOutput(Context& context) {
  if (!FolderIsThere(context, context.State.OutputFolder, "output")) return kExitInvalid;
  context.View.ListEntries("output");
  app::cmdClearOutput_Click(context.State, context.View);
  if (!context.View.Asked()) return kExitInvalid;
  if (context.View.LastAnswer() != app::Answer::kYes || context.State.Closing) return kExitKept;
  return context.View.KeptTotal() > 0 ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kClearOutputCommand{"clear-output", "[--yes]",
                                         "delete every file of the output folder, after a question", false,
                                         ClearOutput};

}  // namespace qm::cli
