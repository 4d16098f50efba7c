// The file operations on Linux and other POSIX systems; file_operations_windows.cpp holds the other side.
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <random>
#include <system_error>
#include <vector>

#include "app/file_operations.h"
#include "engine/image_file.h"

namespace qm::app {
namespace {

std::string ErrorText(int error) { return std::generic_category().message(error); }

FileOutcome Failure(FileStatus status, std::string_view step, std::string_view why) {
  return {status, std::string(step) + ": " + std::string(why)};
}

FileOutcome FromErrno(std::string_view step, int error) {
  const FileStatus status = error == ENOENT   ? FileStatus::kNotFound
                            : error == EEXIST ? FileStatus::kTargetExists
                                              : FileStatus::kFailed;
  return Failure(status, step, ErrorText(error));
}

// Runs a system call again when a signal interrupted it.
template <typename Call>
auto Retry(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::int64_t Nanoseconds(const timespec& t) { return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

// Closes the descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  /// Closes now and tells whether the system accepted the close (the last chance to hear of a failed write).
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Renames without ever replacing an existing entry; returns 0 or the errno of the failure.
int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // File systems without the flag: a hard link is refused when the name exists.
  if (::link(from.c_str(), to.c_str()) == 0) {
    if (::unlink(from.c_str()) == 0) return 0;
    const int error = errno;
    ::unlink(to.c_str());
    return error;
  }
  if (errno == EEXIST || errno == EXDEV || errno == ENOENT) return errno;
  // Nor hard links (FAT and the like): test, then rename; another process could slip in between.
  struct stat st;
  if (::lstat(to.c_str(), &st) == 0) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// A fresh dot-name in `folder`: scans and listings skip it, so nobody takes a half-made copy for a file.
std::string TemporaryName(const std::string& folder) {
  static std::minstd_rand random(static_cast<unsigned>(::getpid()) ^ std::random_device()());
  return folder + std::string(engine::kTemporaryPrefix) + std::to_string(::getpid()) + "-move-" +
         std::to_string(random());
}

// Copies the rest of `in` to `out`; false with errno set on failure.
bool CopyContent(int in, int out) {
  for (;;) {
    const ssize_t n =
        Retry([&] { return ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0); });
    if (n > 0) continue;
    if (n == 0) return true;
    // Older systems and pairs of file systems the call does not handle: copy through a buffer instead.
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return false;
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  for (;;) {
    const ssize_t got = Retry([&] { return ::read(in, buffer.data(), buffer.size()); });
    if (got < 0) return false;
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = Retry([&] { return ::write(out, buffer.data() + done, got - done); });
      if (put < 0) return false;
      done += put;
    }
  }
}

// Makes the copy of a regular file at `temp`, complete and on the device, with the source's mode and times.
FileOutcome CopyFileTo(const std::string& from, const std::string& temp, const struct stat& source) {
  Descriptor in(Retry([&] { return ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC); }));
  if (in.Get() < 0) return FromErrno("open for copy", errno);
  Descriptor out(Retry([&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600); }));
  if (out.Get() < 0) return FromErrno("create copy", errno);
  if (!CopyContent(in.Get(), out.Get())) return FromErrno("copy", errno);
  ::fchmod(out.Get(), source.st_mode & 07777);
  const std::array<timespec, 2> times = {source.st_atim, source.st_mtim};
  ::futimens(out.Get(), times.data());
  if (Retry([&] { return ::fsync(out.Get()); }) != 0) return FromErrno("flush copy", errno);
  struct stat copied;
  struct stat now;
  if (::fstat(out.Get(), &copied) != 0 || ::fstat(in.Get(), &now) != 0) return FromErrno("check copy", errno);
  if (copied.st_size != source.st_size || now.st_size != source.st_size) {
    return Failure(FileStatus::kFailed, "check copy",
                   "the copy holds " + std::to_string(copied.st_size) + " bytes, the file " +
                       std::to_string(now.st_size) + " (it was " + std::to_string(source.st_size) + ")");
  }
  if (!out.Close()) return FromErrno("close copy", errno);
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
};

FolderListing::FolderListing(std::string_view folder) : impl_(std::make_unique<Impl>()) {
  impl_->Dir = ::opendir(std::string(folder).c_str());
}

FolderListing::~FolderListing() {
  if (impl_->Dir != nullptr) ::closedir(impl_->Dir);
}

bool FolderListing::IsOpen() const { return impl_->Dir != nullptr; }

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
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
      return EntryKind::kOther;
    default:  // a link, or a file system that does not tell: ask
      break;
  }
#endif
  std::string path(folder);
  path += entry.Name;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return ::lstat(path.c_str(), &st) == 0 ? EntryKind::kOther : EntryKind::kMissing;
  }
  if (S_ISREG(st.st_mode)) return EntryKind::kRegular;
  if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

