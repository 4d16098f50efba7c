// The file operations on Windows; file_operations_posix.cpp holds the other side. Names travel as UTF-8 text
// and reach the system's wide calls through platform::SystemPath, so that no length limit, device name or
// trailing dot changes which file a name means. An entry is opened as itself, never through a link.
#ifdef _WIN32

#include <windows.h>

#include <optional>
#include <random>
#include <vector>

#include "app/file_operations.h"
#include "app/set_aside.h"
#include "engine/temporary_files.h"
#include "platform/file_services.h"

namespace qm::app {
namespace {

using platform::SystemPath;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The type codes that a listing gives its entries.
constexpr int kListedRegular = 1;
constexpr int kListedDirectory = 2;
constexpr int kListedLink = 3;

FileOutcome Failure(FileStatus status, std::string_view step, std::string_view why) {
  return {status, std::string(step) + ": " + std::string(why)};
}

FileOutcome FromError(std::string_view step, const std::error_code& error) {
  const FileStatus status = error == std::errc::no_such_file_or_directory ? FileStatus::kNotFound
                            : error == std::errc::file_exists             ? FileStatus::kTargetExists
                                                                          : FileStatus::kFailed;
  return Failure(status, step, platform::ErrorText(error));
}

FileOutcome FromLastError(std::string_view step) { return FromError(step, platform::LastError()); }

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string(".\\") : path.substr(0, separator + 1);
}

namespace {


std::int64_t Nanoseconds(const FILETIME& time) {
  return platform::NanosecondsOf(
      static_cast<std::int64_t>(std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime));
}

// Opens the entry itself, a link as a link, a folder as a folder, with `access` (its attributes only, unless
// more is asked).
platform::File OpenEntry(const std::string& path, DWORD access = FILE_READ_ATTRIBUTES) {
  return platform::File(::CreateFileW(SystemPath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

FileIdentity IdentityOf(const platform::File& entry) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(entry.Get(), &info)) return {};
  // The change time moves with every write, rename or change of attributes; the last write time does not.
  FILE_BASIC_INFO basic{};
  FILETIME changed = info.ftLastWriteTime;
  if (::GetFileInformationByHandleEx(entry.Get(), FileBasicInfo, &basic, sizeof basic)) {
    changed.dwLowDateTime = basic.ChangeTime.LowPart;
    changed.dwHighDateTime = static_cast<DWORD>(basic.ChangeTime.HighPart);
  }
  const bool regular = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !platform::IsLink(entry.Get());
  return {true,
          regular,
          info.dwVolumeSerialNumber,
          std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow,
          std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow,
          Nanoseconds(info.ftLastWriteTime),
          Nanoseconds(changed),
          regular && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0};
}

bool Exists(const std::string& path) { return ::GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Makes a private folder, hidden from the Explorer as its dot-name hides it from listings elsewhere.
bool MakeFolder(const std::string& path) {
  const std::wstring system_path = SystemPath(path);
  if (!::CreateDirectoryW(system_path.c_str(), nullptr)) return ::GetLastError() == ERROR_ALREADY_EXISTS;
  ::SetFileAttributesW(system_path.c_str(), FILE_ATTRIBUTE_HIDDEN);
  return true;
}

// Renames without ever replacing an existing entry.
std::error_code RenameNoReplace(const std::string& from, const std::string& to) {
  return platform::RenameNoReplace(platform::PathOf(from), platform::PathOf(to));
}

// Puts `from` under the name `to` in one step, replacing a file there; once the call returns, the name is on
// the device.
bool RenameReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A fresh dot-name in `folder`, this process's: scans and listings skip it, so nobody takes a half-made copy
// for a file. Empty when the folder cannot take this process's mark.
std::string TemporaryName(const std::string& folder, std::string& why) {
  static std::minstd_rand random(::GetCurrentProcessId() ^ std::random_device()());
  const std::optional<std::string> prefix = engine::OwnTemporaryPrefix(folder, &why);
  return prefix ? folder + *prefix + "move-" + std::to_string(random()) : std::string();
}

// Makes the copy of the regular file open as `in` at `temp`, complete and on the device, with the source's
// times and read-only attribute. The copy shares the source's clusters on ReFS, and is made by the server on
// a share that can.
FileOutcome CopyFileTo(const platform::File& in, const std::string& temp) {
  platform::FileInfo before;
  FILE_BASIC_INFO source{};
  if (const std::error_code error = platform::Describe(in, before)) return FromError("open for copy", error);
  if (!::GetFileInformationByHandleEx(in.Get(), FileBasicInfo, &source, sizeof source)) {
    return FromLastError("open for copy");
  }
  std::error_code error;
  platform::File out = platform::CreateNew(platform::PathOf(temp), error);
  if (error) return FromError("create copy", error);
  if (error = platform::CopyWhole(in, out, before.Size); error) return FromError("copy", error);
  FILE_BASIC_INFO copied = source;
  copied.ChangeTime.QuadPart = 0;  // the system's to set
  copied.FileAttributes &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  if (copied.FileAttributes == 0) copied.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  ::SetFileInformationByHandle(out.Get(), FileBasicInfo, &copied, sizeof copied);
  if (error = platform::FlushData(out); error) return FromError("flush copy", error);
  // A file that changed during the copy may have given it some of each version.
  platform::FileInfo after;
  if (error = platform::Describe(in, after); error) return FromError("check copy", error);
  if (!(after == before)) return Failure(FileStatus::kFailed, "check copy", "the file changed while it was copied");
  if (error = out.Close(); error) return FromError("close copy", error);
  return {};
}

}  // namespace

struct FolderListing::Impl {
  HANDLE Find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW Data{};
  bool Pending = false;  // `Data` holds an entry not fetched yet
  std::string Error;
};

FolderListing::FolderListing(std::string_view folder) : impl_(std::make_unique<Impl>()) {
  std::wstring pattern = SystemPath(folder);
  if (!pattern.empty() && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  impl_->Find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &impl_->Data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
  if (impl_->Find != INVALID_HANDLE_VALUE) {
    impl_->Pending = true;
  } else if (::GetLastError() != ERROR_FILE_NOT_FOUND) {  // a drive's empty root has not even "." and ".."
    impl_->Error = platform::ErrorText(platform::LastError());
  }
}

FolderListing::~FolderListing() {
  if (impl_->Find != INVALID_HANDLE_VALUE) ::FindClose(impl_->Find);
}

bool FolderListing::IsOpen() const { return impl_->Error.empty(); }

const std::string& FolderListing::Error() const { return impl_->Error; }

bool FolderListing::Next(FolderEntry& entry) {
  if (!impl_->Pending && (impl_->Find == INVALID_HANDLE_VALUE || !::FindNextFileW(impl_->Find, &impl_->Data))) {
    return false;
  }
  impl_->Pending = false;
  const WIN32_FIND_DATAW& data = impl_->Data;
  entry.Name = platform::TextOf(std::filesystem::path(data.cFileName));
  // A listed reparse point gives its tag: a link (a symbolic link, a junction) is a name for another entry;
  // others (a deduplicated file, a cloud file's placeholder) are the entry itself.
  const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                    IsReparseTagNameSurrogate(data.dwReserved0);
  entry.TypeHint = link                                               ? kListedLink
                   : (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? kListedDirectory
                                                                        : kListedRegular;
  return true;
}

EntryKind KindOf(std::string_view folder, const FolderEntry& entry) {
  switch (entry.TypeHint) {
    case kListedRegular:
      return EntryKind::kRegular;
    case kListedDirectory:
      return EntryKind::kDirectory;
    case kListedLink:
      return EntryKind::kLink;
    default:
      break;
  }
  const platform::File file = OpenEntry(std::string(folder) + entry.Name);
  if (!file.IsOpen()) return EntryKind::kMissing;
  if (platform::IsLink(file.Get())) return EntryKind::kLink;
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.Get(), &info)) return EntryKind::kMissing;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::kDirectory : EntryKind::kRegular;
}

FileIdentity IdentifyFile(const std::string& path) {
  const platform::File entry = OpenEntry(path);
  return entry.IsOpen() ? IdentityOf(entry) : FileIdentity{};
}

Writers ProbeWriters(const std::string& path) {
  // Opened for reading while others may only read: the system refuses that while anybody (on this machine,
  // or through the server of a share) has the file open for writing.
  const platform::File file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsOpen()) {
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? Writers::kWriting : Writers::kUnknown;
  }
  // On a share the file's times run on the server's clock.
  FILE_REMOTE_PROTOCOL_INFO remote{};
  remote.StructureVersion = 1;
  remote.StructureSize = sizeof remote;
  if (::GetFileInformationByHandleEx(file.Get(), FileRemoteProtocolInfo, &remote, sizeof remote)) {
    return Writers::kUnknownOnShare;
  }
  return Writers::kNone;
}

FolderLock::FolderLock(std::string_view folder) {
  const std::string file = std::string(folder) + std::string(kFileName);
  const std::wstring path = SystemPath(file);
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN, nullptr);
  // A folder this process may not write to: the lock needs no write access.
  if (handle == INVALID_HANDLE_VALUE) {
    handle = ::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    detail_ = "open " + file + ": " + platform::ErrorText(platform::LastError());
    return;
  }
  // The whole file, and beyond: the system (the server of a share too) lets go when the process ends.
  OVERLAPPED whole{};
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
    const std::error_code error = platform::LastError();
    ::CloseHandle(handle);
    status_ = error.value() == ERROR_LOCK_VIOLATION ? Status::kBusy : Status::kFailed;
    detail_ = "lock " + file + ": " + platform::ErrorText(error);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  status_ = Status::kHeld;
}

FolderLock::~FolderLock() {
  if (status_ == Status::kHeld) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));  // closing releases the lock
}

