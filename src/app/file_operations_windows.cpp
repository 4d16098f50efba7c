// The file operations on Windows, through std::filesystem; file_operations_posix.cpp holds the other side.
// Windows keeps a file that is being copied in locked, so the engine's open fails and the file waits for the
// next scan: the readiness test has nothing to add there.
#ifdef _WIN32

#include <filesystem>
#include <random>
#include <system_error>

#include "app/file_operations.h"
#include "engine/image_file.h"

namespace qm::app {
namespace {

namespace fs = std::filesystem;

FileOutcome FromError(std::string_view step, const std::error_code& ec) {
  const FileStatus status = ec == std::errc::no_such_file_or_directory ? FileStatus::kNotFound
                            : ec == std::errc::file_exists             ? FileStatus::kTargetExists
                                                                       : FileStatus::kFailed;
  return {status, std::string(step) + ": " + ec.message()};
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

std::int64_t Ticks(fs::file_time_type t) { return t.time_since_epoch().count(); }

}  // namespace

struct FolderListing::Impl {
  fs::directory_iterator It;
  bool Open = false;
};

FolderListing::FolderListing(std::string_view folder) : impl_(std::make_unique<Impl>()) {
  std::error_code ec;
  impl_->It = fs::directory_iterator(fs::path(folder), ec);
  impl_->Open = !ec;
}

FolderListing::~FolderListing() = default;

bool FolderListing::IsOpen() const { return impl_->Open; }

bool FolderListing::Next(FolderEntry& entry) {
  if (!impl_->Open || impl_->It == fs::directory_iterator()) return false;
  entry.Name = impl_->It->path().filename().string();
  entry.TypeHint = 0;
  std::error_code ec;
  impl_->It.increment(ec);
  if (ec) impl_->It = fs::directory_iterator();
  return true;
}

EntryKind KindOf(std::string_view folder, const FolderEntry& entry) {
  std::error_code ec;
  const fs::path path = fs::path(std::string(folder) + entry.Name);
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return Exists(path) ? EntryKind::kOther : EntryKind::kMissing;
  if (fs::is_regular_file(status)) return EntryKind::kRegular;
  if (fs::is_directory(status)) return EntryKind::kDirectory;
  return EntryKind::kOther;
}

Readiness CheckReadiness(const std::string& path, std::chrono::system_clock::time_point /*now*/) {
  std::error_code ec;
  const fs::file_status status = fs::status(fs::path(path), ec);
  if (!fs::exists(status)) return Readiness::kGone;
  return fs::is_regular_file(status) ? Readiness::kReady : Readiness::kNotRegular;
}

FileIdentity IdentifyFile(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::path(path);
  const auto size = fs::file_size(p, ec);
  if (ec) return {};
  const auto time = fs::last_write_time(p, ec);
  if (ec) return {};
  return {true, 0, 0, static_cast<std::uint64_t>(size), Ticks(time), Ticks(time)};
}

FileOutcome RemoveEntry(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::path(path);
  const fs::file_status status = fs::symlink_status(p, ec);
  if (!fs::exists(status)) return {FileStatus::kNotFound, "delete: no such file"};
  if (fs::is_directory(status)) return {FileStatus::kFailed, "delete: it is a folder"};
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return {FileStatus::kReadOnly, "delete: the file is read-only"};
  }
  if (!fs::remove(p, ec) || ec) return FromError("delete", ec);
  return {};
}

namespace {

FileOutcome MoveOrReplace(const fs::path& source, const fs::path& target, bool replace) {
  if (!replace && Exists(target)) return {FileStatus::kTargetExists, "move: the target exists"};
  std::error_code ec;
  fs::rename(source, target, ec);  // replaces a file at the target
  if (!ec) return {};
  if (ec != std::errc::cross_device_link) return FromError("move", ec);

  static std::minstd_rand random(std::random_device{}());
  const fs::path temp =
      target.parent_path() / (std::string(engine::kTemporaryPrefix) + "move-" + std::to_string(random()));
  const auto size = fs::file_size(source, ec);
  if (ec) return FromError("move", ec);
  if (!fs::copy_file(source, temp, fs::copy_options::none, ec) || fs::file_size(temp, ec) != size || ec) {
    fs::remove(temp, ec);
    return {FileStatus::kFailed, "copy: the copy is incomplete"};
  }
  if (!replace && Exists(target)) {
    fs::remove(temp, ec);
    return {FileStatus::kTargetExists, "move: the target exists"};
  }
  fs::rename(temp, target, ec);
  if (ec) {
    const FileOutcome failed = FromError("move copy into place", ec);
    fs::remove(temp, ec);
    return failed;
  }
  if (!fs::remove(source, ec) || ec) {
    const FileOutcome failed = FromError("delete after copy", ec);
    if (!replace) fs::remove(target, ec);
    return failed;
  }
  return {};
}

}  // namespace

FileOutcome MoveEntry(const std::string& from, const std::string& to) {
  return MoveOrReplace(fs::path(from), fs::path(to), false);
}

FileOutcome ReplaceEntry(const std::string& from, const std::string& to) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(fs::path(to), ec);
  if (!fs::exists(status)) return MoveOrReplace(fs::path(from), fs::path(to), false);
  if (fs::is_directory(status)) return {FileStatus::kFailed, "replace: a folder has the name"};
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    return {FileStatus::kReadOnly, "replace: the file there is read-only"};
  }
  return MoveOrReplace(fs::path(from), fs::path(to), true);
}

FileOutcome FlushFolder(std::string_view /*folder*/) { return {}; }

// Windows keeps no file of a process that was killed open, but it cannot tell which process wrote a name
// either: leftovers stay for the user to remove.
int RemoveStaleTemporaryFiles(std::string_view /*folder*/) { return 0; }

bool SameFolder(std::string_view a, std::string_view b) {
  if (a.empty() || b.empty()) return false;
  std::error_code ec;
  const bool same = fs::equivalent(fs::path(a), fs::path(b), ec);
  return !ec && same;
}

}  // namespace qm::app

#endif  // _WIN32
