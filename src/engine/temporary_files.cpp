#include "engine/temporary_files.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <vector>

#include "platform/file_services.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#endif

namespace qm::engine {
namespace {

#if defined(_WIN32)
using Handle = HANDLE;
const Handle kNoHandle = INVALID_HANDLE_VALUE;
int ProcessId() { return _getpid(); }
#else
using Handle = int;
constexpr Handle kNoHandle = -1;
int ProcessId() { return static_cast<int>(::getpid()); }
#endif

constexpr std::string_view kOwnerSuffix = "-owner";
constexpr std::size_t kTokenDigits = 16;

struct Mark {
  std::string Path;
  std::string Folder;
  Handle File = kNoHandle;
};

void Close(Handle file) {
#if defined(_WIN32)
  ::CloseHandle(file);
#else
  ::close(file);
#endif
}

void Remove(const std::string& path) {
#if defined(_WIN32)
  ::DeleteFileW(platform::SystemPath(path).c_str());
#else
  ::unlink(path.c_str());
#endif
}

// Whether two folder settings name one folder for the marks: on Windows whatever their separators and case.
bool SameFolderName(std::string_view a, std::string_view b) {
#if defined(_WIN32)
  const std::wstring wide_a = platform::SystemPath(a);
  const std::wstring wide_b = platform::SystemPath(b);
  return ::CompareStringOrdinal(wide_a.data(), static_cast<int>(wide_a.size()), wide_b.data(),
                                static_cast<int>(wide_b.size()), TRUE) == CSTR_EQUAL;
#else
  return a == b;
#endif
}

// This process: the key of its names ("<pid>.<token>") and its marks. A child made by fork has another id
// and draws a key of its own; the parent's marks stay the parent's.
class Self {
 public:
  static Self& Get() {
    static Self self;
    return self;
  }
  ~Self() {
    std::lock_guard lock(mutex_);
    if (pid_ == ProcessId()) ReleaseLocked();
  }

  std::mutex& Mutex() { return mutex_; }
  // The key of this process, with the mutex held.
  const std::string& Key() {
    if (pid_ != ProcessId()) {
      pid_ = ProcessId();
      marks_.clear();  // the parent's: their descriptors are the parent's locks too, and stay open
      std::random_device device;
      const std::uint64_t token = (std::uint64_t{device()} << 32) ^ device();
      char digits[kTokenDigits + 1];
      std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(token));
      key_ = std::to_string(pid_) + "." + digits;
    }
    return key_;
  }
  std::vector<Mark>& Marks() { return marks_; }
  void ReleaseLocked() {
    for (const Mark& mark : marks_) {
      Remove(mark.Path);
      Close(mark.File);
    }
    marks_.clear();
  }

 private:
  std::mutex mutex_;
  int pid_ = -1;
  std::string key_;
  std::vector<Mark> marks_;
};

// The key of a temporary name and whether it is of the earlier form "<pid>-" (made before names had a token).
struct ParsedName {
  std::string_view Key;
  long Pid = 0;
  bool Old = false;
};

std::optional<ParsedName> Parse(std::string_view name) {
  if (!name.starts_with(kTemporaryPrefix)) return std::nullopt;
  const std::string_view rest = name.substr(kTemporaryPrefix.size());
  ParsedName parsed;
  const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), parsed.Pid);
  if (ec != std::errc() || end == rest.data() || parsed.Pid <= 0) return std::nullopt;
  const std::size_t digits = static_cast<std::size_t>(end - rest.data());
  if (digits < rest.size() && rest[digits] == '-') {
    parsed.Old = true;
    return parsed;
  }
  const std::size_t key_end = digits + 1 + kTokenDigits;
  if (rest.size() <= key_end || rest[digits] != '.' || rest[key_end] != '-') return std::nullopt;
  for (std::size_t i = digits + 1; i < key_end; ++i) {
    if (std::isxdigit(static_cast<unsigned char>(rest[i])) == 0) return std::nullopt;
  }
  parsed.Key = rest.substr(0, key_end);
  return parsed;
}

