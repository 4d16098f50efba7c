#pragma once

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

// The option controls of the main window. Each handler stores the new value in the state and the settings
// file at once, and brings the controls that depend on it into line. The front end calls them when the user
// changes a control; start-up calls them for the controls it sets.

/// The automatic-start box: only the setting changes.
void chkAutomatic_Click(AppState& state, MainView& view, bool checked);

/// Checking "Remove XMP metadata" unchecks synchronisation; the two boxes exclude each other, both may be
/// off.
void chkRemoveXMP_Click(AppState& state, MainView& view, bool checked);

/// Checking synchronisation unchecks removal.
void chkSynchronizeXMP_Click(AppState& state, MainView& view, bool checked);

/// Option button `index` (0 Macintosh to Windows, 1 Windows to Macintosh, 2 none) was selected: stores it and
/// selects the active accent table, so the next image uses the new direction.
void optAccents_Click(AppState& state, MainView& view, int index);

/// Option button `index` (0 delete the input, 1 move it to the archive) was selected: stores it and enables
/// the archive row. Re-processing and viewing the archive are enabled only when the archive folder exists.
void optUseArchive_Click(AppState& state, MainView& view, int index);

}  // namespace qm::app
