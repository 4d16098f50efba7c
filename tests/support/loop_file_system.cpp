#include "support/loop_file_system.h"

#include <cstdlib>
#include <filesystem>

namespace qm::test {

LoopFileSystem::LoopFileSystem(std::string_view type) : mount_point_(dir_.Folder("mount")) {
  const std::string image = (dir_.Path() / "image").string();
  // XFS wants 300 MB at least; the file stays sparse.
  const std::string make = type == "xfs" ? "mkfs.xfs -q -m reflink=1 " : "mkfs.btrfs -q ";
  const std::string commands[] = {"truncate -s 512M " + image, make + image,
                                  "mount -o loop " + image + " " + mount_point_};
  for (const std::string& command : commands) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0) {
      error_ = "failed: " + command + " (it needs root, loop devices and the file system's tools)";
      return;
    }
  }
  mounted_ = true;
}

LoopFileSystem::~LoopFileSystem() {
  if (!mounted_) return;
  const int unmounted = std::system(("umount " + mount_point_ + " >/dev/null 2>&1").c_str());
  (void)unmounted;  // a busy mount stays; nothing more can be done here
}

std::string LoopFileSystem::Folder(std::string_view name) const {
  const std::filesystem::path folder = std::filesystem::path(mount_point_) / name;
  std::filesystem::create_directories(folder);
  return folder.string() + "/";
}

}  // namespace qm::test
