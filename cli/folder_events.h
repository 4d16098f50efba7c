#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace qm::cli {

/// The file-system notifications of one folder, for `watch` to scan as soon as a file may be ready instead of
/// at its next timed scan: inotify on Linux, ReadDirectoryChangesW on Windows. Elsewhere, and where the system
/// gives none (no inotify instance left), the waits only wait. A share mounted from another machine never
/// tells what that machine writes (on Windows, the server of an SMB share may): the timed scan finds those
/// files.
class FolderEvents {
 public:
  FolderEvents();
  ~FolderEvents();
  FolderEvents(const FolderEvents&) = delete;
  FolderEvents& operator=(const FolderEvents&) = delete;

  /// From now on notes the entries that appear in `folder` (a file closed after writing, moved in or
  /// created; on Windows, which tells no close, created or moved in; names beginning with "." are left out, as
  /// a scan leaves them). Returns why it cannot, empty when it can.
  std::string Watch(const std::string& folder);

  /// Blocks until `deadline`, a stop signal, or an entry noted since the last call, whichever comes first;
  /// returns whether an entry was noted. A folder that was removed, renamed or replaced is watched again
  /// under its name as soon as it is back.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline);

 private:
  void Rewatch();
  bool Drain();

#if defined(_WIN32)
  // The folder's handle, and the read of its changes in progress.
  struct Watched;
  std::unique_ptr<Watched> watched_;
#endif
  int fd_ = -1;
  int watch_ = -1;
  std::string folder_;
  // The folder that `watch_` follows; another one under the same name is watched anew.
  std::uint64_t device_ = 0;
  std::uint64_t inode_ = 0;
  std::chrono::steady_clock::time_point checked_{};
  bool renewed_ = false;
};

}  // namespace qm::cli
