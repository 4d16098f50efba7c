#include "app/maintenance.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

int ReprocessArchive(Context& context) {
  if (!FolderIsThere(context, context.State.ArchiveFolder, "archive") ||
      !FolderIsThere(context, context.State.InputFolder, "input")) {
    return kExitInvalid;
  }
  return RunFolderCommand(context, app::cmdReprocess_Click, "archive");
}

}  // namespace

extern const Command kReprocessArchiveCommand{
    "reprocess-archive", "[--yes]",
    "move every file of the archive folder back into the input folder, after a question", false,
    ReprocessArchive};

}  // namespace qm::cli