FileOutcome RemoveEntry(const std::string& path) {
  const platform::File entry = OpenEntry(path);
  if (!entry.IsOpen()) return FromLastError("delete");
  const FileIdentity id = IdentityOf(entry);
  const bool link = platform::IsLink(entry.Get());
  BY_HANDLE_FILE_INFORMATION info{};
  ::GetFileInformationByHandle(entry.Get(), &info);
  const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder && !link) return Failure(FileStatus::kFailed, "delete", "it is a folder");
  if (id.ReadOnly) return Failure(FileStatus::kReadOnly, "delete", "the file is read-only");
  // A link to a folder is removed as a folder is, and only the link goes.
  const std::wstring system_path = SystemPath(path);
  if (!(folder ? ::RemoveDirectoryW(system_path.c_str()) : ::DeleteFileW(system_path.c_str()))) {
    return FromLastError("delete");
  }
  return {};
}

// A file that another program holds open without letting others rename it stays where it is.
FileOutcome TakeAside(std::string_view folder, const std::string& name, SetAside& taken) {
  std::string why;
  const std::string aside_folder = SetAsideFolder(folder, why);
  if (aside_folder.empty()) return Failure(FileStatus::kFailed, "set aside", why);
  taken = {std::string(folder) + name, aside_folder + name};
  std::error_code error = RenameNoReplace(taken.Name, taken.Aside);
  if (error == std::errc::no_such_file_or_directory && Exists(taken.Name)) {
    if (!MakeFolder(aside_folder)) return FromLastError("set aside");
    const platform::File made = OpenEntry(aside_folder);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!made.IsOpen() || !::GetFileInformationByHandle(made.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || platform::IsLink(made.Get())) {
      return Failure(FileStatus::kFailed, "set aside", "the private folder " + aside_folder + " is not ours");
    }
    error = RenameNoReplace(taken.Name, taken.Aside);
  }
  return error ? FromError("set aside", error) : FileOutcome{};
}

