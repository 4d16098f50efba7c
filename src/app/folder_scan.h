#pragma once

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// One pass over the input folder: every regular file whose name does not begin with "." goes to the engine,
/// then to the archive folder or is deleted, when its output was written. Ends with the two status-bar texts.
void ScanInputFolder(AppState& state, MainView& view);

/// Makes the next scan first clean up after Quillmark processes that were killed in the run's folders: their
/// temporary files go, and the inputs they had set aside come back (a run's first scan does it).
void RecoverAtNextScan(AppState& state);

}  // namespace qm::app
