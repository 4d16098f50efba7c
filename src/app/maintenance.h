#pragma once

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

// The two folder commands of the main window.

/// Clear output folder: after the question, deletes every file of the output folder.
void cmdClearOutput_Click(AppState& state, MainView& view);

/// Re-process archive folder: after the question, moves every file of the archive folder back into the input
/// folder, never over a file that waits there.
void cmdReprocess_Click(AppState& state, MainView& view);

}  // namespace qm::app
