#include "cli/folder_events.h"

#include "cli/platform_console.h"

#ifdef __linux__
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#elif defined(_WIN32)
#include <windows.h>

#include <algorithm>

#include "platform/file_services.h"
#endif

namespace qm::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Up to `deadline`, in whole milliseconds rounded up, so that a wait never ends just before it.
std::chrono::milliseconds Left(Clock::time_point deadline) {
  return std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
}

}  // namespace

FolderEvents::FolderEvents() = default;

#ifdef __linux__

namespace {

// A new plain file is noted when its writer closes it (IN_CLOSE_WRITE), a renamed one when it arrives
// (IN_MOVED_TO); IN_CREATE serves the entries that are never closed after writing, such as a hard link.
constexpr std::uint32_t kWatched =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

}  // namespace

FolderEvents::~FolderEvents() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FolderEvents::Watch(const std::string& folder) {
  folder_ = folder;
  if (fd_ < 0) fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return std::string("the system gives no notifications of new files: ") + std::strerror(errno);
  struct stat st;
  const int watch =
      ::stat(folder.c_str(), &st) == 0 ? ::inotify_add_watch(fd_, folder.c_str(), kWatched) : -1;
  if (watch < 0) {
    return "the system gives no notifications of new files in " + folder + ": " + std::strerror(errno);
  }
  if (watch_ >= 0 && watch_ != watch) ::inotify_rm_watch(fd_, watch_);
  watch_ = watch;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  checked_ = Clock::now();
  return {};
}

void FolderEvents::Rewatch() {
  checked_ = Clock::now();
  struct stat st;
  // Not there (a share not mounted yet): the timed scan tells the user.
  if (::stat(folder_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (watch_ >= 0 && st.st_dev == device_ && st.st_ino == inode_) return;
  const int watch = ::inotify_add_watch(fd_, folder_.c_str(), kWatched);
  if (watch < 0) return;
  if (watch_ >= 0 && watch_ != watch) ::inotify_rm_watch(fd_, watch_);
  watch_ = watch;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  // The folder watched anew may hold files already.
  renewed_ = true;
}

bool FolderEvents::Drain() {
  bool noted = false;
  alignas(inotify_event) char buffer[16 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;  // EAGAIN: all read
    for (const char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + event->len;
      if (event->mask & IN_Q_OVERFLOW) {
        noted = true;  // events were lost: any entry may have come
        continue;
      }
      if (event->wd != watch_) continue;  // a folder watched before
      if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
        // The folder went, or went elsewhere: the next wait watches whatever bears its name then.
        if (event->mask & IN_IGNORED) watch_ = -1;
        checked_ = {};
        continue;
      }
      if (event->len == 0 || event->name[0] == '.' || (event->mask & IN_ISDIR)) continue;
      if (event->mask & IN_CREATE) {
        // A plain file just created is still being written: its close tells when it is done.
        struct stat st;
        const std::string path = folder_ + event->name;
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1) continue;
      }
      noted = true;
    }
  }
  return noted;
}

bool FolderEvents::WaitUntil(Clock::time_point deadline) {
  for (;;) {
    // The folder is looked at once a second: one stat, to follow it when it was replaced.
    if (fd_ >= 0 && !folder_.empty() && Clock::now() - checked_ >= std::chrono::seconds(1)) Rewatch();
    if (renewed_) {
      renewed_ = false;
      return true;
    }
    const std::chrono::milliseconds left = Left(deadline);
    if (left.count() <= 0 || !WaitReadable(fd_, left)) return false;
    if (Drain()) return true;
  }
}

#elif defined(_WIN32)

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder's volume and file index, which tell a folder from another one put under its name.
bool IdentityOf(HANDLE folder, std::uint64_t& volume, std::uint64_t& index) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(folder, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  volume = info.dwVolumeSerialNumber;
  index = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  return true;
}

}  // namespace

struct FolderEvents::Watched {
  HANDLE Folder = INVALID_HANDLE_VALUE;
  OVERLAPPED Read{};
  alignas(DWORD) char Buffer[64 * 1024];
  bool Reading = false;

