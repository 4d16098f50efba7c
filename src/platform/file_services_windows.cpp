// The file services on Windows; file_services_posix.cpp holds the other side. Every path goes to the wide
// calls through SystemPath. A copy shares clusters on ReFS (block cloning), is made by the server on an SMB
// share (the client asks it to copy chunks of the source it names by a key), or else passes through a buffer.
#ifdef _WIN32

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/file_services.h"

namespace qm::platform {
namespace {

HANDLE Native(const File& file) { return static_cast<HANDLE>(file.Get()); }

std::error_code Win32(DWORD error) { return {static_cast<int>(error), std::system_category()}; }

// Appends the code point to WTF-8 text: UTF-8, where a surrogate that is not half of a pair takes three bytes
// as any other code point below 0x10000 does.
void AppendUtf8(std::string& text, std::uint32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | code >> 6);
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | code >> 12);
    text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | code >> 18);
    text += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    text += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The code point of the WTF-8 sequence at `at`, which moves past it; a byte that begins no sequence, or one
// cut short or too long for its value, gives U+FFFD and moves on by one byte.
std::uint32_t NextCode(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  if (lead < 0x80) return text[at++];
  std::size_t length = 0;  // 0x80 to 0xC1 and 0xF5 up begin nothing
  if (lead >= 0xC2 && lead < 0xE0) length = 2;
  if (lead >= 0xE0 && lead < 0xF0) length = 3;
  if (lead >= 0xF0 && lead < 0xF5) length = 4;
  std::uint32_t code = length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
  bool sound = length > 0 && length <= text.size() - at;
  for (std::size_t i = 1; sound && i < length; ++i) {
    sound = (byte(at + i) & 0xC0) == 0x80;
    code = code << 6 | (byte(at + i) & 0x3Fu);
  }
  constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (!sound || code < kLeast[length] || code > 0x10FFFF) {
    ++at;
    return 0xFFFD;
  }
  at += length;
  return code;
}

// The server-side copy of SMB: the source's key, then chunks copied by the server into the target.
#ifndef FSCTL_SRV_REQUEST_RESUME_KEY
#define FSCTL_SRV_REQUEST_RESUME_KEY \
  CTL_CODE(FILE_DEVICE_NETWORK_FILE_SYSTEM, 30, METHOD_BUFFERED, FILE_ANY_ACCESS)
#endif
#ifndef FSCTL_SRV_COPYCHUNK_WRITE
#define FSCTL_SRV_COPYCHUNK_WRITE \
  CTL_CODE(FILE_DEVICE_NETWORK_FILE_SYSTEM, 60, METHOD_OUT_DIRECT, FILE_WRITE_ACCESS)
#endif

// ReFS's integrity settings, which tell its cluster size; a clone's target must have its source's.
#ifndef FSCTL_GET_INTEGRITY_INFORMATION
#define FSCTL_GET_INTEGRITY_INFORMATION \
  CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 159, METHOD_BUFFERED, FILE_ANY_ACCESS)
#endif
#ifndef FSCTL_SET_INTEGRITY_INFORMATION
#define FSCTL_SET_INTEGRITY_INFORMATION \
  CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 160, METHOD_BUFFERED, FILE_READ_DATA | FILE_WRITE_DATA)
#endif

#ifndef FSCTL_DUPLICATE_EXTENTS_TO_FILE
#define FSCTL_DUPLICATE_EXTENTS_TO_FILE \
  CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 209, METHOD_BUFFERED, FILE_WRITE_DATA)
#endif

// What FSCTL_DUPLICATE_EXTENTS_TO_FILE takes: the source and the stretch of its clusters to share.
struct DuplicateExtents {
  HANDLE FileHandle;
  LARGE_INTEGER SourceFileOffset;
  LARGE_INTEGER TargetFileOffset;
  LARGE_INTEGER ByteCount;
};

struct Integrity {
  WORD ChecksumAlgorithm;
  WORD Reserved;
  DWORD Flags;
  DWORD ChecksumChunkSizeInBytes;
  DWORD ClusterSizeInBytes;
};
struct SetIntegrity {
  WORD ChecksumAlgorithm;
  WORD Reserved;
  DWORD Flags;
};

