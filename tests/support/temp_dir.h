#pragma once

#include <filesystem>
#include <string>
#include <string_view>

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

/// The file's bytes, or an empty string when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
/// Writes the bytes, replacing the file.
void WriteFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace qm::test
