#pragma once

// The setting aside of inputs, shared by the file operations of both systems: an input is taken from its name
// into this process's private folder before it is deleted or moved, checked there, and put back under a free
// name when it must stay. The steps that differ between the systems are defined in file_operations_posix.cpp
// and file_operations_windows.cpp.

#include <string>
#include <string_view>
#include <system_error>

#include "app/file_operations.h"

namespace qm::app {

/// An input set aside: where it was and where it is now.
struct SetAside {
  std::string Name;
  std::string Aside;
};

/// The private folder of this process in `folder`, where an input waits between being taken from its name
/// and being deleted or moved. It is a dot-name, so no scan or listing sees it. Empty when the folder cannot
/// take this process's mark.
std::string SetAsideFolder(std::string_view folder, std::string& why);

/// The folder part of `path`, with its separator (the current folder when there is none).
std::string FolderOf(const std::string& path);

/// Takes the entry `name` of `folder` from its name into this process's private folder, in one step that
/// never replaces anything, so that whatever another program puts under the name from now on stays
/// untouched. The private folder is made when the first input goes there.
FileOutcome TakeAside(std::string_view folder, const std::string& name, SetAside& taken);

/// Removes the folder at `path` if it is empty; nothing otherwise.
void RemoveEmptyFolder(const std::string& path);

/// "a (recovered).jpg", "a (recovered 2).jpg"...: the name `name` gets as number `n`, its extension kept and
/// the whole within the length a name may have on the system.
std::string RecoveredName(const std::string& name, int n);

/// Puts the file `aside` back into `folder`: under `name` unless `own_name` is false or the name is taken,
/// else under the first free recovered name. Returns the name used, or the failure.
std::error_code PutBackAs(const std::string& aside, std::string_view folder, const std::string& name,
                          bool own_name, std::string& used);

/// Puts a file that was set aside back under its name, or under a free name when another program has put a
/// file there meanwhile. `detail` is what the caller reports; the name used or the failure is added to it.
FileOutcome PutBack(const SetAside& taken, FileStatus status, std::string detail);

/// Sets the input aside and checks that it is the version that was read (and, with `writable`, that it may
/// be deleted); on success the caller owns the file under `taken.Aside`. Otherwise the file is back under its
/// name (or waits aside, which the detail says).
FileOutcome TakeVersion(std::string_view folder, const std::string& name, const FileIdentity& read,
                        bool writable, SetAside& taken);

}  // namespace qm::app