  Watched() { Read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Watched() {
    Close();
    ::CloseHandle(Read.hEvent);
  }
  void Close() {
    if (Folder == INVALID_HANDLE_VALUE) return;
    ::CancelIoEx(Folder, &Read);
    DWORD n = 0;
    if (Reading) ::GetOverlappedResult(Folder, &Read, &n, TRUE);  // the buffer is the system's until then
    ::CloseHandle(Folder);
    Folder = INVALID_HANDLE_VALUE;
    Reading = false;
  }
  // Asks for the next changes: names created, renamed or removed in the folder, not below it.
  bool Listen() {
    ::ResetEvent(Read.hEvent);
    Reading = ::ReadDirectoryChangesW(Folder, Buffer, sizeof Buffer, FALSE, FILE_NOTIFY_CHANGE_FILE_NAME, nullptr,
                                      &Read, nullptr) != 0;
    return Reading;
  }
};

FolderEvents::~FolderEvents() = default;

std::string FolderEvents::Watch(const std::string& folder) {
  folder_ = folder;
  if (!watched_) watched_ = std::make_unique<Watched>();
  watched_->Close();
  watched_->Folder = ::CreateFileW(platform::SystemPath(folder).c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (watched_->Folder == INVALID_HANDLE_VALUE || !IdentityOf(watched_->Folder, device_, inode_) ||
      !watched_->Listen()) {
    const std::string why = platform::ErrorText(platform::LastError());
    watched_->Close();
    return "the system gives no notifications of new files in " + folder + ": " + why;
  }
  checked_ = Clock::now();
  return {};
}

void FolderEvents::Rewatch() {
  checked_ = Clock::now();
  // Not there (a share not connected yet): the timed scan tells the user.
  const HANDLE folder = ::CreateFileW(platform::SystemPath(folder_).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return;
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  const bool found = IdentityOf(folder, volume, index);
  ::CloseHandle(folder);
  if (!found || (watched_->Reading && volume == device_ && index == inode_)) return;
  // The folder watched anew may hold files already.
  if (Watch(folder_).empty()) renewed_ = true;
}

bool FolderEvents::Drain() {
  DWORD n = 0;
  const bool read = ::GetOverlappedResult(watched_->Folder, &watched_->Read, &n, FALSE) != 0;
  watched_->Reading = false;
  // The folder went (its read ends with an error): the next check watches whatever bears its name then.
  if (!read) {
    watched_->Close();
    checked_ = {};
    return false;
  }
  bool noted = n == 0;  // more changes than the buffer held: any entry may have come
  for (DWORD at = 0; n > 0;) {
    const auto* change = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(watched_->Buffer + at);
    const bool arrived = change->Action == FILE_ACTION_ADDED || change->Action == FILE_ACTION_RENAMED_NEW_NAME;
    if (arrived && change->FileNameLength > 0 && change->FileName[0] != L'.') noted = true;
    if (change->NextEntryOffset == 0) break;
    at += change->NextEntryOffset;
  }
  watched_->Listen();
  return noted;
}

bool FolderEvents::WaitUntil(Clock::time_point deadline) {
  for (;;) {
    // The folder is looked at once a second, to follow it when it was replaced.
    if (watched_ && Clock::now() - checked_ >= std::chrono::seconds(1)) Rewatch();
    if (renewed_) {
      renewed_ = false;
      return true;
    }
    const std::chrono::milliseconds left = Left(deadline);
    if (left.count() <= 0) return false;
    if (!watched_ || !watched_->Reading) {
      // Nothing to wait on but the time, a second at most, and the check.
      if (!WaitForEvent(nullptr, std::min<std::chrono::milliseconds>(left, std::chrono::seconds(1))) &&
          StopSignalReceived()) {
        return false;
      }
      continue;
    }
    if (!WaitForEvent(watched_->Read.hEvent, std::min<std::chrono::milliseconds>(left, std::chrono::seconds(1)))) {
      if (StopSignalReceived()) return false;
      continue;
    }
    if (Drain()) return true;
  }
}

#else

FolderEvents::~FolderEvents() = default;

std::string FolderEvents::Watch(const std::string& folder) {
  folder_ = folder;
  return "this system gives no notifications of new files";
}

void FolderEvents::Rewatch() {}

bool FolderEvents::Drain() { return false; }

bool FolderEvents::WaitUntil(Clock::time_point deadline) {
  const std::chrono::milliseconds left = Left(deadline);
  if (left.count() > 0) WaitReadable(-1, left);
  return false;
}

#endif

}  // namespace qm::cli
