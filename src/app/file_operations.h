#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qm::app {

// The file-system services of the batch run and the folder commands: folder listings, the kind and readiness
// of an entry, deletes and moves. These are the only functions of the core that call the operating system for
// a folder entry (file_operations_posix.cpp, file_operations_windows.cpp). None of them throws; each failure
// comes back as a value that says what went wrong.

enum class FileStatus {
  kOk,
  kNotFound,      ///< the entry does not exist (any more)
  kReadOnly,      ///< the file has no write permission bit at all, so it is kept
  kTargetExists,  ///< a move never replaces what is already there
  kFailed,        ///< any other refusal of the system; the detail says which
};

/// What a file operation did. On failure nothing was changed, and `Detail` names the failing step and the
/// system's reason ("rename: permission denied").
struct FileOutcome {
  FileStatus Status = FileStatus::kOk;
  std::string Detail;

  bool Ok() const { return Status == FileStatus::kOk; }
};

/// What a folder entry is, as the scan and the folder commands treat it.
enum class EntryKind {
  kRegular,    ///< a regular file, or a symbolic link to one
  kDirectory,  ///< a folder, or a symbolic link to one
  kOther,      ///< a FIFO, socket, device or dangling link: never opened
  kMissing,    ///< gone since the listing
};

/// One entry of a folder listing: its bare name, and what the listing already knows of its kind.
struct FolderEntry {
  std::string Name;
  int TypeHint = 0;  ///< the system's type code from the listing; 0 when unknown
};

/// One pass over a folder's entries in the order the system returns them, without sorting and without
/// building a list. Entries may be deleted or moved away during the pass.
class FolderListing {
 public:
  /// Opens the listing of `folder` (a folder setting, ending with the separator); see `IsOpen`.
  explicit FolderListing(std::string_view folder);
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  /// Whether the folder could be opened for listing.
  bool IsOpen() const;
  /// Fetches the next entry ("." and ".." included); false at the end, or when the listing fails.
  bool Next(FolderEntry& entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The kind of the entry `entry` of `folder`, from the listing's hint when it tells, else from the file
/// system.
EntryKind KindOf(std::string_view folder, const FolderEntry& entry);

/// Whether a file may be read now.
enum class Readiness {
  kReady,
  kBeingWritten,  ///< another process holds it open for writing, or it changed moments ago
  kGone,          ///< it no longer exists
  kNotRegular,    ///< it is no longer a regular file
};

/// How long a file must be left untouched before it counts as complete, where the system cannot tell whether
/// another process still holds it open for writing.
inline constexpr std::chrono::seconds kQuietPeriod{2};

/// Whether the file at `path` is complete. A file that another process holds open for writing is not: the
/// test takes a read lease, which the system refuses while any writer has the file open. Where leases are not
/// granted (a file of another user, a file system without them), a file whose status changed less than
/// `kQuietPeriod` before `now` is taken as still being written. Never blocks, also not on a FIFO.
Readiness CheckReadiness(const std::string& path, std::chrono::system_clock::time_point now);

/// What identifies a file's content for a before/after comparison: same file, same size, same times.
struct FileIdentity {
  bool Exists = false;
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;  ///< nanoseconds
  std::int64_t Changed = 0;   ///< nanoseconds; every write and rename moves it

  bool operator==(const FileIdentity&) const = default;
};

/// The identity of the file at `path` (through a symbolic link), or one with `Exists` false.
FileIdentity IdentifyFile(const std::string& path);

/// Deletes the entry itself: a symbolic link is removed, never what it points to. A file without any write
/// permission bit is kept (`kReadOnly`), as a read-only file is. A folder is never deleted.
FileOutcome RemoveEntry(const std::string& path);

/// Moves the entry to `to`, never replacing anything there (`kTargetExists`). A symbolic link is moved as a
/// link. Across file systems the file is copied beside `to` under a dot-name, flushed to the device, compared
/// by size, given its final name and only then deleted at `from`; on any failure `from` stays as it was and
/// nothing is left under `to`.
FileOutcome MoveEntry(const std::string& from, const std::string& to);

/// Moves the entry to `to` like `MoveEntry`, but replaces a file already there in one step, unless that file
/// could not be deleted: it is read-only (`kReadOnly`) or a folder. So no failure loses the file at `to`
/// before the source has taken its place; on any failure the source stays where it was.
FileOutcome ReplaceEntry(const std::string& from, const std::string& to);

/// Flushes the folder's own entries (names created, renamed or removed) to the device.
FileOutcome FlushFolder(std::string_view folder);

/// Removes, from `folder`, the temporary files that a Quillmark process which no longer runs left there when
/// it was killed or lost its power: regular files named ".quillmark-<pid>-..." (the engine's outputs in the
/// making, the copies of moves across file systems) whose process is gone. Returns how many went. Files of a
/// process that still runs, or whose process cannot be told, are left alone.
int RemoveStaleTemporaryFiles(std::string_view folder);

/// Whether two folder settings name the same existing folder (through links, "." and ".."); false when either
/// does not exist.
bool SameFolder(std::string_view a, std::string_view b);

}  // namespace qm::app
