#include "app/maintenance.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

int ClearOutput(Context& context) {
  if (!FolderIsThere(context, context.State.OutputFolder, "output")) return kExitInvalid;
  return RunFolderCommand(context, app::cmdClearOutput_Click, "output");
}

}  // namespace

extern const Command kClearOutputCommand{"clear-output", "[--yes]",
                                         "delete every file of the output folder, after a question", false,
                                         ClearOutput};

}  // namespace qm::cli
