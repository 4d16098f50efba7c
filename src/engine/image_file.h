#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/image_bytes.h"
#include "engine/image_edit.h"
#include "engine/temporary_files.h"
#include "platform/file_services.h"

// Reading an image file and writing the processed image safely: the engine's files, over the platform's file
// services.

namespace qm::engine {

/// Asks the system to start reading, without waiting, what processing the file at `path` reads first (its
/// first piece and last bytes, or all of a small file), for a file that comes after the one in hand. Nothing
/// where the system takes no such advice, or when `path` is not a regular file (a link is not followed).
void ReadSoon(const std::filesystem::path& path);

/// An input image file, open for the time one image is processed.
class InputImageFile {
 public:
  enum class Status { kRead, kNothingToRead, kTooLarge, kShortRead };

  InputImageFile() = default;
  InputImageFile(const InputImageFile&) = delete;
  InputImageFile& operator=(const InputImageFile&) = delete;

  /// Opens the file (through a symbolic link only with `follow_links`) and notes its size and modification
  /// time; nothing is read, and the system is told to read no more than is asked. kRead, or kNothingToRead:
  /// missing, a link not followed, not a regular file, empty, or unreadable.
  Status Open(const std::filesystem::path& path, bool follow_links = false);
  /// Opens the file and reads all of it into the front of `buffer`, which grows to the file's size when it is
  /// smaller and never shrinks. kNothingToRead as Open, or too big to hold. kTooLarge: larger than `max_size`
  /// bytes (0: no limit), nothing read. kShortRead: fewer bytes came than the file's size.
  Status Read(const std::filesystem::path& path, std::vector<std::uint8_t>& buffer,
              std::uint64_t max_size = 0, bool follow_links = false);
  /// Reads the bytes from `offset` into `into`, with one read where the system gives them at once (the last
  /// 4 KB of the file, say); returns how many came: fewer at the end of the file or on an error.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into, std::error_code& error) const;
  /// Tells the system that the file is now read through, so that it reads ahead.
  void ReadingThrough() const { platform::AdviseReads(file_, true); }
  /// Whether the file still has the size and modification time it had when it was opened; otherwise `why`
  /// says what changed.
  bool Unchanged(std::string& why) const;

  /// The file's size in bytes when it was opened.
  std::uint64_t Size() const { return info_.Size; }
  const std::filesystem::path& Path() const { return path_; }
  /// What went wrong, for logs; empty after kRead.
  const std::string& Detail() const { return detail_; }
  const platform::File& Handle() const { return file_; }

 private:
  platform::File file_;
  platform::FileInfo info_;
  std::filesystem::path path_;
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
  /// Returns an empty text, or what went wrong, naming the output (the output is then dropped).
  std::string Flush();
  /// Completes the output: with `flush`, first waits until its data are on the device; then puts it in place
  /// of the final name in one step. Returns an empty text, or what went wrong, naming the output and the
  /// system's reason ("cannot put the output /out/a.jpg in place: Is a directory"); the temporary file is
  /// then removed and the final name untouched.
  std::string Finish(bool flush);
  /// After a Finish that succeeded: whether the output replaced a file of its name (an earlier output).
  bool Replaced() const { return replaced_; }
  /// How many of the output's bytes it does not share with its input's blocks: what its flush writes.
  std::uint64_t FreshBytes() const { return fresh_; }
  /// Removes the temporary file; the final name is never touched.
  void Discard();

 private:
  friend struct OutputWrite WriteOutputImage(const std::filesystem::path&, const OutputPlan&, ImageBytes&,
                                             const InputImageFile&, PendingOutput*);
  std::filesystem::path temporary_;
  std::filesystem::path path_;
  bool replaced_ = false;
  std::uint64_t fresh_ = 0;
};

/// What became of writing one output.
struct OutputWrite {
  /// Empty on success; else what went wrong, naming the output and the system's reason ("cannot write the
  /// output /out/a.jpg: No space left on device"), never the temporary file.
  std::string Failure;
  /// The failure is the input's: it changed while it was copied, so the output would mix two versions.
  bool InputChanged = false;
  /// Written without `pending`: the output replaced a file of its name.
  bool Replaced = false;
};

/// Writes the output that `plan` makes of `image`, read from `input`, to `path`, by way of a new temporary
/// file in the same folder. The blocks that the image's edits touch are written whole, as edited; the rest of
/// the input (all of it, or all but the cut) goes there as the file system best can: sharing the input's
/// blocks where it can clone them (so that only the edited blocks are new), else copied by the kernel or by
/// the server of a share, else through a buffer. Each step and the close are checked, and an input that
/// changed meanwhile is refused. With `pending`, the file is handed over there unfinished; without, it is put
/// in place of `path` at once, in one step, replacing a file of that name (not flushed to the device). On
/// failure the temporary file is removed and `path` is untouched.
OutputWrite WriteOutputImage(const std::filesystem::path& path, const OutputPlan& plan, ImageBytes& image,
                             const InputImageFile& input, PendingOutput* pending);

}  // namespace qm::engine
