#include "app/maintenance.h"

#include <optional>
#include <string>

#include "app/folder_operation.h"
#include "app/folder_validation.h"
#include "engine/temporary_files.h"

namespace qm::app {
namespace {

using EntryFate = AppState::EntryFate;
using EntryReport = AppState::EntryReport;

// Both commands act on whole folders and yield between entries, so a click during a scan (or during the other
// command) would walk a folder under another walk: it is refused with a word of explanation.
bool RefuseWhileBusy(const AppState& state, MainView& view) {
  if (!state.FolderOperation) return false;
  view.ShowMessage({"Another folder operation is in progress; try again when it has ended.", AppTitle(state),
                    MessageIcon::kExclamation, MessageButtons::kOk});
  return true;
}

// The files a walk of `folder` would act on.
int CountWalked(const std::string& folder) {
  int count = 0;
  FolderListing listing(folder);
  FolderEntry entry;
  while (listing.Next(entry)) count += IsWalkedEntry(folder, entry) ? 1 : 0;
  return count;
}

// Asks before a command that deletes or moves a whole folder's files; the question names the folder and how
// many files it holds, and Enter answers No.
bool Confirm(const AppState& state, MainView& view, const char* question, const std::string& folder) {
  const int files = CountWalked(folder);
  Message message{std::string(question) + "\n" + folder + "\n" + std::to_string(files) +
                      (files == 1 ? " file" : " files"),
                  AppTitle(state), MessageIcon::kQuestion, MessageButtons::kYesNo};
  message.Default = Answer::kNo;
  return view.ShowMessage(message) == Answer::kYes;
}

// Walks `folder` with the scan's entry rule, doing `act` for each entry and telling the front end.
template <typename Act>
void WalkFolder(AppState& state, MainView& view, const std::string& folder, Act act) {
  FolderOperationScope operation(state);
  FolderListing listing(folder);
  FolderEntry entry;
  while (!state.Closing && listing.Next(entry)) {
    if (!IsWalkedEntry(folder, entry)) continue;
    EntryReport report;
    report.Name = entry.Name;
    act(entry.Name, report);
    Report(state, report);
    view.ProcessPendingEvents();
  }
  ReleaseSetAsideFolder(folder);
  engine::ReleaseOwnTemporaryMarks();
}

// Puts back what a killed Re-process had set aside in the archive folder, and says what could not go back
// under its own name.
void RestoreArchive(const AppState& state, MainView& view, const std::string& archive) {
  for (const SetAsideInput& input : RestoreSetAsideInputs(archive)) {
    const std::string text =
        input.PutBackAs.empty()
            ? "An original that a stopped Quillmark had set aside cannot be put back\n" + input.Aside
            : "An original that a stopped Quillmark had set aside is back under another name, as its own was "
              "taken\n" +
                  archive + input.PutBackAs + "\nwas " + archive + input.Name;
    Message message{text, AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk};
    message.Details = input.Failure;
    view.ShowMessage(message);
  }
}

// Takes the input folder's lock for a folder command: with another Quillmark at work there, its folders are
// left alone, which is said every time, as the command was asked for by hand.
bool LockForCommand(AppState& state, MainView& view, std::optional<FolderLock>& lock) {
  state.FolderProblemTold.clear();
  return LockInputFolder(state, view, lock);
}

}  // namespace

void cmdClearOutput_Click(AppState& state, MainView& view) {
  if (!FolderExists(state.OutputFolder)) return;
  if (RefuseWhileBusy(state, view)) return;
  // Clearing a folder that is also the input or the archive folder would delete originals.
  if (!CheckDistinctFolders(state, view, state.OutputFolder, "output", state.InputFolder, "input") ||
      !CheckDistinctFolders(state, view, state.OutputFolder, "output", state.ArchiveFolder, "archive")) {
    return;
  }
  if (!Confirm(state, view, "Remove all images in output folder", state.OutputFolder)) return;
  if (RefuseWhileBusy(state, view)) return;
  std::optional<FolderLock> lock;
  if (!LockForCommand(state, view, lock)) return;
  const std::string output = state.OutputFolder;
  WalkFolder(state, view, output, [&](const std::string& name, EntryReport& report) {
    const FileOutcome removed = RemoveEntry(output + name);
    if (removed.Ok()) {
      report.Fate = EntryFate::kDeleted;
    } else {
      report.Reason = removed.Detail;
    }
  });
}

void cmdReprocess_Click(AppState& state, MainView& view) {
  if (!FolderExists(state.ArchiveFolder) || !FolderExists(state.InputFolder)) return;
  if (RefuseWhileBusy(state, view)) return;
  // One folder for both would delete each archived image as the same-named "input" of itself.
  if (!CheckDistinctFolders(state, view, state.InputFolder, "input", state.ArchiveFolder, "archive")) return;
  if (!Confirm(state, view, "Move all images from archive folder to input folder", state.ArchiveFolder))
    return;
  if (RefuseWhileBusy(state, view)) return;
  std::optional<FolderLock> lock;
  if (!LockForCommand(state, view, lock)) return;
  const std::string archive = state.ArchiveFolder;
  const std::string input = state.InputFolder;
  RestoreArchive(state, view, archive);
  WalkFolder(state, view, archive, [&](const std::string& name, EntryReport& report) {
    // A same-named file waiting in the input folder has not been processed yet: both stay.
    const FileOutcome moved = MoveEntry(archive + name, input + name);
    if (moved.Ok()) {
      report.Fate = EntryFate::kMovedToInput;
    } else if (moved.Status == FileStatus::kTargetExists) {
      report.Reason = "a file of that name waits in the input folder";
    } else {
      report.Reason = moved.Detail;
    }
  });
}

}  // namespace qm::app
