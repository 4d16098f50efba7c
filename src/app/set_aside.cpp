#include "app/set_aside.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "engine/temporary_files.h"
#include "platform/file_services.h"

namespace qm::app {

std::string SetAsideFolder(std::string_view folder, std::string& why) {
  const std::optional<std::string> prefix = engine::OwnTemporaryPrefix(folder, &why);
  if (!prefix) return {};
  return std::string(folder) + *prefix + "aside" +
         static_cast<char>(std::filesystem::path::preferred_separator);
}

std::error_code PutBackAs(const std::string& aside, std::string_view folder, const std::string& name,
                          bool own_name, std::string& used) {
  std::error_code error = std::make_error_code(std::errc::file_exists);
  for (int n = own_name ? 0 : 1; n < 1000 && error == std::errc::file_exists; ++n) {
    used = n == 0 ? name : RecoveredName(name, n);
    error = platform::RenameNoReplace(platform::PathOf(aside), platform::PathOf(std::string(folder) + used));
  }
  return error;
}

FileOutcome PutBack(const SetAside& taken, FileStatus status, std::string detail) {
  const std::string folder = FolderOf(taken.Name);
  const std::string name = taken.Name.substr(folder.size());
  std::string used;
  if (const std::error_code error = PutBackAs(taken.Aside, folder, name, true, used)) {
    detail += "; it waits as " + taken.Aside + " (put back: " + platform::ErrorText(error) + ")";
  } else if (used != name) {
    detail += "; as its name was taken again, it was put back as " + folder + used;
  }
  return {status, std::move(detail)};
}

FileOutcome TakeVersion(std::string_view folder, const std::string& name, const FileIdentity& read,
                        bool writable, SetAside& taken) {
  if (FileOutcome aside = TakeAside(folder, name, taken); !aside.Ok()) return aside;
  const FileIdentity now = IdentifyFile(taken.Aside);
  if (!now.SameVersion(read)) {
    return PutBack(taken, FileStatus::kChanged, "it changed or was replaced since it was read");
  }
  if (writable && now.ReadOnly) return PutBack(taken, FileStatus::kReadOnly, "the file is read-only");
  return {};
}

namespace {

// Whether what `name` of `folder` holds was left by a process that is gone (or, with `own`, is this one's).
bool Abandoned(std::string_view folder, std::string_view name, bool own) {
  const engine::TemporaryOwner owner = engine::OwnerOf(folder, name);
  return owner == engine::TemporaryOwner::kGone || (own && owner == engine::TemporaryOwner::kThisProcess);
}

}  // namespace

int RemoveStaleTemporaryFiles(std::string_view folder) {
  int removed = 0;
  std::vector<std::string> marks;
  FolderListing listing(folder);
  FolderEntry entry;
  while (listing.Next(entry)) {
    if (!Abandoned(folder, entry.Name, false)) continue;
    const std::string path = std::string(folder) + entry.Name;
    if (!IdentifyFile(path).Regular) continue;
    // A mark goes after the files it stands for: a set-aside folder of its process may still have to go back.
    if (engine::IsOwnerMark(entry.Name)) {
      marks.push_back(path);
    } else if (!platform::RemoveFile(platform::PathOf(path))) {
      ++removed;
    }
  }
  for (const std::string& mark : marks) {
    const std::string aside = mark.substr(0, mark.size() - std::string_view("owner").size()) + "aside";
    if (!IdentifyFile(aside).Exists && !platform::RemoveFile(platform::PathOf(mark))) ++removed;
  }
  return removed;
}

std::vector<SetAsideInput> RestoreSetAsideInputs(std::string_view folder, std::string_view output) {
  std::vector<SetAsideInput> told;
  FolderListing listing(folder);
  FolderEntry entry;
  while (listing.Next(entry)) {
    if (!entry.Name.ends_with("-aside") || !Abandoned(folder, entry.Name, true)) continue;
    if (KindOf(folder, entry) != EntryKind::kDirectory) continue;
    const std::string aside =
        std::string(folder) + entry.Name + static_cast<char>(std::filesystem::path::preferred_separator);
    FolderListing inside(aside);
    if (!inside.IsOpen()) told.push_back({entry.Name, aside, "", "list: " + inside.Error()});
    FolderEntry file;
    while (inside.Next(file)) {
      if (file.Name == "." || file.Name == "..") continue;
      SetAsideInput input{file.Name, aside + file.Name, "", ""};
      // An output of the name newer than the moment the file was set aside (a rename sets its change time):
      // a newer file of that name was processed meanwhile.
      bool own_name = true;
      if (!output.empty()) {
        const FileIdentity set_aside = IdentifyFile(input.Aside);
        const FileIdentity written = IdentifyFile(std::string(output) + file.Name);
        if (set_aside.Exists && written.Exists) own_name = written.Modified < set_aside.Changed;
      }
      std::string used;
      if (const std::error_code error = PutBackAs(input.Aside, folder, file.Name, own_name, used)) {
        input.Failure = "rename: " + platform::ErrorText(error);
      } else if (used == file.Name) {
        continue;
      } else {
        input.PutBackAs = used;
      }
      told.push_back(std::move(input));
    }
    RemoveEmptyFolder(aside);  // not while something waits in it, which a later call tries again
  }
  return told;
}

}  // namespace qm::app
