// The file services on Linux and other POSIX systems; file_services_windows.cpp holds the other side.
#ifndef _WIN32

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "platform/file_services.h"

#if defined(__linux__)
#include <linux/fs.h>  // FICLONE
#endif

namespace qm::platform {
namespace {

std::error_code Errno(int error) { return {error, std::generic_category()}; }

// The largest piece one kernel copy is asked for; the system copies at most about 2 GB a call anyway.
constexpr std::uint64_t kLargestKernelCopy = std::uint64_t{1} << 30;
// The buffer of a copy that the system cannot make.
constexpr std::size_t kCopyBuffer = std::size_t{1} << 20;

// Whether a clone or a kernel copy was refused for the pair of files rather than failed: the file systems
// differ or cannot do it, or the kernel is too old. The copy through a buffer then says what really goes
// wrong, if anything does.
bool Refused(int error) {
  return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL || error == EBADF ||
         error == ETXTBSY || error == EPERM || error == EISDIR || error == ENOTTY;
}

std::error_code BufferCopy(const File& from, std::uint64_t from_offset, const File& to,
                           std::uint64_t to_offset, std::uint64_t size) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyBuffer)));
  while (size > 0) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
    std::error_code error;
    const std::size_t got = ReadAt(from, from_offset, std::span(buffer.data(), want), error);
    if (error) return error;
    if (got == 0) return {};  // the file is shorter than it was: what is left stays as `to` has it
    if (const std::error_code written = WriteAt(to, to_offset, std::span(buffer.data(), got))) return written;
    from_offset += got;
    to_offset += got;
    size -= got;
  }
  return {};
}

// Copies one stretch of data: in the kernel, else through a buffer. The kernel first tries to share the
// blocks (a clone) where the file system can and the stretch lies on their edges, then copies; on an NFS 4.2
// or SMB 3 share the server does either.
std::error_code CopyData(const File& from, std::uint64_t from_offset, const File& to, std::uint64_t to_offset,
                         std::uint64_t size, CopyWay& way) {
#if defined(__linux__)
  while (size > 0) {
    auto in = static_cast<off_t>(from_offset);
    auto out = static_cast<off_t>(to_offset);
    const ssize_t n = Retry([&] {
      return ::copy_file_range(from.Get(), &in, to.Get(), &out,
                               static_cast<std::size_t>(std::min(size, kLargestKernelCopy)), 0);
    });
    if (n == 0) return {};  // the file is shorter than it was
    if (n < 0) {
      if (!Refused(errno)) return LastError();
      break;
    }
    way = std::max(way, CopyWay::kKernel);
    from_offset += static_cast<std::uint64_t>(n);
    to_offset += static_cast<std::uint64_t>(n);
    size -= static_cast<std::uint64_t>(n);
  }
#endif
  if (size == 0) return {};
  way = CopyWay::kBuffer;
  return BufferCopy(from, from_offset, to, to_offset, size);
}

}  // namespace

bool File::IsOpen() const { return handle_ >= 0; }

NativeFile File::None() { return -1; }

NativeFile File::Release() {
  const NativeFile handle = handle_;
  handle_ = None();
  return handle;
}

std::error_code File::Close() {
  if (!IsOpen()) return {};
  // A close that a signal interrupts has closed the descriptor all the same (Linux): never retried.
  return ::close(Release()) == 0 ? std::error_code() : LastError();
}

std::filesystem::path PathOf(std::string_view text) { return std::filesystem::path(text); }

std::string TextOf(const std::filesystem::path& path) { return path.native(); }

std::error_code LastError() { return Errno(errno); }

std::string ErrorText(const std::error_code& error) { return error.message(); }

std::string ErrorText(int error) { return std::generic_category().message(error); }

std::error_code Describe(const File& file, FileInfo& info) {
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) return LastError();
  info.Regular = S_ISREG(st.st_mode);
  info.Size = static_cast<std::uint64_t>(st.st_size);
  info.Modified = std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  return {};
}

File OpenForReading(const std::filesystem::path& path, bool follow_links, std::error_code& error) {
  // Non-blocking, so that a FIFO cannot hold the process; it makes no difference to a regular file.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow_links ? 0 : O_NOFOLLOW);
  File file(Retry([&] { return ::open(path.c_str(), flags); }));
  error = file.IsOpen() ? std::error_code() : LastError();
  return file;
}

File CreateNew(const std::filesystem::path& path, std::error_code& error) {
  File file(Retry([&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }));
  error = file.IsOpen() ? std::error_code() : LastError();
  return file;
}

