#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_services.h"

namespace qm::test {

/// A fresh folder under the system's temporary folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// A subfolder, created; its path as a folder setting, ending with the separator.
  std::string Folder(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

/// The path as the system takes it whatever its length and its names (platform::SystemPath on Windows).
std::filesystem::path SystemPath(const std::filesystem::path& path);
/// The names in the folder given as UTF-8 text, "." and ".." left out, in the order the system gives them.
std::vector<std::string> ListNames(const std::string& folder);
/// Removes the folder with everything in it, read-only files and folders too.
void RemoveAll(const std::filesystem::path& folder);

/// The file's bytes, or an empty string when it cannot be read. A path given as text is UTF-8, as the core
/// holds paths (on Windows too).
std::string ReadFile(const std::filesystem::path& file);
inline std::string ReadFile(const std::string& file) { return ReadFile(platform::PathOf(file)); }
inline std::string ReadFile(const char* file) { return ReadFile(platform::PathOf(file)); }
/// Writes the bytes, replacing the file.
void WriteFile(const std::filesystem::path& file, std::string_view bytes);
inline void WriteFile(const std::string& file, std::string_view bytes) { WriteFile(platform::PathOf(file), bytes); }
inline void WriteFile(const char* file, std::string_view bytes) { WriteFile(platform::PathOf(file), bytes); }
/// Sets the environment variable for this process, or removes it when `value` is null.
void SetEnvironment(const char* name, const char* value);

}  // namespace qm::test
