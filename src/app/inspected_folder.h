#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"

namespace qm::app {

/// The inspector's window title and the folder it lists, chosen by `FolderIndex`.
struct InspectedFolderChoice {
  std::string Title;
  /// The folder setting to list (ending with the separator); none for an index outside 0 to 2.
  std::optional<std::string> Folder;
};

/// "Quillmark - Input folder" with `InputFolder` for 0, the archive for 1, the output for 2; "???" and no
/// folder for any other index.
InspectedFolderChoice ChooseInspectedFolder(const AppState& state);

/// The bare names the inspector lists for `folder`: every entry that is not a directory and whose name does
/// not begin with ".", hidden files and files of any type included, sorted by name with ASCII letters
/// compared without case. A missing folder, an empty path and a folder that cannot be read give no names; an
/// entry that goes wrong during the listing ends it with the names found so far.
std::vector<std::string> ListInspectedFolder(std::string_view folder);

/// The count below the list: "12 images", "1 image", "0 images".
std::string ImagesCaption(std::size_t count);

}  // namespace qm::app
