#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm::app {

// The file-system services of the batch run and the folder commands: folder listings, the kind of an entry,
// the lock that keeps one Quillmark per input folder, and the deletes and moves that dispose of a file. These
// are the only functions of the core that call the operating system for a folder entry
// (file_operations_posix.cpp, file_operations_windows.cpp). None of them throws; each failure comes back as a
// value that says what went wrong.

enum class FileStatus {
  kOk,
  kNotFound,      ///< the entry does not exist (any more)
  kReadOnly,      ///< the file has no write permission bit at all, so it is kept
  kTargetExists,  ///< a move never replaces what is already there
  kChanged,       ///< the name no longer holds the file that was read: that file is kept, untouched
  kFailed,        ///< any other refusal of the system; the detail says which
};

/// What a file operation did. On failure nothing was lost, and `Detail` names the failing step and the
/// system's reason ("rename: permission denied").
struct FileOutcome {
  FileStatus Status = FileStatus::kOk;
  std::string Detail;

  bool Ok() const { return Status == FileStatus::kOk; }
};

/// What a folder entry is, as the scan and the folder commands treat it.
enum class EntryKind {
  kRegular,    ///< a regular file
  kLink,       ///< a symbolic link, whatever it points to: never followed
  kDirectory,  ///< a folder
  kOther,      ///< a FIFO, socket or device: never opened
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

  /// Whether the folder could be opened for listing; when not, `Error` says why.
  bool IsOpen() const;
  const std::string& Error() const;
  /// Fetches the next entry ("." and ".." included); false at the end, or when the listing fails.
  bool Next(FolderEntry& entry);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The kind of the entry `entry` of `folder`, from the listing's hint when it tells, else from the file
/// system; a link is never followed.
EntryKind KindOf(std::string_view folder, const FolderEntry& entry);

/// What identifies one version of a file: which file it is, its size and its times.
struct FileIdentity {
  bool Exists = false;
  bool Regular = false;  ///< a regular file (a link is not followed, so it never is one)
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;  ///< nanoseconds since the epoch
  std::int64_t Changed = 0;   ///< nanoseconds since the epoch; every write, rename or change of mode moves it
  bool ReadOnly = false;      ///< a regular file without any write permission bit

  bool operator==(const FileIdentity&) const = default;
  /// The same file with the same content: device, inode, size and modification time agree. The change time
  /// is left out, since a rename moves it.
  bool SameVersion(const FileIdentity& other) const {
    return Exists && other.Exists && Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified == other.Modified;
  }
  /// The same file, whatever its content now.
  bool SameFile(const FileIdentity& other) const {
    return Exists && other.Exists && Device == other.Device && Inode == other.Inode;
  }
};

/// The identity of the entry at `path` itself (a link is not followed), or one with `Exists` false.
FileIdentity IdentifyFile(const std::string& path);

/// Whether another process holds a file open for writing, as far as the system can tell.
enum class Writers {
  kNone,            ///< nobody on this machine writes it: the system granted a read lease
  kWriting,         ///< a writer has it open
  kUnknown,         ///< the system cannot tell (a file of another user): only its times can
  kUnknownOnShare,  ///< a network share: writers elsewhere are never seen, and its times run on another clock
};

/// Asks the system whether the regular file at `path` is open for writing elsewhere. Never blocks, not even
/// on a FIFO put in the file's place.
Writers ProbeWriters(const std::string& path);

/// The one lock that a scan or a folder command holds on an input folder, so that two Quillmark processes
/// (a service and a window, two desks on one share) never work on one folder at the same time. It is an
/// advisory lock on the file ".quillmark.lock" in the folder, which the system releases when the process
/// ends however it ends; where that file cannot be made, the folder itself is locked.
class FolderLock {
 public:
  enum class Status { kHeld, kBusy, kFailed };