#if defined(_WIN32)

std::string Message(DWORD error) { return platform::ErrorText(std::error_code(static_cast<int>(error), std::system_category())); }

// Makes the mark under a name of its own and locks its first byte, then gives it its name: whoever finds the
// mark finds it locked. The system unlocks it when the process ends however it ends.
Handle MakeMark(const std::string& path, std::string& why) {
  const std::wstring making = platform::SystemPath(path + ".new");
  const Handle file = ::CreateFileW(making.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = Message(::GetLastError());
    return kNoHandle;
  }
  OVERLAPPED first{};
  DWORD error = 0;
  if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
    error = ::GetLastError();
  }
  // ERROR_FILE_NOT_FOUND: a process that cleans up found the mark in the making, and took it for abandoned.
  if (error == 0 && !::MoveFileExW(making.c_str(), platform::SystemPath(path).c_str(), 0)) error = ::GetLastError();
  if (error != 0) {
    why = Message(error);
    ::CloseHandle(file);
    ::DeleteFileW(making.c_str());
    return kNoHandle;
  }
  return file;
}

TemporaryOwner MarkState(const std::string& path, long) {
  const Handle file = ::CreateFileW(platform::SystemPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  // The mark goes when its process ends normally; a process makes its mark before its first name.
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TemporaryOwner::kGone
                                                                          : TemporaryOwner::kUnknown;
  }
  OVERLAPPED first{};
  const bool free = ::LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first) != 0;
  const DWORD error = free ? 0 : ::GetLastError();
  ::CloseHandle(file);  // and with it the lock just taken
  if (free) return TemporaryOwner::kGone;
  return error == ERROR_LOCK_VIOLATION ? TemporaryOwner::kRunning : TemporaryOwner::kUnknown;
}

// Names of the earlier form carry only an id, which tells nothing here: no Windows version made them, so
// such a name comes from another machine.
TemporaryOwner OldNameState(long) { return TemporaryOwner::kUnknown; }

#else

// What names this process on this machine where a file system offers no locks: the boot, the id and the
// start time (a reused id starts later).
std::string BootId() {
  std::ifstream in("/proc/sys/kernel/random/boot_id");
  std::string id;
  std::getline(in, id);
  return id;
}

// The start time of process `pid` in clock ticks since the boot, or empty when it is gone or a zombie.
std::string StartTime(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(in, stat);
  // "pid (command) state ..." where the command may hold blanks and brackets: fields count from the last ')'.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return {};
  std::string_view fields = std::string_view(stat).substr(close + 2);
  if (fields.front() == 'Z' || fields.front() == 'X') return {};
  for (int field = 3; field < 22; ++field) {
    const std::size_t blank = fields.find(' ');
    if (blank == std::string_view::npos) return {};
    fields.remove_prefix(blank + 1);
  }
  return std::string(fields.substr(0, fields.find(' ')));
}

std::string Identity(long pid) { return BootId() + " " + std::to_string(pid) + " " + StartTime(pid); }

bool LocksUnsupported(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

// Makes the mark under a name of its own, locks it and writes who holds it, then gives it its name: whoever
// finds the mark finds it locked.
Handle MakeMark(const std::string& path, std::string& why) {
  const std::string making = path + ".new";
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    why = std::generic_category().message(errno);
    return kNoHandle;
  }
  int error = 0;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && !LocksUnsupported(errno)) error = errno;
  const std::string identity = Identity(ProcessId()) + "\n";
  if (error == 0 && ::write(fd, identity.data(), identity.size()) != static_cast<ssize_t>(identity.size())) {
    error = errno == 0 ? EIO : errno;
  }
  // ENOENT: a process that cleans up found the mark in the making, and took it for abandoned.
  if (error == 0 && ::rename(making.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    why = std::generic_category().message(error);
    ::unlink(making.c_str());
    ::close(fd);
    return kNoHandle;
  }
  return fd;
}

