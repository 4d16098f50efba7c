#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image_edit.h"

// Reading an image file whole and writing the processed image safely. The one place of the engine that talks
// to the operating system's file services.

namespace qm::engine {

/// How the temporary files made beside an output or an archived copy are named: this prefix, the id of the
/// process that made them, "-", and the rest. A crash leaves them behind; a later run removes those whose
/// process is gone.
inline constexpr std::string_view kTemporaryPrefix = ".quillmark-";

/// An input image file, open for the time one image is processed.
class InputImageFile {
 public:
  enum class Status { kRead, kNothingToRead, kShortRead };

  InputImageFile() = default;
  InputImageFile(const InputImageFile&) = delete;
  InputImageFile& operator=(const InputImageFile&) = delete;
  ~InputImageFile();

  /// Opens the file and reads all of it, in one read, into the front of `buffer`, which grows to the file's
  /// size when it is smaller and never shrinks. kNothingToRead: missing, not a regular file, empty,
  /// unreadable, or too big to hold. kShortRead: fewer bytes came than the file's size.
  Status Read(const std::filesystem::path& path, std::vector<std::uint8_t>& buffer);
  /// The file's size in bytes, as read.
  std::size_t Size() const { return size_; }
  /// What went wrong, for logs; empty after kRead.
  const std::string& Detail() const { return detail_; }
  /// The open file's descriptor (POSIX), or -1.
  int Descriptor() const { return descriptor_; }

 private:
  int descriptor_ = -1;
  std::size_t size_ = 0;
  std::string detail_;
};

/// Writes the output the plan gives to `path`: into a new temporary file of the same folder, each write and
/// the close checked, then put in place of `path` in one step (replacing a file of that name). The bytes the
/// edit left unchanged are copied from `input` by the kernel where the file system allows it, else written
/// from the image. With `durable`, the file is flushed to the device before the rename and the folder after
/// it. Returns an empty text on success, else what went wrong; on failure the temporary file is removed and
/// `path` is untouched (unless only the folder's flush failed, after the rename).
std::string WriteOutputImage(const std::filesystem::path& path, std::span<const std::uint8_t> image,
                             const OutputPlan& plan, const InputImageFile& input, bool durable);

}  // namespace qm::engine
