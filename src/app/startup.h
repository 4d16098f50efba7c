#pragma once

#include <filesystem>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// Reads every setting of the file at `state.IniPath` into the state, with the defaults and normalisations of
/// start-up, without writing anything or touching a window.
void ReadSettings(AppState& state);

/// Loads the main window: reads every setting from the file at `ini_path` into the state, sets the controls
/// (running each option's handler, so `UseArchive` and `Accents` are written back in normalised form), shows
/// the wait time, builds the accent tables and validates the folders. A missing or unreadable settings file
/// gives the defaults.
void Form_Load(AppState& state, MainView& view, const std::filesystem::path& ini_path);

/// The quit confirmation asked on every close request; during a run it says that the run stops, and Enter
/// answers No. Returns true when the close must be cancelled.
bool Form_QueryUnload(const AppState& state, MessageSink& view);

/// Shows the wait time on `lblMaxAttente` ("10 sec.") and sets the waiting progress bar's maximum to
/// `Wait` - 1, or 1 when `Wait` is below 2.
void ShowWaitTime(const AppState& state, MainView& view);

}  // namespace qm::app