TemporaryOwner MarkState(const std::string& path, long pid) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  // The mark goes when its process ends normally; a process makes its mark before its first name.
  if (fd < 0) return errno == ENOENT ? TemporaryOwner::kGone : TemporaryOwner::kUnknown;
  if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
    ::close(fd);
    return TemporaryOwner::kGone;
  }
  const int error = errno;
  char text[256];
  const ssize_t n = LocksUnsupported(error) ? ::read(fd, text, sizeof text - 1) : -1;
  ::close(fd);
  if (error == EWOULDBLOCK) return TemporaryOwner::kRunning;
  if (n <= 0) return TemporaryOwner::kUnknown;
  // Without locks: a mark of this boot tells by the process's start time; one of another machine cannot.
  std::string written(text, static_cast<std::size_t>(n));
  while (!written.empty() && written.back() == '\n') written.pop_back();
  const std::string boot = BootId();
  if (boot.empty() || !written.starts_with(boot + " ")) return TemporaryOwner::kUnknown;
  return written == Identity(pid) ? TemporaryOwner::kRunning : TemporaryOwner::kGone;
}

// Names of the earlier form carry only an id: gone when no process has it. This version never makes them, so
// its own id on one is an earlier process's.
TemporaryOwner OldNameState(long pid) {
  if (pid == ProcessId()) return TemporaryOwner::kGone;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return TemporaryOwner::kGone;
  return TemporaryOwner::kUnknown;
}

#endif

}  // namespace

std::optional<std::string> OwnTemporaryPrefix(std::string_view folder, std::string* why) {
  Self& self = Self::Get();
  std::lock_guard lock(self.Mutex());
  const std::string prefix = std::string(kTemporaryPrefix) + self.Key() + "-";
  for (const Mark& mark : self.Marks()) {
    if (SameFolderName(mark.Folder, folder)) return prefix;
  }
  const std::string path = std::string(folder) + prefix + std::string(kOwnerSuffix).substr(1);
  std::string failure;
  Handle file = kNoHandle;
  // A process cleaning the folder up may take the mark in the making for abandoned and remove it: again.
  for (int attempt = 0; attempt < 3 && file == kNoHandle; ++attempt) file = MakeMark(path, failure);
  if (file == kNoHandle) {
    if (why != nullptr) *why = failure;
    return std::nullopt;
  }
  self.Marks().push_back({path, std::string(folder), file});
  return prefix;
}

std::string OwnTemporaryNameStart() {
  Self& self = Self::Get();
  std::lock_guard lock(self.Mutex());
  return std::string(kTemporaryPrefix) + self.Key() + "-";
}

void ReleaseOwnTemporaryMarks() {
  Self& self = Self::Get();
  std::lock_guard lock(self.Mutex());
  self.Key();  // a child of fork leaves its parent's marks alone
  self.ReleaseLocked();
}

TemporaryOwner OwnerOf(std::string_view folder, std::string_view name) {
  const std::optional<ParsedName> parsed = Parse(name);
  if (!parsed) return TemporaryOwner::kNone;
  if (parsed->Old) return OldNameState(parsed->Pid);
  {
    Self& self = Self::Get();
    std::lock_guard lock(self.Mutex());
    if (parsed->Key == self.Key()) return TemporaryOwner::kThisProcess;
  }
  return MarkState(std::string(folder) + std::string(kTemporaryPrefix) + std::string(parsed->Key) +
                       std::string(kOwnerSuffix),
                   parsed->Pid);
}

bool IsOwnerMark(std::string_view name) {
  const std::optional<ParsedName> parsed = Parse(name);
  return parsed && !parsed->Old &&
         name.substr(kTemporaryPrefix.size() + parsed->Key.size()) == kOwnerSuffix;
}

}  // namespace qm::engine
