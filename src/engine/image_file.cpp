#include "engine/image_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <process.h>

#include <fstream>
#else
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace qm::engine {

namespace {

// A fresh temporary name beside `path`, or nothing when this process cannot mark names there as its own
// (`why` says why).
std::optional<std::filesystem::path> TemporaryPath(const std::filesystem::path& path, int attempt,
                                                   std::string& why) {
  static std::atomic<unsigned> counter{0};
  const std::optional<std::string> prefix = OwnTemporaryPrefix(path.parent_path().string() + "/", &why);
  if (!prefix) return std::nullopt;
  return path.parent_path() / (*prefix + std::to_string(counter++) + "-" + std::to_string(attempt) + ".tmp");
}

// The system calls would read such a path only up to the zero byte, and write somewhere else.
bool HoldsZeroByte(const std::filesystem::path& path) {
  return path.native().find(std::filesystem::path::value_type{}) != std::filesystem::path::string_type::npos;
}

// The output's pieces in order, as ranges of the image.
struct Range {
  std::size_t Begin;
  std::size_t End;
};

std::vector<Range> OutputRanges(std::size_t size, const OutputPlan& plan) {
  std::vector<Range> ranges;
  const std::size_t cut_begin = std::min(plan.CutBegin, size);
  const std::size_t cut_end = std::min(std::max(plan.CutEnd, cut_begin), size);
  if (cut_begin > 0) ranges.push_back({0, cut_begin});
  if (cut_end < size) ranges.push_back({cut_end, size});
  return ranges;
}

}  // namespace

#if !defined(_WIN32)

namespace {

// A tail shorter than this is written from memory: the kernel copy would save nothing worth a system call.
constexpr std::size_t kKernelCopyMinimum = 64 * 1024;

std::string ErrnoText(const std::string& what, const std::filesystem::path& path, int error) {
  return what + " " + path.string() + ": " + std::generic_category().message(error);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = EIO;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

enum class CopyResult { kCopied, kUnsupported, kFailed };

// Copies `size` bytes of the input from `offset` to the output's position, in the kernel. kUnsupported leaves
// `copied` bytes done and the rest for the caller to write; the file system or kernel cannot do it, or the
// input is shorter than when it was read.
CopyResult KernelCopy(int in, std::size_t offset, int out, std::size_t size, std::size_t& copied) {
  copied = 0;
#if defined(__linux__)
  auto in_offset = static_cast<off_t>(offset);
  while (copied < size) {
    const ssize_t n = ::copy_file_range(in, &in_offset, out, nullptr, size - copied, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      if (e == EXDEV || e == ENOSYS || e == EOPNOTSUPP || e == EINVAL || e == EBADF || e == ETXTBSY ||
          e == EPERM || e == EISDIR) {
        return CopyResult::kUnsupported;
      }
      return CopyResult::kFailed;
    }
    if (n == 0) return CopyResult::kUnsupported;
    copied += static_cast<std::size_t>(n);
  }
  return CopyResult::kCopied;
#else
  (void)in, (void)offset, (void)out, (void)size;
  return CopyResult::kUnsupported;
#endif
}

// Writes the pieces: what the edit changed from the image, the rest from the input file.
bool WritePieces(int fd, std::span<const std::uint8_t> image, const OutputPlan& plan, int input) {
  for (const Range& range : OutputRanges(image.size(), plan)) {
    const std::size_t split = std::clamp(plan.ChangedEnd, range.Begin, range.End);
    std::size_t from = range.Begin;
    if (input >= 0 && range.End - split >= kKernelCopyMinimum) {
      if (!WriteAll(fd, image.data() + from, split - from)) return false;
      std::size_t copied = 0;
      const CopyResult copy = KernelCopy(input, split, fd, range.End - split, copied);
      if (copy == CopyResult::kFailed) return false;
      from = split + copied;
    }
    if (!WriteAll(fd, image.data() + from, range.End - from)) return false;
  }
  return true;
}

}  // namespace

InputImageFile::~InputImageFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

InputImageFile::Status InputImageFile::Read(const std::filesystem::path& path,
                                            std::vector<std::uint8_t>& buffer, std::uint64_t max_size,
                                            bool follow_links) {
  if (HoldsZeroByte(path)) {
    detail_ = "the path holds a zero byte";
    return Status::kNothingToRead;
  }
  // Non-blocking, so that a FIFO cannot hold the run; it makes no difference to a regular file. A link is
  // never followed: its target may be a file that the output folder's readers should not see.
  descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow_links ? 0 : O_NOFOLLOW));
  if (descriptor_ < 0) {
    detail_ = ErrnoText("cannot open", path, errno);
    return Status::kNothingToRead;
  }
  struct stat info {};
  if (::fstat(descriptor_, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 1) {
    detail_ = path.string() + ": not a regular file with content";
    return Status::kNothingToRead;
  }
  if (max_size > 0 && static_cast<std::uint64_t>(info.st_size) > max_size) {
    detail_ = std::to_string(info.st_size) + " bytes";
    return Status::kTooLarge;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  try {
    if (buffer.size() < size) buffer.resize(size);
  } catch (const std::bad_alloc&) {
    detail_ = path.string() + ": " + std::to_string(size) + " bytes do not fit in memory";
    return Status::kNothingToRead;
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(descriptor_, buffer.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done < size) {
    detail_ = path.string() + ": read " + std::to_string(done) + " of " + std::to_string(size) + " bytes";
    return Status::kShortRead;
  }
  size_ = size;
  return Status::kRead;
}

std::vector<std::uint8_t> InputImageFile::ReadTail(std::size_t max_bytes) const {
  std::vector<std::uint8_t> tail(std::min(max_bytes, size_));
  const auto offset = static_cast<off_t>(size_ - tail.size());
  ssize_t n = -1;
  do {
    n = ::pread(descriptor_, tail.data(), tail.size(), offset);
  } while (n < 0 && errno == EINTR);
  tail.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return tail;
}

namespace {

// Puts the finished temporary file under the final name in one step; returns 0 or the error. Over an existing
// file the two names are exchanged and the old file is then removed under the temporary name: ext4 starts
// writing a file renamed over another one to the device at once, which costs about four times the whole
// write of a camera JPEG, and the exchange does not ask for it. Anything but a file under the final name is
// put back and refused, as a rename would refuse a folder.
int PutInPlace(const std::filesystem::path& temporary, const std::filesystem::path& path) {
#if defined(__linux__)
  // Most outputs are new: one call gives them their name.
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno == EEXIST &&
      ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
    if (::unlink(temporary.c_str()) == 0) return 0;
    const int error = errno;
    ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE);
    return error;
  }
  // EINVAL: a file system that cannot refuse or exchange a name, where a plain rename serves.
#endif
  return ::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string WriteOutputImage(const std::filesystem::path& path, std::span<const std::uint8_t> image,
                             const OutputPlan& plan, const InputImageFile& input, PendingOutput* pending) {
  if (HoldsZeroByte(path)) return "the output path holds a zero byte";
  std::filesystem::path temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    std::string why;
    const std::optional<std::filesystem::path> name = TemporaryPath(path, attempt, why);
    if (!name) return "cannot write the output " + path.string() + ": " + why;
    temporary = *name;
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return ErrnoText("cannot write the output", path, errno);
  }
  if (fd < 0) return ErrnoText("cannot write the output", path, EEXIST);

  PendingOutput output;
  output.temporary_ = temporary;
  output.path_ = path;
  const bool written = WritePieces(fd, image, plan, input.Descriptor());
  const int write_error = errno;
#if defined(__linux__)
  // An output that waits for its group's flush starts on its way to the device now, while the next images are
  // read and written, so that the flush finds little left to do.
  if (written && pending != nullptr) ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  // The close is the last chance to hear of a failed write (a full share).
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    const std::string failure = written ? ErrnoText("cannot write the output", path, errno)
                                        : ErrnoText("cannot write the output", path, write_error);
    output.Discard();
    return failure;
  }
  if (pending != nullptr) {
    *pending = std::move(output);
    return {};
  }
  return output.Finish(false);
}

std::string PendingOutput::Flush() {
  if (temporary_.empty()) return "no output is waiting";
  const int fd = ::open(temporary_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  const bool flushed = fd >= 0 && ::fdatasync(fd) == 0;
  const int error = errno;
  if (fd >= 0) ::close(fd);
  if (flushed) return {};
  const std::string failure = ErrnoText("cannot flush the output", path_, error);
  Discard();
  return failure;
}

std::string PendingOutput::Finish(bool flush) {
  if (temporary_.empty()) return "no output is waiting";
  if (flush) {
    if (std::string failure = Flush(); !failure.empty()) return failure;
  }
  if (const int error = PutInPlace(temporary_, path_); error != 0) {
    const std::string failure = ErrnoText("cannot put in place the output", path_, error);
    Discard();
    return failure;
  }
  temporary_.clear();
  return {};
}

void PendingOutput::Discard() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

#else  // Windows: the standard streams, without the kernel copy or the flush to the device.

InputImageFile::~InputImageFile() = default;

InputImageFile::Status InputImageFile::Read(const std::filesystem::path& path,
                                            std::vector<std::uint8_t>& buffer, std::uint64_t max_size,
                                            bool follow_links) {
  std::error_code ec;
  if (HoldsZeroByte(path) || (!follow_links && std::filesystem::is_symlink(path, ec)) ||
      !std::filesystem::is_regular_file(path, ec)) {
    detail_ = path.string() + ": not a regular file";
    return Status::kNothingToRead;
  }
  std::ifstream in(path, std::ios::binary);
  const auto size = std::filesystem::file_size(path, ec);
  if (!in || ec || size < 1) {
    detail_ = path.string() + ": cannot be opened or is empty";
    return Status::kNothingToRead;
  }
  if (max_size > 0 && size > max_size) {
    detail_ = std::to_string(size) + " bytes";
    return Status::kTooLarge;
  }
  try {
    if (buffer.size() < size) buffer.resize(size);
  } catch (const std::bad_alloc&) {
    detail_ = path.string() + ": does not fit in memory";
    return Status::kNothingToRead;
  }
  in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(size));
  if (static_cast<std::uintmax_t>(in.gcount()) < size) {
    detail_ = path.string() + ": read fell short";
    return Status::kShortRead;
  }
  size_ = static_cast<std::size_t>(size);
  path_ = path;
  return Status::kRead;
}

std::vector<std::uint8_t> InputImageFile::ReadTail(std::size_t max_bytes) const {
  std::vector<std::uint8_t> tail(std::min(max_bytes, size_));
  std::ifstream in(path_, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(size_ - tail.size()));
  in.read(reinterpret_cast<char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  tail.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return tail;
}

// Here the temporary file is written and closed at once; a waiting output only keeps its name (descriptor 0
// marks it).
std::string WriteOutputImage(const std::filesystem::path& path, std::span<const std::uint8_t> image,
                             const OutputPlan& plan, const InputImageFile&, PendingOutput* pending) {
  if (HoldsZeroByte(path)) return "the output path holds a zero byte";
  std::string why;
  const std::optional<std::filesystem::path> temporary = TemporaryPath(path, 0, why);
  if (!temporary) return "cannot write the output " + path.string() + ": " + why;
  PendingOutput output;
  output.temporary_ = *temporary;
  output.path_ = path;
  {
    std::ofstream out(output.temporary_, std::ios::binary | std::ios::trunc);
    for (const Range& range : OutputRanges(image.size(), plan)) {
      out.write(reinterpret_cast<const char*>(image.data() + range.Begin),
                static_cast<std::streamsize>(range.End - range.Begin));
    }
    out.close();
    if (!out) {
      const std::string failure = "cannot write " + output.temporary_.string();
      output.Discard();
      return failure;
    }
  }
  if (pending != nullptr) {
    *pending = std::move(output);
    return {};
  }
  return output.Finish(false);
}

std::string PendingOutput::Flush() { return temporary_.empty() ? "no output is waiting" : std::string(); }

std::string PendingOutput::Finish(bool) {
  if (temporary_.empty()) return "no output is waiting";
  std::error_code ec;
  std::filesystem::rename(temporary_, path_, ec);
  if (ec) {
    const std::string failure = "cannot rename " + temporary_.string() + " to " + path_.string();
    std::filesystem::remove(temporary_, ec);
    temporary_.clear();
    return failure;
  }
  temporary_.clear();
  return {};
}

void PendingOutput::Discard() {
  std::error_code ec;
  if (!temporary_.empty()) std::filesystem::remove(temporary_, ec);
  temporary_.clear();
}

#endif

PendingOutput::PendingOutput(PendingOutput&& other) noexcept { *this = std::move(other); }

PendingOutput& PendingOutput::operator=(PendingOutput&& other) noexcept {
  if (this != &other) {
    Discard();
    temporary_ = std::exchange(other.temporary_, {});
    path_ = std::move(other.path_);
  }
  return *this;
}

PendingOutput::~PendingOutput() { Discard(); }

}  // namespace qm::engine
