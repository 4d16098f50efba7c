#pragma once

#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace qm::test {

// Fault injection by process: a child that may not write big files, or that runs without root's power to
// ignore permission bits (the tests run as root in CI).

struct ChildLimits {
  /// Drop to nobody:nogroup (65534 on Debian) when running as root, so permission bits count.
  bool Unprivileged = false;
  /// Writes past this many bytes fail with EFBIG (0: no limit).
  rlim_t FileSizeLimit = 0;
};

/// Runs `body` in a forked child and returns what it returned, or 128 plus the signal that ended it.
inline int RunInChild(const ChildLimits& limits, const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (limits.FileSizeLimit > 0) {
      std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
      const rlimit limit = {limits.FileSizeLimit, limits.FileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(101);
    }
    if (limits.Unprivileged && ::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
         ::setresuid(65534, 65534, 65534) != 0)) {
      ::_exit(102);
    }
    ::_exit(body());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace qm::test
