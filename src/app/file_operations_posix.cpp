// The file operations on Linux and other POSIX systems; file_operations_windows.cpp holds the other side.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/statfs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <optional>
#include <random>
#include <vector>

#include "app/file_operations.h"
#include "app/set_aside.h"
#include "engine/temporary_files.h"
#include "platform/file_services.h"

namespace qm::app {
namespace {

using platform::ErrorText;
using platform::Retry;

FileOutcome Failure(FileStatus status, std::string_view step, std::string_view why) {
  return {status, std::string(step) + ": " + std::string(why)};
}

FileOutcome FromErrno(std::string_view step, int error) {
  const FileStatus status = error == ENOENT   ? FileStatus::kNotFound
                            : error == EEXIST ? FileStatus::kTargetExists
                                              : FileStatus::kFailed;
  return Failure(status, step, ErrorText(error));
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

namespace {


std::int64_t Nanoseconds(const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

// Renames without ever replacing an existing entry; returns 0 or the errno of the failure.
int RenameNoReplace(const std::string& from, const std::string& to) {
  return platform::RenameNoReplace(from, to).value();
}

// A fresh dot-name in `folder`, this process's: scans and listings skip it, so nobody takes a half-made copy
// for a file. Empty when the folder cannot take this process's mark.
std::string TemporaryName(const std::string& folder, std::string& why) {
  static std::minstd_rand random(static_cast<unsigned>(::getpid()) ^ std::random_device()());
  const std::optional<std::string> prefix = engine::OwnTemporaryPrefix(folder, &why);
  return prefix ? folder + *prefix + "move-" + std::to_string(random()) : std::string();
}

// Makes the copy of the regular file open as `in` at `temp`, complete and on the device, with the source's
// mode and times. The copy shares the source's blocks where the file system can, and is made by the kernel
// (by the server on a share) where it can.
FileOutcome CopyFileTo(const platform::File& in, const std::string& temp, const struct stat& source) {
  platform::File out(
      Retry([&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }));
  if (!out.IsOpen()) return FromErrno("create copy", errno);
  if (const std::error_code error =
          platform::CopyWhole(in, out, static_cast<std::uint64_t>(source.st_size))) {
    return FromErrno("copy", error.value());
  }
  ::fchmod(out.Get(), source.st_mode & 07777);
  const std::array<timespec, 2> times = {source.st_atim, source.st_mtim};
  ::futimens(out.Get(), times.data());
  if (const std::error_code error = platform::FlushData(out)) return FromErrno("flush copy", error.value());
  // A file that changed during the copy may have given it some of each version.
  struct stat now;
  if (::fstat(in.Get(), &now) != 0) return FromErrno("check copy", errno);
  if (now.st_size != source.st_size || Nanoseconds(now.st_mtim) != Nanoseconds(source.st_mtim)) {
    return Failure(FileStatus::kFailed, "check copy", "the file changed while it was copied");
  }
  if (const std::error_code error = out.Close()) return FromErrno("close copy", error.value());
  return {};
}

FileOutcome CopyLinkTo(const std::string& from, const std::string& temp, const struct stat& source) {
  std::string target(static_cast<std::size_t>(source.st_size > 0 ? source.st_size : 4096) + 1, '\0');
  const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
  if (n < 0) return FromErrno("read link", errno);
  if (static_cast<std::size_t>(n) >= target.size())
    return Failure(FileStatus::kFailed, "read link", "it grew");
  target.resize(static_cast<std::size_t>(n));
  if (::symlink(target.c_str(), temp.c_str()) != 0) return FromErrno("create link", errno);
  return {};
}

}  // namespace

struct FolderListing::Impl {
  DIR* Dir = nullptr;
  std::string Error;
};

FolderListing::FolderListing(std::string_view folder) : impl_(std::make_unique<Impl>()) {
  impl_->Dir = ::opendir(std::string(folder).c_str());
  if (impl_->Dir == nullptr) impl_->Error = ErrorText(errno);
}

FolderListing::~FolderListing() {
  if (impl_->Dir != nullptr) ::closedir(impl_->Dir);
}

bool FolderListing::IsOpen() const { return impl_->Dir != nullptr; }

const std::string& FolderListing::Error() const { return impl_->Error; }

bool FolderListing::Next(FolderEntry& entry) {
  if (impl_->Dir == nullptr) return false;
  const dirent* d = ::readdir(impl_->Dir);
  if (d == nullptr) return false;
  entry.Name.assign(d->d_name);
#ifdef _DIRENT_HAVE_D_TYPE
  entry.TypeHint = d->d_type;
#else
  entry.TypeHint = 0;
#endif
  return true;
}

EntryKind KindOf(std::string_view folder, const FolderEntry& entry) {
#ifdef _DIRENT_HAVE_D_TYPE
  switch (entry.TypeHint) {
    case DT_REG:
      return EntryKind::kRegular;
    case DT_DIR:
      return EntryKind::kDirectory;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::kOther;
    default:  // a file system that does not tell: ask
      break;
  }
#endif
  const std::string path = std::string(folder) + entry.Name;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return EntryKind::kMissing;
  if (S_ISREG(st.st_mode)) return EntryKind::kRegular;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

namespace {

FileIdentity IdentityOf(const struct stat& st) {
  const bool regular = S_ISREG(st.st_mode);
  return {true,
          regular,
          static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size),
          Nanoseconds(st.st_mtim),
          Nanoseconds(st.st_ctim),
          regular && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0};
}

}  // namespace

FileIdentity IdentifyFile(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return {};
  return IdentityOf(st);
}

namespace {

// Whether the open file lives on a network share (or a file system in user space, which may be one).
bool OnShare(int fd) {
#if defined(__linux__)
  struct statfs fs;
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<std::uint64_t>(fs.f_type) & 0xFFFFFFFFu) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
    case 0x65735546:  // FUSE
    case 0x00C36400:  // Ceph
    case 0x5346414F:  // AFS
    case 0x01021997:  // 9P
      return true;
    default:
      return false;
  }
#else
  (void)fd;
  return false;
#endif
}

}  // namespace

Writers ProbeWriters(const std::string& path) {
  // O_NONBLOCK: a FIFO put in the file's place since the listing must not hang the open.
  platform::File fd(Retry(
      [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC); }));
  if (fd.Get() < 0) return Writers::kUnknown;
  const Writers unknown = OnShare(fd.Get()) ? Writers::kUnknownOnShare : Writers::kUnknown;
#ifdef F_SETLEASE
  // Should a writer open the file while the lease is held, the system signals the holder: SIGURG is ignored
  // unless a program asks for it, where the default SIGIO would end the program.
  ::fcntl(fd.Get(), F_SETSIG, SIGURG);
  if (::fcntl(fd.Get(), F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd.Get(), F_SETLEASE, F_UNLCK);
    return unknown == Writers::kUnknown ? Writers::kNone : unknown;
  }
  // The system refuses the lease while anybody has the file open for writing; any other refusal means that
  // it cannot tell (a file of another user, a share without leases).
  if (errno == EAGAIN) return Writers::kWriting;
#endif
  return unknown;
}

FolderLock::FolderLock(std::string_view folder) {
  const std::string file = std::string(folder) + std::string(kFileName);
  int fd = Retry([&] { return ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666); });
  // A folder this process may not write to, or a lock file of another user: the lock needs no write access
  // (except on some network shares, where the folder's own lock below serves).
  if (fd < 0) fd = Retry([&] { return ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); });
  if (fd < 0) {
    fd = Retry([&] { return ::open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  }
  if (fd < 0) {
    detail_ = "open " + file + ": " + ErrorText(errno);
    return;
  }
  if (Retry([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    const int error = errno;
    ::close(fd);
    status_ = error == EWOULDBLOCK ? Status::kBusy : Status::kFailed;
    detail_ = "lock " + file + ": " + ErrorText(error);
    return;
  }
  handle_ = fd;
  status_ = Status::kHeld;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));  // closing releases the lock
}

FileOutcome RemoveEntry(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return FromErrno("delete", errno);
  if (S_ISDIR(st.st_mode)) return Failure(FileStatus::kFailed, "delete", "it is a folder");
  if (IdentityOf(st).ReadOnly) return Failure(FileStatus::kReadOnly, "delete", "the file is read-only");
  if (::unlink(path.c_str()) != 0) return FromErrno("delete", errno);
  return {};
}

// The private folder is this process's user's alone, and refused when another user made it.
FileOutcome TakeAside(std::string_view folder, const std::string& name, SetAside& taken) {
  std::string why;
  const std::string aside_folder = SetAsideFolder(folder, why);
  if (aside_folder.empty()) return Failure(FileStatus::kFailed, "set aside", why);
  taken = {std::string(folder) + name, aside_folder + name};
  int error = RenameNoReplace(taken.Name, taken.Aside);
  struct stat entry;  // the entry itself: a link to nothing is there too
  if (error == ENOENT && ::lstat(taken.Name.c_str(), &entry) == 0) {
    if (::mkdir(aside_folder.c_str(), 0700) != 0 && errno != EEXIST) return FromErrno("set aside", errno);
    struct stat st;
    if (::lstat(aside_folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
      return Failure(FileStatus::kFailed, "set aside", "the private folder " + aside_folder + " is not ours");
    }
    error = RenameNoReplace(taken.Name, taken.Aside);
  }
  return error == 0 ? FileOutcome{} : FromErrno("set aside", error);
}

// Within the 255 bytes a name may have, cut at a character's edge.
std::string RecoveredName(const std::string& name, int n) {
  const std::size_t dot = name.rfind('.');
  const std::size_t stem_end = dot == std::string::npos || dot == 0 ? name.size() : dot;
  const std::string mark = n == 1 ? " (recovered)" : " (recovered " + std::to_string(n) + ")";
  std::string stem = name.substr(0, stem_end);
  const std::string extension = name.substr(stem_end);
  constexpr std::size_t kLongestName = 255;
  if (stem.size() + mark.size() + extension.size() > kLongestName) {
    const std::size_t room = kLongestName > mark.size() + extension.size()
                                 ? kLongestName - mark.size() - extension.size()
                                 : 0;
    stem.resize(std::min(stem.size(), room));
    // Not in the middle of a UTF-8 character.
    while (!stem.empty() && (static_cast<unsigned char>(stem.back()) & 0xC0) == 0x80) stem.pop_back();
    if (!stem.empty() && static_cast<unsigned char>(stem.back()) >= 0xC0) stem.pop_back();
  }
  return stem + mark + extension;
}

namespace {

// What may stand under an archive name that a new copy replaces: nothing, or a file that may be replaced.
FileOutcome CheckReplaceable(const std::string& target) {
  struct stat st;
  if (::lstat(target.c_str(), &st) != 0) {
    return errno == ENOENT ? FileOutcome{} : FromErrno("replace", errno);
  }
  if (S_ISDIR(st.st_mode)) return Failure(FileStatus::kFailed, "replace", "a folder has the name");
  if (IdentityOf(st).ReadOnly) return Failure(FileStatus::kReadOnly, "replace", "the file there is read-only");
  return {};
}

bool OnDevice(std::string_view folder, std::uint64_t device) {
  struct stat st;
  return ::stat(std::string(folder).c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == device;
}

// Copies the file or link `from` under a private name in `to`'s folder, flushed to the device, and gives it
// the name `to` (replacing an older file there when `replace`, never otherwise). `copied` is the identity of
// the source that was copied; with `expected`, a source of another version is not copied (`kChanged`).
FileOutcome CopyInto(const std::string& from, const std::string& to, bool replace, const FileIdentity* expected,
                     FileIdentity& copied) {
  struct stat source;
  if (::lstat(from.c_str(), &source) != 0) return FromErrno("copy", errno);
  std::string why;
  const std::string temp = TemporaryName(FolderOf(to), why);
  if (temp.empty()) return Failure(FileStatus::kFailed, "copy", why);
  FileOutcome made;
  if (S_ISLNK(source.st_mode)) {
    copied = IdentityOf(source);
    made = CopyLinkTo(from, temp, source);
  } else if (S_ISREG(source.st_mode)) {
    std::error_code error;
    const platform::File in = platform::OpenForReading(from, false, error);
    if (error) return FromErrno("open for copy", error.value());
    if (::fstat(in.Get(), &source) != 0) return FromErrno("open for copy", errno);
    copied = IdentityOf(source);
    made = CopyFileTo(in, temp, source);
  } else {
    return Failure(FileStatus::kFailed, "copy", "not a regular file");
  }
  if (made.Ok() && expected != nullptr && !copied.SameVersion(*expected)) {
    made = Failure(FileStatus::kChanged, "copy", "it changed or was replaced since it was read");
  }
  if (made.Ok()) {
    const int error = replace ? (::rename(temp.c_str(), to.c_str()) == 0 ? 0 : errno) : RenameNoReplace(temp, to);
    if (error != 0) made = FromErrno("move copy into place", error);
  }
  if (!made.Ok()) {
    ::unlink(temp.c_str());
    return made;
  }
  return FlushFolder(FolderOf(to));
}

}  // namespace

FileOutcome DeleteInput(std::string_view folder, const std::string& name, const FileIdentity& read) {
  if (read.ReadOnly) return Failure(FileStatus::kReadOnly, "delete", "the file is read-only");
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, true, taken); !checked.Ok()) return checked;
  if (::unlink(taken.Aside.c_str()) != 0) {
    return PutBack(taken, FileStatus::kFailed, "delete: " + ErrorText(errno));
  }
  return {};
}

FileOutcome ArchiveInput(std::string_view folder, const std::string& name, const FileIdentity& read,
                         std::string_view archive) {
  const std::string target = std::string(archive) + name;
  if (FileOutcome replaceable = CheckReplaceable(target); !replaceable.Ok()) return replaceable;
  if (OnDevice(archive, read.Device)) {
    SetAside taken;
    if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
    // One step: the older copy under the name is replaced, never deleted first.
    if (::rename(taken.Aside.c_str(), target.c_str()) != 0) {
      return PutBack(taken, FileStatus::kFailed, "move: " + ErrorText(errno));
    }
    return {};
  }
  // Another file system: the copy is made and on the device before the input is taken from its name.
  const std::string path = std::string(folder) + name;
  FileIdentity copied;
  if (FileOutcome made = CopyInto(path, target, true, &read, copied); !made.Ok()) return made;
  SetAside taken;
  if (FileOutcome checked = TakeVersion(folder, name, read, false, taken); !checked.Ok()) return checked;
  if (::unlink(taken.Aside.c_str()) != 0) {
    return PutBack(taken, FileStatus::kFailed, "delete after copy: " + ErrorText(errno));
  }
  return {};
}

FileOutcome MoveEntry(const std::string& from, const std::string& to) {
  const int error = RenameNoReplace(from, to);
  if (error == 0) return {};
  if (error != EXDEV) return FromErrno("move", error);
  FileIdentity copied;
  if (FileOutcome made = CopyInto(from, to, false, nullptr, copied); !made.Ok()) return made;
  // The source goes only when it is still the file that was copied.
  const std::string folder = FolderOf(from);
  SetAside taken;
  FileOutcome checked = TakeVersion(folder, from.substr(folder.size()), copied, false, taken);
  if (checked.Ok() && ::unlink(taken.Aside.c_str()) != 0) {
    checked = PutBack(taken, FileStatus::kFailed, "delete after copy: " + ErrorText(errno));
  }
  if (!checked.Ok()) checked.Detail += " (a copy was made at " + to + ")";
  return checked;
}

FileOutcome FlushFolder(std::string_view folder) {
  const std::string path = folder.empty() ? std::string(".") : std::string(folder);
  platform::File fd(Retry([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (fd.Get() < 0) return FromErrno("flush folder", errno);
  if (Retry([&] { return ::fsync(fd.Get()); }) != 0) return FromErrno("flush folder", errno);
  return {};
}

FileOutcome FlushFileSystem(std::string_view folder) {
#if defined(__linux__)
  platform::File fd(Retry([&] { return ::open(std::string(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (fd.Get() < 0) return FromErrno("flush file system", errno);
  if (::syncfs(fd.Get()) != 0) return FromErrno("flush file system", errno);
  return {};
#else
  (void)folder;
  return Failure(FileStatus::kFailed, "flush file system", "not offered by the system");
#endif
}

void RemoveEmptyFolder(const std::string& path) { ::rmdir(path.c_str()); }

bool ReleaseSetAsideFolder(std::string_view folder) {
  const std::string aside_folder = std::string(folder) + engine::OwnTemporaryNameStart() + "aside";
  return ::rmdir(aside_folder.c_str()) == 0 || errno == ENOENT;
}

FolderStamp StampOf(std::string_view folder) {
  FolderStamp stamp;
  struct stat st;
  if (::stat(std::string(folder).c_str(), &st) == 0) stamp.Modified = Nanoseconds(st.st_mtim);
  return stamp;
}

bool SameFolder(std::string_view a, std::string_view b) {
  struct stat sa;
  struct stat sb;
  if (a.empty() || b.empty()) return false;
  if (::stat(std::string(a).c_str(), &sa) != 0 || ::stat(std::string(b).c_str(), &sb) != 0) return false;
  return S_ISDIR(sa.st_mode) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace qm::app

#endif  // _WIN32
