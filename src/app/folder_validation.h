#pragma once

#include <string_view>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// Unless folders `a` and `b` (named `a_name` and `b_name` in the message) are one folder, returns true.
/// Otherwise beeps, shows "The input folder is also the output folder" with the path on the next line, and
/// returns false.
bool CheckDistinctFolders(const AppState& state, MainView& view, std::string_view a, const char* a_name,
                          std::string_view b, const char* b_name);

/// Whether the path names an existing directory. An empty path, and one that cannot be reached (no rights, a
/// device that is not ready), count as missing.
bool FolderExists(std::string_view path);

/// What ValidateFolders does with a folder that is set but not there.
enum class UnknownFolder {
  kReportAndForget,  ///< a beep and a message, then it is forgotten in the state and its label
  kTellAndKeep,      ///< a message without a beep; the state and the label keep it, so a run can wait for it
  kKeep,             ///< nothing is said, and it is kept
};

/// Checks the folders a run needs (input and output, and the archive when `UseArchive` is on), in that order.
/// Each unknown folder is treated as `unknown` says; the settings file always keeps it. Enables the buttons
/// each existing folder allows and shows the set-up guide for the missing ones. Returns whether every needed
/// folder exists.
bool ValidateFolders(AppState& state, MainView& view,
                     UnknownFolder unknown = UnknownFolder::kReportAndForget);

/// The Run command's check: ValidateFolders, and then, for an empty input folder and for an empty archive
/// folder with the archive option on, a beep and a message saying so, in that order, so that a click on the
/// Run button that these leave enabled never fails in silence. Unknown folders were reported by
/// ValidateFolders already; an empty output folder disables Run. Returns the validation's result.
///
/// At an automatic start (`state.AutomaticStart`) nothing beeps, an unknown folder is told and kept, and the
/// result is whether every needed folder is set: the run starts and its scans wait for the folders that are
/// not there yet (a share mounted after the desk started). The first of them, as the run's scan would tell
/// it, counts as told.
bool ValidateFoldersForRun(AppState& state, MainView& view);

}  // namespace qm::app
