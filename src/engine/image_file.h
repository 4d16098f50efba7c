#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/image_edit.h"
#include "engine/temporary_files.h"

// Reading an image file whole and writing the processed image safely. The one place of the engine that talks
// to the operating system's file services.

namespace qm::engine {

/// An input image file, open for the time one image is processed.
class InputImageFile {
 public:
  enum class Status { kRead, kNothingToRead, kTooLarge, kShortRead };

  InputImageFile() = default;
  InputImageFile(const InputImageFile&) = delete;
  InputImageFile& operator=(const InputImageFile&) = delete;
  ~InputImageFile();

  /// Opens the file (through a symbolic link only with `follow_links`) and reads all of it, in one read, into
  /// the front of `buffer`, which grows to the file's size when it is smaller and never shrinks.
  /// kNothingToRead: missing, a link not followed, not a regular file, empty, unreadable, or too big to hold.
  /// kTooLarge: larger than `max_size` bytes (0: no limit), nothing read. kShortRead: fewer bytes came than
  /// the file's size.
  Status Read(const std::filesystem::path& path, std::vector<std::uint8_t>& buffer, std::uint64_t max_size = 0,
              bool follow_links = false);
  /// The file's size in bytes, as read.
  std::size_t Size() const { return size_; }
  /// What went wrong, for logs; empty after kRead.
  const std::string& Detail() const { return detail_; }
  /// The open file's descriptor (POSIX), or -1.
  int Descriptor() const { return descriptor_; }
  /// The file's last `max_bytes` bytes (all of them when it is shorter), read in one go after `Read`; empty
  /// when they cannot be read.
  std::vector<std::uint8_t> ReadTail(std::size_t max_bytes) const;

 private:
  int descriptor_ = -1;
#if defined(_WIN32)
  std::filesystem::path path_;
#endif
  std::size_t size_ = 0;
  std::string detail_;
};

/// An output written in full to its temporary file, closed and checked, that has not yet taken its final
/// name. A caller that writes many outputs flushes them together and then gives each its name. Dropped
/// unfinished, the temporary file is removed and the final name never changed.
class PendingOutput {
 public:
  PendingOutput() = default;
  PendingOutput(PendingOutput&& other) noexcept;
  PendingOutput& operator=(PendingOutput&& other) noexcept;
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();

  /// Whether an output waits here.
  bool Waiting() const { return !temporary_.empty(); }
  /// Waits until the file's data are on the device (for a caller that cannot flush the whole file system).
  /// Returns an empty text, or what went wrong (the output is then dropped).
  std::string Flush();
  /// Completes the output: with `flush`, first waits until its data are on the device; then puts it in place
  /// of the final name in one step. Returns an empty text, or what went wrong (the temporary file is then
  /// removed and the final name untouched).
  std::string Finish(bool flush);
  /// Removes the temporary file; the final name is never touched.
  void Discard();

 private:
  friend std::string WriteOutputImage(const std::filesystem::path&, std::span<const std::uint8_t>,
                                      const OutputPlan&, const InputImageFile&, PendingOutput*);
  std::filesystem::path temporary_;
  std::filesystem::path path_;
};

/// Writes the output the plan gives to `path`: into a new temporary file of the same folder, each write
/// checked. The bytes the edit left unchanged are copied from `input` by the kernel where the file system
/// allows it, else written from the image, and the close is checked. With `pending`, the file is handed over
/// there unfinished; without, it is put in place of `path` at once, in one step, replacing a file of that name
/// (not flushed to the device). Returns an empty text on success, else what went wrong; on
/// failure the temporary file is removed and `path` is untouched.
std::string WriteOutputImage(const std::filesystem::path& path, std::span<const std::uint8_t> image,
                             const OutputPlan& plan, const InputImageFile& input, PendingOutput* pending);

}  // namespace qm::engine
