#include "app/platform_paths.h"

#include <cstdlib>
#include <system_error>

#include "platform/file_services.h"

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
  // A folder's read-only attribute means nothing, and its rights depend on the user: only a file made there
  // tells. A file may be written when it opens for writing.
  std::wstring system_path = platform::SystemPath(path);
  if (system_path.ends_with(L'\\')) system_path.pop_back();
  const DWORD attributes = ::GetFileAttributesW(system_path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!folder && (attributes & FILE_ATTRIBUTE_READONLY) != 0) return false;
  const std::wstring probe =
      folder ? system_path + L"\\.quillmark-" + std::to_wstring(::GetCurrentProcessId()) + L"-probe" : system_path;
  const HANDLE file =
      ::CreateFileW(probe.c_str(), GENERIC_WRITE | (folder ? DELETE : 0), FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    folder ? CREATE_NEW : OPEN_EXISTING,
                    folder ? FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
#else
  return ::access(path.c_str(), W_OK) == 0;
#endif
}

std::filesystem::path ExecutableFolder() {
#ifdef _WIN32
  std::wstring path(32768, L'\0');  // the longest path the system has
  const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (n == 0 || n == path.size()) return {};
  path.resize(n);
  // Without the "\\?\" that a program started by such a path is given.
  if (path.starts_with(L"\\\\?\\UNC\\")) path = L"\\\\" + path.substr(8);
  if (path.starts_with(L"\\\\?\\")) path = path.substr(4);
  return std::filesystem::path(path).parent_path();
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
  // Where a program installed under Program Files keeps a user's settings.
  const wchar_t* appdata = ::_wgetenv(L"APPDATA");
  if (appdata == nullptr || appdata[0] == L'\0') return beside;
  return std::filesystem::path(appdata) / "Quillmark" / kIniName;
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