#pragma pack(push, 1)
struct ResumeKey {
  std::uint8_t Key[24];
  std::uint32_t ContextLength;
  std::uint8_t Context[4];
};
struct CopyChunk {
  std::uint64_t SourceOffset;
  std::uint64_t TargetOffset;
  std::uint32_t Length;
  std::uint32_t Reserved;
};
struct CopyChunkRequest {
  std::uint8_t Key[24];
  std::uint32_t ChunkCount;
  std::uint32_t Reserved;
  CopyChunk Chunks[16];  // what servers accept by default: chunks of 1 MB, 16 MB a request
};
struct CopyChunkResponse {
  std::uint32_t ChunksWritten;
  std::uint32_t ChunkBytesWritten;
  std::uint32_t TotalBytesWritten;
};
#pragma pack(pop)

constexpr std::uint32_t kChunk = 1u << 20;

// Asks the server of a share to copy; false when the files are not on one (or it refuses): nothing was
// written then, or what was is overwritten by the buffer copy.
bool ServerCopy(const File& from, std::uint64_t from_offset, const File& to, std::uint64_t to_offset,
                std::uint64_t size) {
  ResumeKey key{};
  DWORD returned = 0;
  if (!::DeviceIoControl(Native(from), FSCTL_SRV_REQUEST_RESUME_KEY, nullptr, 0, &key, sizeof key, &returned,
                         nullptr)) {
    return false;
  }
  while (size > 0) {
    CopyChunkRequest request{};
    std::memcpy(request.Key, key.Key, sizeof request.Key);
    std::uint64_t asked = 0;
    for (; request.ChunkCount < 16 && asked < size; ++request.ChunkCount) {
      const auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(kChunk, size - asked));
      request.Chunks[request.ChunkCount] = {from_offset + asked, to_offset + asked, length, 0};
      asked += length;
    }
    CopyChunkResponse response{};
    if (!::DeviceIoControl(Native(to), FSCTL_SRV_COPYCHUNK_WRITE, &request, sizeof request, &response,
                           sizeof response, &returned, nullptr) ||
        response.TotalBytesWritten != asked) {
      return false;
    }
    from_offset += asked;
    to_offset += asked;
    size -= asked;
  }
  return true;
}

// The cluster size of ReFS, which shares clusters between files; 0 elsewhere.
std::uint64_t SharedCluster(const File& file, Integrity* integrity = nullptr) {
  Integrity info{};
  DWORD returned = 0;
  if (!::DeviceIoControl(Native(file), FSCTL_GET_INTEGRITY_INFORMATION, nullptr, 0, &info, sizeof info,
                         &returned, nullptr)) {
    return 0;
  }
  if (integrity != nullptr) *integrity = info;
  return info.ClusterSizeInBytes;
}

// Shares the clusters of a stretch of `from` with `to` (ReFS block cloning): whole clusters only, a stretch
// that ends with the source ending in its last cluster, the target already that long and with the source's
// integrity setting. False where that cannot be.
bool BlockClone(const File& from, std::uint64_t from_offset, const File& to, std::uint64_t to_offset,
                std::uint64_t size) {
  Integrity integrity{};
  const std::uint64_t cluster = SharedCluster(from, &integrity);
  FileInfo source;
  if (cluster == 0 || from_offset % cluster != 0 || to_offset % cluster != 0 || Describe(from, source)) {
    return false;
  }
  const bool to_end = from_offset + size == source.Size;
  if (size % cluster != 0 && !to_end) return false;
  DWORD returned = 0;
  SetIntegrity same{integrity.ChecksumAlgorithm, 0, integrity.Flags};
  ::DeviceIoControl(Native(to), FSCTL_SET_INTEGRITY_INFORMATION, &same, sizeof same, nullptr, 0, &returned,
                    nullptr);
  // The last cluster is cloned whole; the target's end of file cuts it.
  const std::uint64_t whole = (size + cluster - 1) / cluster * cluster;
  const std::uint64_t most = (std::uint64_t{1} << 31) / cluster * cluster;
  for (std::uint64_t done = 0; done < whole;) {
    DuplicateExtents extents{};
    extents.FileHandle = Native(from);
    extents.SourceFileOffset.QuadPart = static_cast<LONGLONG>(from_offset + done);
    extents.TargetFileOffset.QuadPart = static_cast<LONGLONG>(to_offset + done);
    extents.ByteCount.QuadPart = static_cast<LONGLONG>(std::min(most, whole - done));
    if (!::DeviceIoControl(Native(to), FSCTL_DUPLICATE_EXTENTS_TO_FILE, &extents, sizeof extents, nullptr, 0,
                           &returned, nullptr)) {
      return false;
    }
    done += static_cast<std::uint64_t>(extents.ByteCount.QuadPart);
  }
  return true;
}

}  // namespace

