#pragma once

#include <string>
#include <string_view>

#include "support/temp_dir.h"

namespace qm::test {

/// A file system made in a sparse file of the temporary folder and mounted through a loop device for as long
/// as the object lives: "xfs" (with shared blocks) or "btrfs". It needs root, the file system's tools and
/// loop devices; when one is missing, Mounted() is false and Error() says what failed.
class LoopFileSystem {
 public:
  explicit LoopFileSystem(std::string_view type);
  ~LoopFileSystem();
  LoopFileSystem(const LoopFileSystem&) = delete;
  LoopFileSystem& operator=(const LoopFileSystem&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Error() const { return error_; }
  /// A folder of the file system, created; its path ends with the separator.
  std::string Folder(std::string_view name) const;

 private:
  TempDir dir_;
  std::string mount_point_;
  bool mounted_ = false;
  std::string error_;
};

}  // namespace qm::test
