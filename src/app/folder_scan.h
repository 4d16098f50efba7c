#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_state.h"
#include "app/file_operations.h"
#include "app/main_view.h"

namespace qm::app {

// What the scan of the input folder and the two folder commands share: which entries they walk, the guard
// that keeps folder operations one at a time, and how they tell the front end of an entry.

/// Whether a folder command acts on the entry: its name does not begin with "." and it is a regular file or a
/// symbolic link (which is deleted or moved as a link). Folders, FIFOs, sockets and devices are skipped.
bool IsWalkedEntry(std::string_view folder, const FolderEntry& entry);

/// Takes the lock of the input folder into `lock` (nothing to lock when the folder is not set or does not
/// exist). When another Quillmark holds it, says so once (until a scan goes through again), notes the scan
/// as ended kBusy, and returns false: the caller leaves the folders alone.
bool LockInputFolder(AppState& state, MainView& view, std::optional<FolderLock>& lock);

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

/// Makes the next scan first clean up after Quillmark processes that were killed in the run's folders: their
/// temporary files go, and the inputs they had set aside come back (a run's first scan does it).
void RecoverAtNextScan(AppState& state);

/// Hands the report to the front end, when it listens.
void Report(const AppState& state, const AppState::EntryReport& report);

/// Unless folders `a` and `b` (named `a_name` and `b_name` in the message) are one folder, returns true.
/// Otherwise beeps, shows "The input folder is also the output folder" with the path on the next line, and
/// returns false.
bool CheckDistinctFolders(const AppState& state, MainView& view, std::string_view a, const char* a_name,
                          std::string_view b, const char* b_name);

/// The local date and time as a run's start and the status bar show them: "12/06/2026 - 14:05".
std::string FormatStamp(std::chrono::system_clock::time_point time);

}  // namespace qm::app
