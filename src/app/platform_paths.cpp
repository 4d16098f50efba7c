#include "app/platform_paths.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qm::app {
namespace {

constexpr const char* kIniName = "Quillmark.ini";

// An installed program lives under the system's prefix: its settings belong to each user, even to root, who
// could write beside it.
bool IsSystemFolder(const std::filesystem::path& folder) {
#ifdef _WIN32
  (void)folder;
  return false;
#else
  const auto normal = folder.lexically_normal();
  auto it = normal.begin();
  if (it == normal.end() || *it != "/" || ++it == normal.end()) return false;
  return *it == "usr" || *it == "bin" || *it == "sbin";
#endif
}

}  // namespace

bool CanWrite(const std::filesystem::path& path) {
#ifdef _WIN32
  std::error_code ec;
  const auto perms = std::filesystem::status(path, ec).permissions();
  return !ec && (perms & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return {};
  return std::filesystem::path(std::wstring(buffer, n)).parent_path();
#else
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
#endif
}

std::filesystem::path DefaultIniPath(const std::filesystem::path& program_folder) {
  const std::filesystem::path beside = program_folder / kIniName;
  std::error_code ec;
  // A portable copy keeps its settings beside it, even in a file made read-only (its settings are then
  // read, and a change is said not to be saved).
  const bool beside_counts = CanWrite(program_folder) || std::filesystem::exists(beside, ec);
  if (beside_counts && !IsSystemFolder(program_folder)) return beside;
#ifdef _WIN32
  return beside;
#else
  std::filesystem::path config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    config = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    config = std::filesystem::path(home) / ".config";
  } else {
    return beside;
  }
  return config / "Quillmark" / kIniName;
#endif
}

}  // namespace qm::app
