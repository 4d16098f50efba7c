#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace qm::inspector {

/// How reading a whole file went.
enum class FileRead {
  kComplete,       ///< every byte the file's size promised was read
  kNothingToRead,  ///< missing, empty, unreadable, or not a regular file (a folder, a pipe, a device)
  kShortRead,      ///< the file ended before its size: `bytes` holds what came
};

/// Reads the regular file at `path` into `bytes` (resized to what was read), opened for reading only and
/// closed before return. Never waits on a pipe or a device: anything but a regular file gives kNothingToRead
/// without a byte read. This is the one place where the inspector touches the platform's file calls.
FileRead ReadWholeFile(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes);

}  // namespace qm::inspector
