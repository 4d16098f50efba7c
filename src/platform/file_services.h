#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

// The operating system's services for open files, in one small layer that the engine (reading images,
// writing outputs) and the batch (copying inputs into an archive on another file system) share:
// file_services_posix.cpp and file_services_windows.cpp hold its two sides. Nothing here throws; a failure
// comes back as the system's error.

namespace qm::platform {

#if defined(_WIN32)
using NativeFile = void*;  // a HANDLE
#else
using NativeFile = int;  // a descriptor
#endif

/// An open file, closed when it goes out of scope.
class File {
 public:
  File() = default;
  explicit File(NativeFile handle) : handle_(handle) {}
  File(File&& other) noexcept : handle_(other.Release()) {}
  File& operator=(File&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File() { Close(); }

  bool IsOpen() const;
  NativeFile Get() const { return handle_; }
  /// Closes now and tells whether the system accepted the close: the last chance to hear of a failed write
  /// (a full share). A file that was not open closes without error.
  std::error_code Close();

 private:
  NativeFile Release();
  NativeFile handle_ = None();
  static NativeFile None();
};

/// The path that a name or path held as text names. The core holds every name as UTF-8 text, on every system:
/// Windows names are UTF-16, and one that is not valid UTF-16 (half of a pair) travels as WTF-8, so that it
/// names the same file when it comes back. Bytes that are no UTF-8 stand for U+FFFD there.
std::filesystem::path PathOf(std::string_view text);
/// The text of a path, as PathOf takes it back.
std::string TextOf(const std::filesystem::path& path);

#if defined(_WIN32)
/// The path as the system's wide calls take it: absolute, its separators backslashes, "." and ".." resolved,
/// and "\\?\" before it, so that neither its length nor a device's name (aux.jpg) nor a trailing dot or blank
/// changes which file it names.
std::wstring SystemPath(const std::filesystem::path& path);
std::wstring SystemPath(std::string_view text);
inline std::wstring SystemPath(const std::string& text) { return SystemPath(std::string_view(text)); }
inline std::wstring SystemPath(const char* text) { return SystemPath(std::string_view(text)); }
/// Nanoseconds since 1970 of a Windows file time (100-nanosecond steps since 1601).
std::int64_t NanosecondsOf(std::int64_t file_time);
/// Whether the open file or folder is a link (a symbolic link or a junction), which is never followed.
bool IsLink(void* handle);
#endif

/// Runs a POSIX call again while a signal interrupts it (it returns -1 with errno EINTR).
template <typename Call>
auto Retry(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

/// The error the system's last failed call left (errno, or the thread's last error on Windows, which compares
/// equal to the like std::errc: a taken name is file_exists, a missing one no_such_file_or_directory).
std::error_code LastError();
/// The system's words for an error ("No space left on device").
std::string ErrorText(const std::error_code& error);
/// The system's words for an errno value.
std::string ErrorText(int error);

/// What the system says of an open file.
struct FileInfo {
  bool Regular = false;
  std::uint64_t Size = 0;
  std::int64_t Modified = 0;  ///< nanoseconds since the epoch

  bool operator==(const FileInfo&) const = default;
};
std::error_code Describe(const File& file, FileInfo& info);

/// Opens an existing file for reading. Never waits, not on a FIFO nor on a device; a symbolic link is
/// followed only with `follow_links` (otherwise the open fails).
File OpenForReading(const std::filesystem::path& path, bool follow_links, std::error_code& error);
/// Creates a new, empty file for writing, readable and writable as the process's defaults allow; fails with
/// file_exists when anything has the name.
File CreateNew(const std::filesystem::path& path, std::error_code& error);

/// Reads into `into` from `offset` until it is full or the file ends; returns how many bytes came. One read
/// where the system gives them at once.
std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> into,
                   std::error_code& error);
/// Tells the system how the file will be read: with `sequential`, from start to end (the system reads ahead);
/// otherwise only the bytes asked for, which it then reads and no more. Nothing where the system takes no
/// advice.
void AdviseReads(const File& file, bool sequential);
/// Tells the system that `length` bytes from `offset` (0: to the end) will be read soon: it starts reading
/// them in the background, so that several such ranges are read at once rather than one after another.
void AdviseSoonRead(const File& file, std::uint64_t offset, std::uint64_t length);
/// Whether the system takes AdviseSoonRead's advice (where it does not, there is no point opening a file to
/// give it).
bool TakesReadAdvice();
/// Whether the file lies on a file system whose copies can share blocks (XFS, btrfs): a copy of it there may
/// read none of its data.
bool MayShareBlocks(const File& file);
/// Writes all of `bytes` at `offset`.
std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::uint8_t> bytes);
/// Gives the file exactly `size` bytes: cut, or made longer with a hole that reads as zeros.
std::error_code SetSize(const File& file, std::uint64_t size);

/// The size of the blocks that the file system allocates, and shares, for the file: a copy into the same
/// offsets can share the blocks of a stretch that starts and ends on their edges.
std::size_t BlockSize(const File& file);

/// How the bytes of a copy came to be.
enum class CopyWay {
  kNothing,  ///< there was nothing to copy: no bytes, or holes only
  kShared,   ///< the copy shares the blocks of the original (a clone): nothing was read or written
  kKernel,   ///< the system copied them without passing them through the process (on a share: the server)
  kBuffer,   ///< read and written through a buffer, the system offering no better way
};

/// Makes `to`, a new file, a copy of all `size` bytes of `from`. Where the file system can, `to` shares the
/// blocks of `from` (a clone: btrfs, XFS, ReFS, and NFS 4.2 and SMB 3 shares whose server supports it), so
/// that only the blocks written afterwards are new; otherwise as CopyRange. `way`, when given, says how.
std::error_code CopyWhole(const File& from, const File& to, std::uint64_t size, CopyWay* way = nullptr);
/// Copies the `size` bytes of `from` at `from_offset` into `to` at `to_offset`, which must already be that
/// long: the system copies them (sharing the blocks where the file system can and the stretch lies on their
/// edges in both files; on the server of a share), else through a buffer. Holes of `from` are left as `to`
/// has them. Bytes `from` no longer has are left as `to` has them too: a caller that must know checks the
/// file afterwards.
std::error_code CopyRange(const File& from, std::uint64_t from_offset, const File& to,
                          std::uint64_t to_offset, std::uint64_t size, CopyWay* way = nullptr);

/// Waits until the file's data are on the device.
std::error_code FlushData(const File& file);
/// Waits until the data of the file at `path` are on the device.
std::error_code FlushFile(const std::filesystem::path& path);
/// Starts writing the file's data to the device without waiting for it; nothing where the system cannot.
void StartWriteBack(const File& file);

/// Renames, never replacing an entry that has the name `to` (file_exists): in one step where the file
/// system can refuse a taken name, else through a hard link, else (FAT and the like) after a test that
/// another process could beat.
std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
/// Puts the file `from` under the name `to` in one step, replacing a file of that name; `replaced` says
/// whether there was one. A folder under `to` is left as it is, and refused; a symbolic link is replaced,
/// never followed.
std::error_code PutInPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                           bool& replaced);
/// Removes the name of a file (never a folder).
std::error_code RemoveFile(const std::filesystem::path& path);

}  // namespace qm::platform
