#include "cli/folder_events.h"

#include "cli/platform_console.h"

#ifdef __linux__
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace qm::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Up to `deadline`, in whole milliseconds rounded up, so that a wait never ends just before it.
std::chrono::milliseconds Left(Clock::time_point deadline) {
  return std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
}

}  // namespace

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