// Within the 255 UTF-16 units a name may have, never half a pair.
std::string RecoveredName(const std::string& name, int n) {
  const std::size_t dot = name.rfind('.');
  const std::size_t stem_end = dot == std::string::npos || dot == 0 ? name.size() : dot;
  const std::wstring mark = n == 1 ? L" (recovered)" : L" (recovered " + std::to_wstring(n) + L")";
  std::wstring stem = platform::PathOf(name.substr(0, stem_end)).native();
  const std::wstring extension = platform::PathOf(name.substr(stem_end)).native();
  constexpr std::size_t kLongestName = 255;
  if (stem.size() + mark.size() + extension.size() > kLongestName) {
    const std::size_t room = kLongestName > mark.size() + extension.size()
                                 ? kLongestName - mark.size() - extension.size()
                                 : 0;
    stem.resize(std::min(stem.size(), room));
    if (!stem.empty() && stem.back() >= 0xD800 && stem.back() < 0xDC00) stem.pop_back();  // half a pair
  }
  return platform::TextOf(std::filesystem::path(stem + mark + extension));
}

namespace {

// What may stand under an archive name that a new copy replaces: nothing, or a file that may be replaced.
FileOutcome CheckReplaceable(const std::string& target) {
  const platform::File entry = OpenEntry(target);
  if (!entry.IsOpen()) {
    const std::error_code error = platform::LastError();
    return error == std::errc::no_such_file_or_directory ? FileOutcome{} : FromError("replace", error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  ::GetFileInformationByHandle(entry.Get(), &info);
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    return Failure(FileStatus::kFailed, "replace", "a folder has the name");
  }
  if (IdentityOf(entry).ReadOnly) return Failure(FileStatus::kReadOnly, "replace", "the file there is read-only");
  return {};
}

// Deletes a file set aside whose copy is in place: a read-only one too, which the system would keep, as a
// move keeps nothing of the source. Its attributes come back should the delete fail.
bool DeleteCopied(const std::string& aside) {
  const std::wstring path = SystemPath(aside);
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  const bool read_only = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only) ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (read_only) ::SetFileAttributesW(path.c_str(), attributes);
  ::SetLastError(error);
  return false;
}

bool OnVolume(std::string_view folder, std::uint64_t volume) {
  const FileIdentity id = IdentifyFile(std::string(folder));
  return id.Exists && id.Device == volume;
}

// Copies the regular file `from` under a private name in `to`'s folder, flushed to the device, and gives it
// the name `to` (replacing an older file there when `replace`, never otherwise). `copied` is the identity of
// the source that was copied; with `expected`, a source of another version is not copied (`kChanged`).
FileOutcome CopyInto(const std::string& from, const std::string& to, bool replace, const FileIdentity* expected,
                     FileIdentity& copied) {
  std::string why;
  const std::string temp = TemporaryName(FolderOf(to), why);
  if (temp.empty()) return Failure(FileStatus::kFailed, "copy", why);
  std::error_code error;
  const platform::File in = platform::OpenForReading(platform::PathOf(from), false, error);
  if (error) return FromError("open for copy", error);
  copied = IdentityOf(in);
  if (!copied.Regular) return Failure(FileStatus::kFailed, "copy", "not a regular file");
  FileOutcome made = CopyFileTo(in, temp);
  if (made.Ok() && expected != nullptr && !copied.SameVersion(*expected)) {
    made = Failure(FileStatus::kChanged, "copy", "it changed or was replaced since it was read");
  }
  if (made.Ok()) {
    if (replace) {
      if (!RenameReplacing(temp, to)) made = FromLastError("move copy into place");
    } else if (const std::error_code placed = RenameNoReplace(temp, to)) {
      made = FromError("move copy into place", placed);
    }
  }
  if (!made.Ok()) {
    ::DeleteFileW(SystemPath(temp).c_str());
    return made;
  }
  return FlushFolder(FolderOf(to));
}

}  // namespace