  /// Tries to take the lock of `folder` without waiting.
  explicit FolderLock(std::string_view folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  Status Get() const { return status_; }
  bool Held() const { return status_ == Status::kHeld; }
  /// Why the lock could not be taken when it failed.
  const std::string& Detail() const { return detail_; }

  /// The name of the lock file in a locked folder.
  static constexpr std::string_view kFileName = ".quillmark.lock";

 private:
  Status status_ = Status::kFailed;
  std::string detail_;
  std::intptr_t handle_ = -1;
};

/// Deletes the entry itself: a symbolic link is removed, never what it points to. A file without any write
/// permission bit is kept (`kReadOnly`), as a read-only file is. A folder is never deleted.
FileOutcome RemoveEntry(const std::string& path);

/// Deletes the input `name` of `folder`, provided it is still the version `read` that was processed. The file
/// is first set aside under a private name in a private folder of `folder`, checked there, and only then
/// deleted: a file that another program has meanwhile put under the name is never the one deleted; it is put
/// back (`kChanged`), under a free name should the name be taken again (the detail says which). A read-only
/// input is kept (`kReadOnly`).
FileOutcome DeleteInput(std::string_view folder, const std::string& name, const FileIdentity& read);

/// Moves the input `name` of `folder` to the same name in `archive`, provided it is still the version `read`,
/// replacing an older copy there in one step (never a read-only one, nor a folder). Across file systems the
/// input is copied into the archive and flushed to the device first, then set aside and checked as by
/// `DeleteInput` and deleted; should the input have changed, the copy of the version that was read stays in
/// the archive and the input stays too. No archive name is ever deleted.
FileOutcome ArchiveInput(std::string_view folder, const std::string& name, const FileIdentity& read,
                         std::string_view archive);

/// Moves the entry to `to`, never replacing anything there (`kTargetExists`). A symbolic link is moved as a
/// link. Across file systems the file is copied beside `to` under a private name, flushed to the device,
/// given its final name without replacing anything, and the source is deleted only when it is still the
/// file that was copied; on any failure `from` stays as it was and nothing is left under `to`.
FileOutcome MoveEntry(const std::string& from, const std::string& to);

/// Flushes the folder's own entries (names created, renamed or removed) to the device.
FileOutcome FlushFolder(std::string_view folder);

/// Flushes everything written to the file system that holds `folder` to the device, in one go: one commit
/// and one cache flush of the device for many files, where a flush per file costs one each. Fails where the
/// system cannot (the caller then flushes file by file).
FileOutcome FlushFileSystem(std::string_view folder);

/// Removes, from `folder`, what a Quillmark process that no longer runs left there when it was killed or lost
/// its power: its temporary files (outputs in the making, copies of moves across file systems) and its mark.
/// Returns how many went. Files of a process that still runs, or whose process cannot be told, stay.
int RemoveStaleTemporaryFiles(std::string_view folder);

/// An input that a Quillmark process set aside and did not get to dispose of.
struct SetAsideInput {
  std::string Name;       ///< its name in the folder
  std::string Aside;      ///< the path where it waited
  std::string PutBackAs;  ///< the free name it was put back under, when not `Name`; empty otherwise
  std::string Failure;    ///< why it could not be put back (it still waits); empty when it was
};

/// Puts back into `folder` the inputs that a Quillmark process set aside there (to delete or archive them)
/// and did not get to dispose of, because it was killed or lost its power: those of processes that are gone,
/// and this process's own. An input goes back under its name, unless another file took the name meanwhile,
/// or, with `output` (the output folder of the inputs of `folder`), an output of that name was written since
/// the input was set aside (a newer file of that name was processed, and the older one would replace its
/// output): then under a free name that says what it is, "a (recovered).jpg", "a (recovered 2).jpg"... No
/// file is ever put back over another. Returns those put back under another name and those that could not
/// be put back; a later call tries the latter again.
std::vector<SetAsideInput> RestoreSetAsideInputs(std::string_view folder, std::string_view output = {});

/// Removes this process's private folder of set-aside inputs from `folder` when it is empty (it is, unless
/// an input could not be put back). Returns whether none is left.
bool ReleaseSetAsideFolder(std::string_view folder);

/// What shows that a folder's entries changed (a file added, removed or renamed there): the time of their
/// last change; 0 when the folder cannot be read.
struct FolderStamp {
  std::int64_t Modified = 0;
  bool operator==(const FolderStamp&) const = default;
};
FolderStamp StampOf(std::string_view folder);

/// Whether two folder settings name the same existing folder (through links, "." and ".."); false when either
/// does not exist.
bool SameFolder(std::string_view a, std::string_view b);

}  // namespace qm::app
