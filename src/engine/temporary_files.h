#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whose a temporary file is. Outputs in the making, copies of moves across file systems and the folders of
// set-aside inputs are dot-names "<kTemporaryPrefix><pid>.<token>-..." in the folder they are made in. The
// token is drawn afresh by each process, so that no two processes share a name, whatever their ids (a
// restarted container gives its desk the same id again). Beside them lies the owner's mark
// "<kTemporaryPrefix><pid>.<token>-owner", which the process holds locked while it has temporary files
// there: the system drops the lock when the process ends however it ends, so that another process, on this
// machine or on another one sharing the folder, tells a file in use from one that a crash left behind.

namespace qm::engine {

inline constexpr std::string_view kTemporaryPrefix = ".quillmark-";

/// The start of this process's temporary names in `folder` (a folder setting, ending with the separator):
/// ".quillmark-<pid>.<token>-". The first call for a folder leaves the locked mark there. Without the mark
/// the names would look abandoned to others, so when it cannot be made nothing is returned and `why` gives
/// the system's reason.
std::optional<std::string> OwnTemporaryPrefix(std::string_view folder, std::string* why = nullptr);

/// The start of this process's temporary names, as `OwnTemporaryPrefix` gives it, without making a mark: to
/// look for what this process made.
std::string OwnTemporaryNameStart();

/// Removes this process's marks: called when it has no temporary file left in any folder (at the end of a
/// scan or a folder command, and at exit). Whatever of its own is left then counts as abandoned.
void ReleaseOwnTemporaryMarks();

/// Who owns the entry `name` of `folder`.
enum class TemporaryOwner {
  kNone,         ///< not a temporary name
  kThisProcess,  ///< made by this process
  kRunning,      ///< its process still runs
  kGone,         ///< its process has ended: what it left may be cleaned up or put back
  kUnknown,      ///< cannot be told (a share without locks, a mark that cannot be read): left alone
};
TemporaryOwner OwnerOf(std::string_view folder, std::string_view name);

/// Whether `name` is the owner's mark of a process, which goes after the files it stands for.
bool IsOwnerMark(std::string_view name);

}  // namespace qm::engine
