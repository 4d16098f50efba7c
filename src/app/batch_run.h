#pragma once

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// The Run command: starts a run (validates the folders, scans the input folder once, starts the one-second
/// timer) or stops the one in progress.
void cmdRun_Click(AppState& state, MainView& view);

/// One tick of the one-second timer: counts the wait down and scans when it has run out.
void Timer1_Timer(AppState& state, MainView& view);

/// The main window became active: on the first activation only, with `Automatic` on, performs the Run
/// command.
void Form_Activate(AppState& state, MainView& view);

}  // namespace qm::app
