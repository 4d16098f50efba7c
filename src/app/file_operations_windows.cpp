// The file operations on Windows, through std::filesystem and a few calls of the system;
// file_operations_posix.cpp holds the other side. This side is built by nothing here: it is kept to compile,
// and is untested.
#ifdef _WIN32

#include <process.h>
#include <windows.h>

#include <filesystem>
#include <random>
#include <system_error>

#include "app/file_operations.h"
#include "engine/image_file.h"
#include "platform/file_services.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

FileOutcome FromError(std::string_view step, const std::error_code& ec) {
  const FileStatus status = ec == std::errc::no_such_file_or_directory ? FileStatus::kNotFound
                            : ec == std::errc::file_exists             ? FileStatus::kTargetExists
                                                                       : FileStatus::kFailed;
  return {status, std::string(step) + ": " + ec.message()};
}

}  // namespace

struct FolderListing::Impl {
  fs::directory_iterator It;
  bool Open = false;
  std::string Error;
};

FolderListing::FolderListing(std::string_view folder) : impl_(std::make_unique<Impl>()) {
  std::error_code ec;
  impl_->It = fs::directory_iterator(fs::path(folder), ec);
  impl_->Open = !ec;
  if (ec) impl_->Error = ec.message();
}

const std::string& FolderListing::Error() const { return impl_->Error; }

FolderListing::~FolderListing() = default;

bool FolderListing::IsOpen() const { return impl_->Open; }

bool FolderListing::Next(FolderEntry& entry) {
  if (!impl_->Open || impl_->It == fs::directory_iterator()) return false;
  entry.Name = impl_->It->path().filename().string();
  entry.TypeHint = 0;
  std::error_code ec;
  impl_->It.increment(ec);
  if (ec) impl_->It = fs::directory_iterator();
  return true;
}