std::filesystem::path PathOf(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::uint32_t code = NextCode(text, at);
    if (code < 0x10000) {
      wide += static_cast<wchar_t>(code);
    } else {
      wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return std::filesystem::path(std::move(wide));
}

std::string TextOf(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  std::string text;
  text.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const std::uint32_t unit = static_cast<std::uint16_t>(wide[i]);
    const bool pair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < wide.size() &&
                      static_cast<std::uint16_t>(wide[i + 1]) >= 0xDC00 &&
                      static_cast<std::uint16_t>(wide[i + 1]) < 0xE000;
    if (pair) {
      AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<std::uint16_t>(wide[++i]) - 0xDC00));
    } else {
      AppendUtf8(text, unit);
    }
  }
  return text;
}

std::wstring SystemPath(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.empty() || given.starts_with(L"\\\\?\\") || given.starts_with(L"\\\\.\\")) return given;
  std::error_code ec;
  std::filesystem::path whole = path;
  if (!path.has_root_name() && !path.has_root_directory()) {
    // Not through the system's own completion, which takes aux.jpg for the device AUX.
    whole = std::filesystem::current_path(ec) / path;
  } else if (!path.has_root_name() || !path.has_root_directory()) {
    whole = std::filesystem::absolute(path, ec);  // "\folder" and "C:folder": on the current drive
  }
  const std::wstring normal = whole.lexically_normal().native();
  if (normal.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + normal.substr(2);
  return L"\\\\?\\" + normal;
}

std::wstring SystemPath(std::string_view text) { return SystemPath(PathOf(text)); }

bool File::IsOpen() const { return handle_ != None() && handle_ != nullptr; }

NativeFile File::None() { return INVALID_HANDLE_VALUE; }

NativeFile File::Release() {
  const NativeFile handle = handle_;
  handle_ = None();
  return handle;
}

std::error_code File::Close() {
  if (!IsOpen()) return {};
  return ::CloseHandle(Release()) ? std::error_code() : LastError();
}

std::error_code LastError() { return Win32(::GetLastError()); }

std::string ErrorText(const std::error_code& error) { return error.message(); }

std::string ErrorText(int error) { return std::system_category().message(error); }

