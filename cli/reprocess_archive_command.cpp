#include "app/batch_run.h"
#include "cli/commands.h"

namespace qm::cli {
namespace {

int ReprocessArchive(Context& context) {
  if (!FolderIsThere(context, context.State.ArchiveFolder, "archive") ||
      !FolderIsThere(context, context.State.InputFolder, "input")) {
    return kExitInvalid;
  }
  context.View.ListEntries("archive");
  app::cmdReprocess_Click(context.State, context.View);
  // No question: the two settings name one folder, which the core has reported.
  if (!context.View.Asked()) return kExitInvalid;
  if (context.View.LastAnswer() != app::Answer::kYes || context.State.Closing) return kExitKept;
  return context.View.KeptTotal() > 0 ? kExitKept : kExitDone;
}

}  // namespace

extern const Command kReprocessArchiveCommand{
    "reprocess-archive", "[--yes]",
    "move every file of the archive folder back into the input folder, after a question", false,
    ReprocessArchive};

}  // namespace qm::cli
