#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm::test {

// Other processes, the same way on Linux and on Windows: a program (quillmark-cli, a tracer) started with its
// output into files, or this test program started again to run a child body, one that holds a lock or leaves
// what a killed Quillmark leaves.

/// The status of a process that was killed (as SIGKILL gives it on Linux; Kill gives it on Windows too).
inline constexpr int kKilledStatus = 128 + 9;

/// A program started with `line` (the program, then its arguments), nothing on its standard input, and its
/// standard output and error into `output` + ".stdout" and ".stderr". Killed, should it still run, when the
/// object goes.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& line, const std::filesystem::path& output);
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return handle_ != -1; }
  /// The process's id.
  long Id() const { return id_; }
  /// Waits until it ends: its exit status, or 128 plus the signal that ended it; -1 when it never started.
  int Wait();
  /// Ends it at once, as a crash or a power cut would (SIGKILL, TerminateProcess), and waits: kKilledStatus.
  int Kill();

 private:
  std::intptr_t handle_ = -1;  // the process id on Linux, its handle on Windows
  long id_ = 0;
  std::optional<int> status_;
};

/// Starts this test program again to run the child body `name` (see QUILLMARK_TEST_CHILD) with `arguments`, its
/// output into `output` + ".stdout" and ".stderr".
ChildProcess StartChild(const std::string& name, const std::vector<std::string>& arguments,
                        const std::filesystem::path& output);

/// Waits (ten seconds at most) until the file holds `text`; returns whether it does.
bool WaitForText(const std::filesystem::path& file, const std::string& text);

using ChildBody = int (*)(const std::vector<std::string>& arguments);
bool RegisterChild(const char* name, ChildBody body);

/// Runs the child body that the command line names, if it names one, and ends the process with its result
/// at once: no destructor of a static object runs, so that what the body made stays as a killed process leaves
/// it. The test programs' main calls it first.
void RunChildIfAsked(int argc, char** argv);

}  // namespace qm::test

/// Defines a child body, `int body(const std::vector<std::string>& arguments)`, which StartChild runs in a new
/// process of the test program.
#define QUILLMARK_TEST_CHILD(name)                                                        \
  static int name(const std::vector<std::string>& arguments);                            \
  [[maybe_unused]] static const bool name##_registered = qm::test::RegisterChild(#name, name); \
  static int name([[maybe_unused]] const std::vector<std::string>& arguments)