std::int64_t NanosecondsOf(std::int64_t file_time) { return (file_time - 116'444'736'000'000'000) * 100; }

bool IsLink(void* handle) {
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    BY_HANDLE_FILE_INFORMATION data;
    return ::GetFileInformationByHandle(handle, &data) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }
  // A deduplicated file or a cloud file's placeholder is a reparse point too, and a file all the same.
  return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(tag.ReparseTag);
}

std::error_code Describe(const File& file, FileInfo& info) {
  BY_HANDLE_FILE_INFORMATION data;
  if (!::GetFileInformationByHandle(Native(file), &data)) return LastError();
  info.Regular = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && !IsLink(Native(file));
  info.Size = std::uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  info.Modified = NanosecondsOf(static_cast<std::int64_t>(std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 |
                                                          data.ftLastWriteTime.dwLowDateTime));
  return {};
}

File OpenForReading(const std::filesystem::path& path, bool follow_links, std::error_code& error) {
  const std::wstring system_path = SystemPath(path);
  const auto open = [&](DWORD flags) {
    return File(::CreateFileW(system_path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
  };
  // Without following, a link is opened as itself, and Describe finds no regular file in it.
  File file = open(follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  if (file.IsOpen() && !follow_links && !IsLink(file.Get())) {
    BY_HANDLE_FILE_INFORMATION data;
    if (::GetFileInformationByHandle(Native(file), &data) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      file = open(0);  // a reparse point that is no link: its data are read through its filter
    }
  }
  error = file.IsOpen() ? std::error_code() : LastError();
  return file;
}

File CreateNew(const std::filesystem::path& path, std::error_code& error) {
  // Read access too: a server asked to copy chunks into the file needs it. Others may read it, and rename it
  // (when it is given its name while this handle is still open).
  File file(::CreateFileW(SystemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  error = file.IsOpen() ? std::error_code() : LastError();
  return file;
}

std::size_t ReadAt(const File& file, std::uint64_t offset, std::span<std::uint8_t> into,
                   std::error_code& error) {
  error.clear();
  std::size_t done = 0;
  while (done < into.size()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(into.size() - done, 1u << 30));
    if (!::ReadFile(Native(file), into.data() + done, want, &got, &at)) {
      if (::GetLastError() != ERROR_HANDLE_EOF) error = LastError();
      break;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

// The system's read-ahead is chosen when a file is opened.
void AdviseReads(const File&, bool) {}

void AdviseSoonRead(const File&, std::uint64_t, std::uint64_t) {}

bool TakesReadAdvice() { return false; }

bool MayShareBlocks(const File&) { return false; }

std::error_code WriteAt(const File& file, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!::WriteFile(Native(file), bytes.data(), want, &put, &at)) return LastError();
    if (put == 0) return Win32(ERROR_WRITE_FAULT);
    bytes = bytes.subspan(put);
    offset += put;
  }
  return {};
}

std::error_code SetSize(const File& file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(Native(file), FileEndOfFileInfo, &end, sizeof end) ? std::error_code()
                                                                                         : LastError();
}

std::size_t BlockSize(const File& file) {
  const std::uint64_t cluster = SharedCluster(file);
  return cluster > 0 ? static_cast<std::size_t>(cluster) : 4096;
}

std::error_code CopyWhole(const File& from, const File& to, std::uint64_t size, CopyWay* way) {
  if (const std::error_code sized = SetSize(to, size)) return sized;
  return CopyRange(from, 0, to, 0, size, way);
}

std::error_code CopyRange(const File& from, std::uint64_t from_offset, const File& to,
                          std::uint64_t to_offset, std::uint64_t size, CopyWay* way) {
  const auto said = [way](CopyWay how) {
    if (way != nullptr) *way = how;
    return std::error_code();
  };
  if (size == 0) return said(CopyWay::kNothing);
  if (BlockClone(from, from_offset, to, to_offset, size)) return said(CopyWay::kShared);
  if (ServerCopy(from, from_offset, to, to_offset, size)) return said(CopyWay::kKernel);
  said(CopyWay::kBuffer);
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, 1u << 20)));
  while (size > 0) {
    std::error_code error;
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
    const std::size_t got = ReadAt(from, from_offset, std::span(buffer.data(), want), error);
    if (error) return error;
    if (got == 0) return {};
    if (const std::error_code written = WriteAt(to, to_offset, std::span(buffer.data(), got))) return written;
    from_offset += got;
    to_offset += got;
    size -= got;
  }
  return {};
}

std::error_code FlushData(const File& file) {
  return ::FlushFileBuffers(Native(file)) ? std::error_code() : LastError();
}

std::error_code FlushFile(const std::filesystem::path& path) {
  // Only a handle with write access may be flushed.
  const File file(::CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return file.IsOpen() ? FlushData(file) : LastError();
}

void StartWriteBack(const File&) {}

std::error_code RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
  // Without MOVEFILE_REPLACE_EXISTING the system refuses a taken name, in the same step; without
  // MOVEFILE_COPY_ALLOWED it refuses another volume (not_same_device).
  return ::MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), 0) ? std::error_code() : LastError();
}

std::error_code PutInPlace(const std::filesystem::path& from, const std::filesystem::path& to,
                           bool& replaced) {
  replaced = false;
  // A new name first, so that a replaced file is known for certain; then over the file that has the name.
  // MOVEFILE_WRITE_THROUGH returns once the name is on the device: the folder needs no flush of its own. The
  // system refuses to put a file over a folder, and replaces a link, never what it points to.
  const std::wstring source = SystemPath(from);
  const std::wstring target = SystemPath(to);
  if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return {};
  const DWORD error = ::GetLastError();
  if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return Win32(error);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {EISDIR, std::generic_category()};
  }
  if (!::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastError();
  }
  replaced = true;
  return {};
}

std::error_code RemoveFile(const std::filesystem::path& path) {
  return ::DeleteFileW(SystemPath(path).c_str()) ? std::error_code() : LastError();
}

}  // namespace qm::platform

#endif  // _WIN32
