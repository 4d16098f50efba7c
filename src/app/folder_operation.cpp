#include "app/folder_operation.h"

#include <string>

#include "app/folder_validation.h"

namespace qm::app {

bool LockInputFolder(AppState& state, MainView& view, std::optional<FolderLock>& lock) {
  if (state.InputFolder.empty() || !FolderExists(state.InputFolder)) return true;
  lock.emplace(state.InputFolder);
  if (lock->Get() != FolderLock::Status::kBusy) return true;
  state.LastScanEnd = AppState::ScanEnd::kBusy;
  const std::string text =
      "Another Quillmark is working on the input folder; it is left to it\n" + state.InputFolder;
  if (state.FolderProblemTold != text) {
    state.FolderProblemTold = text;
    view.ShowMessage({text, AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
  }
  return false;
}

bool IsWalkedEntry(std::string_view folder, const FolderEntry& entry) {
  if (entry.Name.empty() || entry.Name.front() == '.') return false;
  const EntryKind kind = KindOf(folder, entry);
  return kind == EntryKind::kRegular || kind == EntryKind::kLink;
}

void Report(const AppState& state, const AppState::EntryReport& report) {
  if (state.OnEntry) state.OnEntry(report);
}

}  // namespace qm::app
