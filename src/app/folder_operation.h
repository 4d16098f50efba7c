#pragma once

#include <optional>
#include <string_view>

#include "app/app_state.h"
#include "app/file_operations.h"
#include "app/main_view.h"

namespace qm::app {

// What a folder operation (the scan of the input folder, Clear output folder, Re-process archive folder) is
// made of: one at a time, under the input folder's lock, over the entries it walks, each told to the front
// end.

/// Marks a folder operation as in progress for as long as it lives.
class FolderOperationScope {
 public:
  explicit FolderOperationScope(AppState& state) : state_(state) { state_.FolderOperation = true; }
  ~FolderOperationScope() { state_.FolderOperation = false; }
  FolderOperationScope(const FolderOperationScope&) = delete;
  FolderOperationScope& operator=(const FolderOperationScope&) = delete;

 private:
  AppState& state_;
};

/// Takes the lock of the input folder into `lock` (nothing to lock when the folder is not set or does not
/// exist). When another Quillmark holds it, says so once (until a scan goes through again), notes the scan
/// as ended kBusy, and returns false: the caller leaves the folders alone.
bool LockInputFolder(AppState& state, MainView& view, std::optional<FolderLock>& lock);

/// Whether a folder command acts on the entry: its name does not begin with "." and it is a regular file or a
/// symbolic link (which is deleted or moved as a link). Folders, FIFOs, sockets and devices are skipped.
bool IsWalkedEntry(std::string_view folder, const FolderEntry& entry);

/// Hands the report of an entry to the front end, when it listens.
void Report(const AppState& state, const AppState::EntryReport& report);

}  // namespace qm::app
