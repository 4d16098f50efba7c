#include "support/child_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>
#include <utility>

#include "platform/file_services.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qm::test {
namespace {

constexpr const char* kChildOption = "--quillmark-test-child";

std::map<std::string, ChildBody>& Bodies() {
  static std::map<std::string, ChildBody> bodies;
  return bodies;
}

std::filesystem::path ThisProgram() {
#if defined(_WIN32)
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
#else
  return std::filesystem::read_symlink("/proc/self/exe");
#endif
}

#if defined(_WIN32)
// One argument as the C runtime splits a command line: in quotes, a quote and the backslashes before it
// escaped.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

HANDLE Inherited(const std::filesystem::path& file, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
#endif

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& line, const std::filesystem::path& output) {
  const std::filesystem::path out = output.string() + ".stdout";
  const std::filesystem::path err = output.string() + ".stderr";
#if defined(_WIN32)
  std::wstring command;
  for (const std::string& argument : line) command += (command.empty() ? L"" : L" ") + Quoted(platform::PathOf(argument).native());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inherited(L"NUL", GENERIC_READ, OPEN_EXISTING);
  startup.hStdOutput = Inherited(out, GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = Inherited(err, GENERIC_WRITE, CREATE_ALWAYS);
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    ::CloseHandle(process.hThread);
    handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
    id_ = static_cast<long>(process.dwProcessId);
  }
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError}) ::CloseHandle(h);
#else
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDONLY);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    std::vector<std::string> arguments = line;
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  if (pid > 0) {
    handle_ = pid;
    id_ = pid;
  }
#endif
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), id_(other.id_), status_(other.status_) {}

ChildProcess::~ChildProcess() {
  if (Started() && !status_) Kill();
#if defined(_WIN32)
  if (Started()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
#endif
}

int ChildProcess::Wait() {
  if (!Started()) return -1;
  if (status_) return *status_;
#if defined(_WIN32)
  const HANDLE process = reinterpret_cast<HANDLE>(handle_);
  DWORD code = 0;
  ::WaitForSingleObject(process, INFINITE);
  ::GetExitCodeProcess(process, &code);
  status_ = static_cast<int>(code);
#else
  int status = 0;
  if (::waitpid(static_cast<pid_t>(handle_), &status, 0) != handle_) return -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#endif
  return *status_;
}

int ChildProcess::Kill() {
  if (!Started()) return -1;
#if defined(_WIN32)
  if (!status_) ::TerminateProcess(reinterpret_cast<HANDLE>(handle_), kKilledStatus);
#else
  if (!status_) ::kill(static_cast<pid_t>(handle_), SIGKILL);
#endif
  return Wait();
}

ChildProcess StartChild(const std::string& name, const std::vector<std::string>& arguments,
                        const std::filesystem::path& output) {
  std::vector<std::string> line = {platform::TextOf(ThisProgram()), kChildOption, name};
  line.insert(line.end(), arguments.begin(), arguments.end());
  return ChildProcess(line, output);
}

bool WaitForText(const std::filesystem::path& file, const std::string& text) {
  for (int i = 0; i < 10'000; ++i) {
    if (ReadFile(file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

bool RegisterChild(const char* name, ChildBody body) {
  Bodies()[name] = body;
  return true;
}

void RunChildIfAsked(int argc, char** argv) {
  if (argc < 3 || std::string(argv[1]) != kChildOption) return;
#if defined(_WIN32)
  ::_setmode(::_fileno(stdout), _O_BINARY);  // lines end as on Linux
#endif
  const auto body = Bodies().find(argv[2]);
  if (body == Bodies().end()) std::_Exit(126);
  const int status = body->second(std::vector<std::string>(argv + 3, argv + argc));
  std::fflush(nullptr);
  std::_Exit(status);
}

}  // namespace qm::test
