#include "app/startup.h"

#include <string>

#include "app/folder_validation.h"
#include "app/option_handlers.h"
#include "app/settings.h"
#include "version.h"

namespace qm::app {
namespace {

// A folder value that is set becomes the state's folder and its label's caption; an empty one leaves the
// label as it is.
void LoadFolder(AppState& state, MainView& view, const char* key, std::string& folder, Control label) {
  folder = ReadSetting(state, kFoldersSection, key);
  if (!folder.empty()) view.SetCaption(label, folder);
}

}  // namespace

void ShowWaitTime(const AppState& state, MainView& view) {
  view.SetCaption(Control::lblMaxAttente, std::to_string(state.Wait) + " sec.");
  view.SetProgressMaximum(state.Wait >= 2 ? state.Wait - 1 : 1);
}

void Form_Load(AppState& state, MainView& view, const std::filesystem::path& ini_path) {
  state.AppVersion = kAppVersion;
  state.IniPath = ini_path;
  view.SetWindowCaption(AppTitle(state));

  LoadFolder(state, view, "Input", state.InputFolder, Control::lblFolder0);
  LoadFolder(state, view, "Archive", state.ArchiveFolder, Control::lblFolder1);

  // Every option button starts unselected, so selecting one is a change and runs its handler.
  state.UseArchive = ReadSetting(state, kFoldersSection, "UseArchive") == "1";
  const int archive_option = state.UseArchive ? 1 : 0;
  view.SetChecked(Indexed(Control::optUseArchive0, archive_option), true);
  optUseArchive_Click(state, view, archive_option);

  LoadFolder(state, view, "Output", state.OutputFolder, Control::lblFolder2);

  const std::string accents = ReadSetting(state, kOptionsSection, "Accents");
  state.Accents = static_cast<std::int16_t>(accents == "1" ? 1 : accents == "2" ? 2 : 0);
  view.SetChecked(Indexed(Control::optAccents0, state.Accents), true);
  optAccents_Click(state, view, state.Accents);

  state.Wait = WaitFromSetting(ReadSetting(state, kOptionsSection, "Wait"));
  ShowWaitTime(state, view);

  // The three boxes are read first and then set; every box starts unchecked, so only a checked one changes and
  // runs its handler. When the file holds both XMP options, synchronisation, set first, wins.
  state.Automatic = ReadSetting(state, kOptionsSection, "Automatic") == "1";
  state.SynchronizeXMP = ReadSetting(state, kOptionsSection, "SynchronizeXMP") == "1";
  state.RemoveXMP = ReadSetting(state, kOptionsSection, "RemoveXMP") == "1";
  if (state.Automatic) {
    view.SetChecked(Control::chkAutomatic, true);
    chkAutomatic_Click(state, view, true);
  }
  if (state.SynchronizeXMP) {
    view.SetChecked(Control::chkSynchronizeXMP, true);
    chkSynchronizeXMP_Click(state, view, true);
  }
  if (state.RemoveXMP) {
    view.SetChecked(Control::chkRemoveXMP, true);
    chkRemoveXMP_Click(state, view, true);
  }

  state.MacToWindows = coding::BuildMacToWindows();
  state.WindowsToMac = coding::BuildWindowsToMac();
  state.ActiveAccentTable = coding::SelectAccentTable(state.Accents, state.MacToWindows, state.WindowsToMac);

  ValidateFolders(state, view);
  state.Running = false;
}

bool Form_QueryUnload(const AppState& state, MessageSink& view) {
  const Answer answer = view.ShowMessage(
      {"Quit Quillmark", AppTitle(state), MessageIcon::kQuestion, MessageButtons::kYesNo});
  return answer != Answer::kYes;
}

}  // namespace qm::app
