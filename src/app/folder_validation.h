#pragma once

#include <string_view>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// Whether the path names an existing directory. An empty path, and one that cannot be reached (no rights, a
/// device that is not ready), count as missing.
bool FolderExists(std::string_view path);

/// Checks the folders a run needs (input and output, and the archive when `UseArchive` is on), in that order.
/// Each unknown folder is reported with a beep and a message, then forgotten in the state and its label (the
/// settings file keeps it). Enables the buttons each existing folder allows and shows the set-up guide for
/// the missing ones. Returns whether every needed folder exists.
bool ValidateFolders(AppState& state, MainView& view);

/// The Run command's check: ValidateFolders, and then, for an empty input folder and for an empty archive
/// folder with the archive option on, a beep and a message saying so, in that order, so that a click on the
/// Run button that these leave enabled never fails in silence. Unknown folders were reported by
/// ValidateFolders already; an empty output folder disables Run. Returns the validation's result.
bool ValidateFoldersForRun(AppState& state, MainView& view);

}  // namespace qm::app