Readiness CheckReadiness(const std::string& path, std::chrono::system_clock::time_point now) {
  // O_NONBLOCK: a FIFO put in the file's place since the listing must not hang the open.
  Descriptor fd(Retry([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
  if (fd.Get() < 0) {
    // A file that cannot be opened is for the engine to report; only a vanished one is not.
    return errno == ENOENT ? Readiness::kGone : Readiness::kReady;
  }
  struct stat st;
  if (::fstat(fd.Get(), &st) != 0) return Readiness::kReady;
  if (!S_ISREG(st.st_mode)) return Readiness::kNotRegular;
#ifdef F_SETLEASE
  // Should a writer open the file while the lease is held, the system signals the holder: SIGURG is ignored
  // unless a program asks for it, where the default SIGIO would end the program.
  ::fcntl(fd.Get(), F_SETSIG, SIGURG);
  if (::fcntl(fd.Get(), F_SETLEASE, F_RDLCK) == 0) {
    ::fcntl(fd.Get(), F_SETLEASE, F_UNLCK);
    return Readiness::kReady;
  }
  if (errno == EAGAIN) return Readiness::kBeingWritten;
#endif
  const auto changed =
      std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::nanoseconds(Nanoseconds(st.st_ctim))));
  // A change time ahead of the clock (a share whose clock runs fast) tells nothing about the file's age: only
  // a change within the last moments counts.
  const auto age = now - changed;
  return age >= std::chrono::system_clock::duration::zero() && age < kQuietPeriod ? Readiness::kBeingWritten
                                                                                  : Readiness::kReady;
}

FileIdentity IdentifyFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true,
          static_cast<std::uint64_t>(st.st_dev),
          static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size),
          Nanoseconds(st.st_mtim),
          Nanoseconds(st.st_ctim)};
}

FileOutcome RemoveEntry(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return FromErrno("delete", errno);
  if (S_ISDIR(st.st_mode)) return Failure(FileStatus::kFailed, "delete", "it is a folder");
  if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return Failure(FileStatus::kReadOnly, "delete", "the file is read-only");
  }
  if (::unlink(path.c_str()) != 0) return FromErrno("delete", errno);
  return {};
}

namespace {

// Gives `from` the name `to`, replacing what is there when `replace`, never otherwise; 0 or the errno.
int Rename(const std::string& from, const std::string& to, bool replace) {
  if (!replace) return RenameNoReplace(from, to);
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

FileOutcome MoveOrReplace(const std::string& from, const std::string& to, bool replace) {
  const int error = Rename(from, to, replace);
  if (error == 0) return {};
  if (error != EXDEV) return FromErrno("move", error);

  // Another file system: copy under a dot-name beside the target, then give the copy its name, then delete.
  struct stat source;
  if (::lstat(from.c_str(), &source) != 0) return FromErrno("move", errno);
  if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode)) {
    return Failure(FileStatus::kFailed, "move", "not a regular file");
  }
  const std::string folder = FolderOf(to);
  const std::string temp = TemporaryName(folder);
  FileOutcome made =
      S_ISLNK(source.st_mode) ? CopyLinkTo(from, temp, source) : CopyFileTo(from, temp, source);
  if (made.Ok()) {
    if (const int e = Rename(temp, to, replace); e != 0) made = FromErrno("move copy into place", e);
  }
  if (!made.Ok()) {
    ::unlink(temp.c_str());
    return made;
  }
  // The copy's name must be on the device before the source goes. Should either step fail, the source stays;
  // a copy that took an empty place goes again, one that replaced a file stays in its place.
  FileOutcome done = FlushFolder(folder);
  if (done.Ok() && ::unlink(from.c_str()) != 0) done = FromErrno("delete after copy", errno);
  if (!done.Ok() && !replace) ::unlink(to.c_str());
  return done;
}

}  // namespace

FileOutcome MoveEntry(const std::string& from, const std::string& to) {
  return MoveOrReplace(from, to, false);
}

FileOutcome ReplaceEntry(const std::string& from, const std::string& to) {
  struct stat st;
  if (::lstat(to.c_str(), &st) != 0) {
    return errno == ENOENT ? MoveOrReplace(from, to, false) : FromErrno("replace", errno);
  }
  if (S_ISDIR(st.st_mode)) return Failure(FileStatus::kFailed, "replace", "a folder has the name");
  if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    return Failure(FileStatus::kReadOnly, "replace", "the file there is read-only");
  }
  return MoveOrReplace(from, to, true);
}

FileOutcome FlushFolder(std::string_view folder) {
  const std::string path = folder.empty() ? std::string(".") : std::string(folder);
  Descriptor fd(Retry([&] { return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
  if (fd.Get() < 0) return FromErrno("flush folder", errno);
  if (Retry([&] { return ::fsync(fd.Get()); }) != 0) return FromErrno("flush folder", errno);
  return {};
}

int RemoveStaleTemporaryFiles(std::string_view folder) {
  int removed = 0;
  FolderListing listing(folder);
  FolderEntry entry;
  while (listing.Next(entry)) {
    if (!entry.Name.starts_with(engine::kTemporaryPrefix)) continue;
    const std::string_view rest = std::string_view(entry.Name).substr(engine::kTemporaryPrefix.size());
    long pid = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (ec != std::errc() || end == rest.data() || *end != '-' || pid <= 0) continue;
    // Only a process that is certainly gone: kill(pid, 0) fails with ESRCH.
    if (pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    const std::string path = std::string(folder) + entry.Name;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  return removed;
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
