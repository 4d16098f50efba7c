#include "temp_dir.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

#include "engine/temporary_files.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace qm::test {

TempDir::TempDir() {
  std::random_device random;
  do {
    path_ = std::filesystem::temp_directory_path() / ("quillmark-test-" + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

TempDir::~TempDir() { RemoveAll(path_); }

std::vector<std::string> ListNames(const std::string& folder) {
  std::vector<std::string> names;
#if defined(_WIN32)
  // Not through std::filesystem, which takes no path behind "\\?\".
  WIN32_FIND_DATAW data;
  std::wstring pattern = platform::SystemPath(folder);
  if (pattern.ends_with(L'\\')) pattern.pop_back();
  const HANDLE find = ::FindFirstFileW((pattern + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(platform::TextOf(name));
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
#else
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename());
#endif
  return names;
}

void RemoveAll(const std::filesystem::path& folder) {
  // This process holds its marks open in the folders it wrote temporary files to. On Windows a file deleted
  // while open keeps its name until it is closed, and the removal met the mark again and again, each time
  // taking one more of Wine's descriptors, until the descriptors of every test program ran out.
  engine::ReleaseOwnTemporaryMarks();
  std::error_code ec;
  // Tests take write rights away from files and folders; give them back so everything can go.
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::remove_all(folder, ec);
}

std::string TempDir::Folder(std::string_view name) const {
  const auto folder = path_ / platform::PathOf(name);
  std::filesystem::create_directories(folder);
  std::string text = platform::TextOf(folder);
  text.push_back(static_cast<char>(std::filesystem::path::preferred_separator));
  return text;
}

std::filesystem::path SystemPath(const std::filesystem::path& path) {
#if defined(_WIN32)
  return platform::SystemPath(path);
#else
  return path;
#endif
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(SystemPath(file), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(SystemPath(file), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void SetEnvironment(const char* name, const char* value) {
#if defined(_WIN32)
  ::_putenv_s(name, value != nullptr ? value : "");  // an empty value removes the variable
#else
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
#endif
}

}  // namespace qm::test
