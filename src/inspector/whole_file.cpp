#include "inspector/whole_file.h"

#ifdef _WIN32
#include <fstream>
#include <system_error>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace qm::inspector {

#ifdef _WIN32

FileRead ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return FileRead::kNothingToRead;
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return FileRead::kNothingToRead;
  const std::streamoff size = in.tellg();
  if (size <= 0) return FileRead::kNothingToRead;
  bytes.resize(static_cast<std::size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes.size() == static_cast<std::size_t>(size) ? FileRead::kComplete : FileRead::kShortRead;
}

#else

namespace {

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

FileRead ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  // Non-blocking, so that a pipe put in the folder cannot hold the window; the type is checked on the open
  // file.
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.get() < 0) return FileRead::kNothingToRead;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    return FileRead::kNothingToRead;
  }
  const auto size = static_cast<std::size_t>(info.st_size);
  bytes.resize(size);
  std::size_t got = 0;
  while (got < size) {
    // One read may return less than asked for without the file having ended (a signal, the 2 GB cap per
    // call).
    const ssize_t n = ::read(file.get(), bytes.data() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return got == size ? FileRead::kComplete : FileRead::kShortRead;
}

#endif

}  // namespace qm::inspector