EntryKind KindOf(std::string_view folder, const FolderEntry& entry) {
  std::error_code ec;
  const fs::path path = fs::path(std::string(folder) + entry.Name);
  const fs::file_status status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return EntryKind::kMissing;
  if (fs::is_symlink(status)) return EntryKind::kLink;
  if (fs::is_regular_file(status)) return EntryKind::kRegular;
  if (fs::is_directory(status)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

FileIdentity IdentifyFile(const std::string& path) {
  const std::wstring wide = fs::path(path).wstring();
  HANDLE file = ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!ok) return {};
  const auto join = [](DWORD high, DWORD low) { return (std::uint64_t{high} << 32) | low; };
  const bool regular = (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
  const auto written = static_cast<std::int64_t>(join(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
  return {true,
          regular,
          info.dwVolumeSerialNumber,
          join(info.nFileIndexHigh, info.nFileIndexLow),
          join(info.nFileSizeHigh, info.nFileSizeLow),
          written,
          written,
          regular && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0};
}

Writers ProbeWriters(const std::string& path) {
  // A file another program writes (a copy in progress) cannot be opened without sharing write access.
  HANDLE file = ::CreateFileW(fs::path(path).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? Writers::kWriting : Writers::kUnknown;
  }
  ::CloseHandle(file);
  return Writers::kNone;
}

FolderLock::FolderLock(std::string_view folder) {
  // A file opened without sharing: a second process cannot open it until the first ends.
  const fs::path file = fs::path(std::string(folder) + std::string(kFileName));
  HANDLE handle = ::CreateFileW(file.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    status_ = error == ERROR_SHARING_VIOLATION ? Status::kBusy : Status::kFailed;
    detail_ = "lock " + file.string() + ": " + std::system_category().message(static_cast<int>(error));
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(handle);
  status_ = Status::kHeld;
}

FolderLock::~FolderLock() {
  if (handle_ != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

FileOutcome RemoveEntry(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::path(path);
  const fs::file_status status = fs::symlink_status(p, ec);
  if (!fs::exists(status)) return {FileStatus::kNotFound, "delete: no such file"};
  if (fs::is_directory(status)) return {FileStatus::kFailed, "delete: it is a folder"};
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return {FileStatus::kReadOnly, "delete: the file is read-only"};
  }
  if (!fs::remove(p, ec) || ec) return FromError("delete", ec);
  return {};
}

namespace {

std::string OwnPrefix() { return std::string(engine::kTemporaryPrefix) + std::to_string(_getpid()) + "-"; }

std::string SetAsideFolder(std::string_view folder) { return std::string(folder) + OwnPrefix() + "aside/"; }

// Moves without ever replacing: the system's move refuses an existing target unless asked to replace.
FileOutcome MoveNoReplace(const fs::path& from, const fs::path& to) {
  const std::error_code ec = platform::RenameNoReplace(from, to);
  if (!ec) return {};
  if (ec.value() == ERROR_ALREADY_EXISTS || ec.value() == ERROR_FILE_EXISTS) {
    return {FileStatus::kTargetExists, "move: the target exists"};
  }
  if (ec.value() == ERROR_NOT_SAME_DEVICE) return {FileStatus::kFailed, "cross-device"};
  return FromError("move", ec);
}

struct SetAside {
  fs::path Name;
  fs::path Aside;
};

FileOutcome PutBack(const SetAside& taken, FileStatus status, std::string detail) {
  if (!MoveNoReplace(taken.Aside, taken.Name).Ok()) detail += "; it waits as " + taken.Aside.string();
  return {status, std::move(detail)};
}

FileOutcome TakeVersion(std::string_view folder, const std::string& name, const FileIdentity& read, bool writable,
                        SetAside& taken) {
  std::error_code ec;
  fs::create_directory(fs::path(SetAsideFolder(folder)), ec);
  taken = {fs::path(std::string(folder) + name), fs::path(SetAsideFolder(folder) + name)};
  if (FileOutcome moved = MoveNoReplace(taken.Name, taken.Aside); !moved.Ok()) return moved;
  const FileIdentity now = IdentifyFile(taken.Aside.string());
  if (!now.SameVersion(read)) {
    return PutBack(taken, FileStatus::kChanged, "it changed or was replaced since it was read");
  }
  if (writable && now.ReadOnly) return PutBack(taken, FileStatus::kReadOnly, "the file is read-only");
  return {};
}

FileOutcome CheckReplaceable(const fs::path& target) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target, ec);
  if (!fs::exists(status)) return {};
  if (fs::is_directory(status)) return {FileStatus::kFailed, "replace: a folder has the name"};
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return {FileStatus::kReadOnly, "replace: the file there is read-only"};
  }
  return {};
}

// Copies `from` beside `to` under a private name, flushed to the device, and gives it the name `to`,
// replacing only with `replace`. The copy is the engine's: a clone on ReFS, made by the server on a share.
FileOutcome CopyInto(const fs::path& from, const fs::path& to, bool replace) {
  static std::minstd_rand random(std::random_device{}());
  const fs::path temp = to.parent_path() / (OwnPrefix() + "move-" + std::to_string(random()));
  std::error_code ec;
  const platform::File in = platform::OpenForReading(from, false, ec);
  if (ec) return FromError("open for copy", ec);
  platform::FileInfo before;
  if (ec = platform::Describe(in, before); ec) return FromError("copy", ec);
  FileOutcome placed;
  {
    platform::File out = platform::CreateNew(temp, ec);
    if (ec) return FromError("create copy", ec);
    platform::FileInfo after;
    if (ec = platform::CopyWhole(in, out, before.Size); !ec) ec = platform::FlushData(out);
    if (!ec) ec = platform::Describe(in, after);
    if (!ec && !(after == before)) placed = {FileStatus::kFailed, "check copy: the file changed while it was copied"};
    if (const std::error_code closed = out.Close(); !ec) ec = closed;
    if (ec) placed = FromError("copy", ec);
  }
  if (placed.Ok()) {
    if (replace) {
      fs::rename(temp, to, ec);  // replaces a file at the target
      if (ec) placed = FromError("move copy into place", ec);
    } else {
      placed = MoveNoReplace(temp, to);
    }
  }
  if (!placed.Ok()) fs::remove(temp, ec);
  return placed;
}

}  // namespace

FileOutcome DeleteInput(std::string_view folder, const std::string& name, const FileIdentity& read) {
  if (read.ReadOnly) return {FileStatus::kReadOnly, "delete: the file is read-only"};
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, true, taken); !checked.Ok()) return checked;
  std::error_code ec;
  if (!fs::remove(taken.Aside, ec) || ec) return PutBack(taken, FileStatus::kFailed, "delete: " + ec.message());
  return {};
}

FileOutcome ArchiveInput(std::string_view folder, const std::string& name, const FileIdentity& read,
                         std::string_view archive) {
  const fs::path target = fs::path(std::string(archive) + name);
  if (FileOutcome replaceable = CheckReplaceable(target); !replaceable.Ok()) return replaceable;
  const fs::path path = fs::path(std::string(folder) + name);
  if (IdentifyFile(std::string(archive)).Device != IdentifyFile(std::string(folder)).Device) {
    if (!IdentifyFile(path.string()).SameVersion(read)) {
      return {FileStatus::kChanged, "archive: it changed or was replaced since it was read"};
    }
    if (FileOutcome made = CopyInto(path, target, true); !made.Ok()) return made;
    SetAside taken;
    if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
    std::error_code ec;
    fs::remove(taken.Aside, ec);
    return {};
  }
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
  std::error_code ec;
  fs::rename(taken.Aside, target, ec);  // replaces the older copy in one step
  if (ec) return PutBack(taken, FileStatus::kFailed, "move: " + ec.message());
  return {};
}

FileOutcome MoveEntry(const std::string& from, const std::string& to) {
  FileOutcome moved = MoveNoReplace(fs::path(from), fs::path(to));
  if (moved.Ok() || moved.Detail != "cross-device") return moved;
  const FileIdentity copied = IdentifyFile(from);
  if (FileOutcome made = CopyInto(fs::path(from), fs::path(to), false); !made.Ok()) return made;
  const std::string folder = fs::path(from).parent_path().string() + "\\";
  SetAside taken;
  FileOutcome checked = TakeVersion(folder, fs::path(from).filename().string(), copied, false, taken);
  std::error_code ec;
  if (checked.Ok()) fs::remove(taken.Aside, ec);
  return checked;
}

FileOutcome FlushFolder(std::string_view /*folder*/) { return {}; }

FileOutcome FlushFileSystem(std::string_view /*folder*/) {
  return {FileStatus::kFailed, "flush file system: not offered here"};
}

// Windows cannot tell which process wrote a name: leftovers stay for the user to remove.
int RemoveStaleTemporaryFiles(std::string_view /*folder*/) { return 0; }

std::vector<std::string> RestoreSetAsideInputs(std::string_view folder) {
  std::vector<std::string> waiting;
  std::error_code ec;
  const fs::path aside = fs::path(SetAsideFolder(folder));
  for (const auto& entry : fs::directory_iterator(aside, ec)) {
    const fs::path back = fs::path(std::string(folder)) / entry.path().filename();
    if (MoveNoReplace(entry.path(), back).Status == FileStatus::kTargetExists) {
      waiting.push_back(entry.path().filename().string());
    }
  }
  fs::remove(aside, ec);
  return waiting;
}

void ReleaseSetAsideFolder(std::string_view folder) {
  std::error_code ec;
  fs::remove(fs::path(SetAsideFolder(folder)), ec);  // only an empty folder goes
}

bool SameFolder(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  const bool same = fs::equivalent(fs::path(a), fs::path(b), ec);
  return !ec && same;
}

}  // namespace qm::app

#endif  // _WIN32