FileOutcome DeleteInput(std::string_view folder, const std::string& name, const FileIdentity& read) {
  if (read.ReadOnly) return Failure(FileStatus::kReadOnly, "delete", "the file is read-only");
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, true, taken); !checked.Ok()) return checked;
  if (!::DeleteFileW(SystemPath(taken.Aside).c_str())) {
    return PutBack(taken, FileStatus::kFailed, "delete: " + platform::ErrorText(platform::LastError()));
  }
  return {};
}

FileOutcome ArchiveInput(std::string_view folder, const std::string& name, const FileIdentity& read,
                         std::string_view archive) {
  const std::string target = std::string(archive) + name;
  if (FileOutcome replaceable = CheckReplaceable(target); !replaceable.Ok()) return replaceable;
  if (OnVolume(archive, read.Device)) {
    SetAside taken;
    if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
    // One step: the older copy under the name is replaced, never deleted first.
    if (!RenameReplacing(taken.Aside, target)) {
      return PutBack(taken, FileStatus::kFailed, "move: " + platform::ErrorText(platform::LastError()));
    }
    return {};
  }
  // Another volume: the copy is made and on the device before the input is taken from its name.
  FileIdentity copied;
  if (FileOutcome made = CopyInto(std::string(folder) + name, target, true, &read, copied); !made.Ok()) return made;
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
  if (!DeleteCopied(taken.Aside)) {
    return PutBack(taken, FileStatus::kFailed, "delete after copy: " + platform::ErrorText(platform::LastError()));
  }
  return {};
}

