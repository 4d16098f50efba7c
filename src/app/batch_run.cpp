#include "app/batch_run.h"

#include <string>

#include "app/file_operations.h"
#include "app/folder_scan.h"
#include "app/folder_validation.h"
#include "app/time_stamp.h"
#include "engine/xmp_document.h"

namespace qm::app {
namespace {

// The controls that would change a folder or end the program under a run.
constexpr Control kLockedDuringRun[] = {Control::cmdBrowse0, Control::cmdBrowse1, Control::cmdBrowse2,
                                        Control::mnuExit,    Control::cmdQuit,    Control::mnuWaitTime};

void StartRun(AppState& state, MainView& view) {
  if (!ValidateFoldersForRun(state, view) ||
      !CheckDistinctFolders(state, view, state.InputFolder, "input", state.OutputFolder, "output") ||
      (state.UseArchive &&
       (!CheckDistinctFolders(state, view, state.InputFolder, "input", state.ArchiveFolder, "archive") ||
        !CheckDistinctFolders(state, view, state.ArchiveFolder, "archive", state.OutputFolder, "output")))) {
    state.XmpDocument.reset();
    return;
  }
  // What a killed run left half written in the run's folders goes first, and the inputs it had set aside come
  // back; the first scan does it, under the input folder's lock.
  RecoverAtNextScan(state);
  state.RunStart = FormatStamp(state.Now());
  state.Running = true;
  const std::uint32_t run = ++state.RunNumber;
  for (const Control c : kLockedDuringRun) view.SetEnabled(c, false);
  view.SetEnabled(Control::cmdRun, true);  // the Stop button, also while a folder is waited for

  if (state.FolderOperation) {
    // Another folder operation is in progress (this click came between two of its entries): the run's first
    // scan comes with the first tick after it has ended.
    state.Countdown = 0;
  } else {
    ScanInputFolder(state, view);
    // Stopped during its first scan, or stopped and started again: the timer belongs to no run, or to the
    // newer one.
    if (!state.Running || state.RunNumber != run) return;
    state.Countdown = state.Wait;
  }
  view.SetTimerInterval(1000);
  view.SetRunFace(RunFace::kRunning);
  view.SetTimerEnabled(true);
}

void StopRun(AppState& state, MainView& view) {
  view.SetCaption(Control::lblMaxAttente, std::to_string(state.Wait) + " sec.");
  state.Running = false;
  // The archive row's Select button belongs to the archive option: it stays disabled while images are
  // deleted.
  for (const Control c : kLockedDuringRun) view.SetEnabled(c, c != Control::cmdBrowse1 || state.UseArchive);
  view.SetTimerEnabled(false);
  view.SetRunFace(RunFace::kIdle);
  // A scan still in progress keeps its own reference to the document until it ends.
  state.XmpDocument.reset();
}

}  // namespace

void cmdRun_Click(AppState& state, MainView& view) {
  view.SetProgressValue(0);
  view.SetStatusText(1, "");
  view.SetStatusText(2, "");
  state.RunProcessed = 0;
  state.ScanProcessed = 0;

  std::shared_ptr<engine::XmpDocument> document = engine::CreateXmpDocument();
  if (!document) {
    view.Beep();
    view.ShowMessage(
        {"parser MSXML v. 4.0 not installed", AppTitle(state), MessageIcon::kCritical, MessageButtons::kOk});
    return;
  }
  state.XmpDocument = std::move(document);
  if (state.Running) {
    StopRun(state, view);
  } else {
    StartRun(state, view);
  }
}

void Timer1_Timer(AppState& state, MainView& view) {
  if (!state.Running) return;  // a tick that was already on its way when the run stopped
  if (state.Countdown < 1) {
    // A scan in progress, or a folder command: this tick is skipped and the next one scans.
    if (state.FolderOperation) return;
    ScanInputFolder(state, view);
    state.Countdown = state.Wait;
  }
  view.SetProgressValue(state.Wait - state.Countdown);
  view.SetCaption(Control::lblMaxAttente, std::to_string(state.Countdown) + " sec.");
  // A wait of 0 or less scans at every tick; counting below it would wrap around to the longest wait.
  if (state.Countdown > 0) --state.Countdown;
}

void Form_Activate(AppState& state, MainView& view) {
  // Every dialog that closes activates the window again; only the first activation follows start-up.
  if (state.Activated) return;
  state.Activated = true;
  if (!state.Automatic) return;
  state.AutomaticStart = true;
  cmdRun_Click(state, view);
  state.AutomaticStart = false;
}

}  // namespace qm::app