std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> into,
                   std::error_code& error) {
  error.clear();
  std::size_t done = 0;
  while (done < into.size()) {
    const ssize_t n = Retry([&] {
      return ::pread(file.Get(), into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
    });
    if (n < 0) {
      error = LastError();
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void AdviseReads(const File& file, bool sequential) {
  ::posix_fadvise(file.Get(), 0, 0, sequential ? POSIX_FADV_SEQUENTIAL : POSIX_FADV_RANDOM);
}

void AdviseSoonRead(const File& file, std::uint64_t offset, std::uint64_t length) {
  ::posix_fadvise(file.Get(), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

bool TakesReadAdvice() { return true; }

bool MayShareBlocks(const File& file) {
  struct statfs fs {};
  if (::fstatfs(file.Get(), &fs) != 0) return false;
  constexpr std::uint32_t kXfs = 0x58465342;
  constexpr std::uint32_t kBtrfs = 0x9123683E;
  const auto type = static_cast<std::uint32_t>(fs.f_type);
  return type == kXfs || type == kBtrfs;
}

std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t n =
        Retry([&] { return ::pwrite(file.Get(), bytes.data(), bytes.size(), static_cast<off_t>(offset)); });
    if (n < 0) return LastError();
    if (n == 0) return Errno(EIO);
    bytes = bytes.subspan(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return {};
}

std::error_code SetSize(const File& file, std::uint64_t size) {
  return Retry([&] { return ::ftruncate(file.Get(), static_cast<off_t>(size)); }) == 0 ? std::error_code()
                                                                                       : LastError();
}

std::size_t BlockSize(const File& file) {
  struct statfs fs {};
  if (::fstatfs(file.Get(), &fs) != 0 || fs.f_bsize < 512) return 4096;
  return static_cast<std::size_t>(fs.f_bsize);
}

std::error_code CopyWhole(const File& from, const File& to, std::uint64_t size, CopyWay* way) {
  CopyWay done = CopyWay::kNothing;
#if defined(FICLONE)
  if (::ioctl(to.Get(), FICLONE, from.Get()) == 0) {
    if (way != nullptr) *way = CopyWay::kShared;
    return {};
  }
  if (!Refused(errno)) return LastError();
  // A refused clone may have left something behind: the copy starts from an empty file of the right size.
  if (const std::error_code cut = SetSize(to, 0)) return cut;
#endif
  if (const std::error_code sized = SetSize(to, size)) return sized;
  const std::error_code error = CopyRange(from, 0, to, 0, size, &done);
  if (way != nullptr) *way = done;
  return error;
}

std::error_code CopyRange(const File& from, std::uint64_t from_offset, const File& to,
                          std::uint64_t to_offset, std::uint64_t size, CopyWay* way) {
  CopyWay done = CopyWay::kNothing;
#if defined(FICLONERANGE)
  // A stretch on the blocks' edges is shared whole where the file system can, holes and all: then it is
  // known that nothing was copied, and that the file's flush has none of these bytes to write.
  file_clone_range clone{from.Get(), from_offset, size, to_offset};
  if (size > 0 && ::ioctl(to.Get(), FICLONERANGE, &clone) == 0) {
    if (way != nullptr) *way = CopyWay::kShared;
    return {};
  }
#endif
  const std::uint64_t end = from_offset + size;
  std::uint64_t at = from_offset;
  while (at < end) {
    // The next stretch of data and the hole after it; a file system that cannot tell has no holes.
    std::uint64_t data = at;
    std::uint64_t hole = end;
#if defined(SEEK_DATA)
    const off_t found = ::lseek(from.Get(), static_cast<off_t>(at), SEEK_DATA);
    if (found < 0 && errno == ENXIO) break;  // holes to the end (or the file is shorter than it was)
    if (found >= 0) {
      data = static_cast<std::uint64_t>(found);
      const off_t after = ::lseek(from.Get(), found, SEEK_HOLE);
      hole = after < 0 ? end : std::min(end, static_cast<std::uint64_t>(after));
    }
#endif
    if (data >= end) break;
    if (const std::error_code error =
            CopyData(from, data, to, to_offset + (data - from_offset), hole - data, done)) {
      return error;
    }
    at = hole;
  }
  if (way != nullptr) *way = done;
  return {};
}

std::error_code FlushData(const File& file) {
  return Retry([&] { return ::fdatasync(file.Get()); }) == 0 ? std::error_code() : LastError();
}

std::error_code FlushFile(const std::filesystem::path& path) {
  const File file(Retry([&] { return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC); }));
  return file.IsOpen() ? FlushData(file) : LastError();
}

void StartWriteBack(const File& file) {
#if defined(__linux__)
  ::sync_file_range(file.Get(), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)file;
#endif
}

std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return LastError();
#endif
  // File systems without the flag: a hard link is refused when the name exists.
  if (::link(from.c_str(), to.c_str()) == 0) {
    if (::unlink(from.c_str()) == 0) return {};
    const std::error_code error = LastError();
    ::unlink(to.c_str());
    return error;
  }
  if (errno == EEXIST || errno == EXDEV || errno == ENOENT) return LastError();
  // Nor hard links (FAT and the like): test, then rename; another process could slip in between.
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) return Errno(EEXIST);
  return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code PutInPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                           bool& replaced) {
  replaced = false;
#if defined(RENAME_NOREPLACE) && defined(RENAME_EXCHANGE)
  // Most names are new: one call gives them. Over an existing file the two names are exchanged and the old
  // file is then removed under the other name: ext4 starts writing a file renamed over another one to the
  // device at once, which costs about four times the whole write of a camera JPEG, and the exchange does not
  // ask for it. A folder that the exchange brought back cannot be unlinked: it is put back, and refused.
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno == EEXIST && ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
    if (::unlink(from.c_str()) == 0) {
      replaced = true;
      return {};
    }
    const std::error_code error = LastError();
    ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE);
    return error;
  }
  // EINVAL: a file system that cannot refuse or exchange a name, where a plain rename serves.
#endif
  struct stat st {};
  const bool existed = ::lstat(to.c_str(), &st) == 0;
  if (::rename(from.c_str(), to.c_str()) != 0) return LastError();
  replaced = existed;
  return {};
}

std::error_code RemoveFile(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0 ? std::error_code() : LastError();
}

}  // namespace qm::platform

#endif  // _WIN32