FileOutcome MoveEntry(const std::string& from, const std::string& to) {
  const std::error_code error = RenameNoReplace(from, to);
  if (!error) return {};
  if (error != std::errc::cross_device_link) return FromError("move", error);
  FileIdentity copied;
  if (FileOutcome made = CopyInto(from, to, false, nullptr, copied); !made.Ok()) return made;
  // The source goes only when it is still the file that was copied.
  const std::string folder = FolderOf(from);
  SetAside taken;
  FileOutcome checked = TakeVersion(folder, from.substr(folder.size()), copied, false, taken);
  if (checked.Ok() && !DeleteCopied(taken.Aside)) {
    checked = PutBack(taken, FileStatus::kFailed, "delete after copy: " + platform::ErrorText(platform::LastError()));
  }
  if (!checked.Ok()) checked.Detail += " (a copy was made at " + to + ")";
  return checked;
}

// Names that must be on the device are given with MOVEFILE_WRITE_THROUGH (outputs, copies into an archive),
// which returns once they are: there is nothing left to flush.
FileOutcome FlushFolder(std::string_view /*folder*/) { return {}; }

// Flushing a whole volume takes an administrator's rights: the outputs are flushed one by one.
FileOutcome FlushFileSystem(std::string_view /*folder*/) {
  return Failure(FileStatus::kFailed, "flush file system", "not offered by the system");
}

void RemoveEmptyFolder(const std::string& path) { ::RemoveDirectoryW(SystemPath(path).c_str()); }

bool ReleaseSetAsideFolder(std::string_view folder) {
  const std::string aside_folder = std::string(folder) + engine::OwnTemporaryNameStart() + "aside";
  return ::RemoveDirectoryW(SystemPath(aside_folder).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND ||
         ::GetLastError() == ERROR_PATH_NOT_FOUND;
}

FolderStamp StampOf(std::string_view folder) {
  FolderStamp stamp;
  const FileIdentity id = IdentifyFile(std::string(folder));
  if (id.Exists) stamp.Modified = id.Modified;
  return stamp;
}

bool SameFolder(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  // Through links, as the folders are used.
  const auto open = [](std::string_view folder) {
    return platform::File(::CreateFileW(SystemPath(folder).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  };
  const platform::File first = open(a);
  const platform::File second = open(b);
  BY_HANDLE_FILE_INFORMATION one;
  BY_HANDLE_FILE_INFORMATION other;
  if (!first.IsOpen() || !second.IsOpen() || !::GetFileInformationByHandle(first.Get(), &one) ||
      !::GetFileInformationByHandle(second.Get(), &other)) {
    return false;
  }
  return (one.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
         one.nFileIndexLow == other.nFileIndexLow;
}

}  // namespace qm::app

#endif  // _WIN32
