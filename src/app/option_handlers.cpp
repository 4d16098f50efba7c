#include "app/option_handlers.h"

#include "app/folder_validation.h"
#include "app/settings.h"

namespace qm::app {
namespace {

const char* Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

void chkAutomatic_Click(AppState& state, MainView& /*view*/, bool checked) {
  state.Automatic = checked;
  WriteSetting(state, kOptionsSection, "Automatic", Flag(checked));
}

void chkRemoveXMP_Click(AppState& state, MainView& view, bool checked) {
  state.RemoveXMP = checked;
  WriteSetting(state, kOptionsSection, "RemoveXMP", Flag(checked));
  if (!checked) return;
  view.SetChecked(Control::chkSynchronizeXMP, false);
  state.SynchronizeXMP = false;
  WriteSetting(state, kOptionsSection, "SynchronizeXMP", "0");
}

void chkSynchronizeXMP_Click(AppState& state, MainView& view, bool checked) {
  state.SynchronizeXMP = checked;
  WriteSetting(state, kOptionsSection, "SynchronizeXMP", Flag(checked));
  if (!checked) return;
  view.SetChecked(Control::chkRemoveXMP, false);
  state.RemoveXMP = false;
  WriteSetting(state, kOptionsSection, "RemoveXMP", "0");
}

void optAccents_Click(AppState& state, MainView& /*view*/, int index) {
  state.Accents = static_cast<std::int16_t>(index == 0 || index == 1 ? index : 2);
  WriteSetting(state, kOptionsSection, "Accents", std::to_string(state.Accents));
  state.ActiveAccentTable = coding::SelectAccentTable(state.Accents, state.MacToWindows, state.WindowsToMac);
}

void optUseArchive_Click(AppState& state, MainView& view, int index) {
  state.UseArchive = index == 1;
  WriteSetting(state, kFoldersSection, "UseArchive", Flag(state.UseArchive));
  view.SetEnabled(Control::lblFolder1, state.UseArchive);
  view.SetEnabled(Control::lbllblFolder1, state.UseArchive);
  // The Select buttons stay disabled during a run: a folder must not change under a scan.
  view.SetEnabled(Control::cmdBrowse1, state.UseArchive && !state.Running);
  const bool archive_usable = state.UseArchive && FolderExists(state.ArchiveFolder);
  view.SetEnabled(Control::cmdReprocess, archive_usable);
  view.SetEnabled(Control::cmdFiles1, archive_usable);
}

}  // namespace qm::app
