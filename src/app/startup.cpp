#include "app/startup.h"

#include <string>

#include "app/folder_choice.h"
#include "app/folder_validation.h"
#include "app/option_handlers.h"
#include "app/settings.h"
#include "version.h"

namespace qm::app {
void ShowWaitTime(const AppState& state, MainView& view) {
  view.SetCaption(Control::lblMaxAttente, std::to_string(state.Wait) + " sec.");
  view.SetProgressMaximum(state.Wait >= 2 ? state.Wait - 1 : 1);
}

void ReadSettings(AppState& state) {
  // A folder is used with exactly one separator at its end, whatever the file holds ("/x/in" is the folder
  // in, not every name that starts with "in"); the file itself keeps what it holds.
  state.InputFolder = FolderSetting(ReadSetting(state, kFoldersSection, "Input"));
  state.ArchiveFolder = FolderSetting(ReadSetting(state, kFoldersSection, "Archive"));
  state.UseArchive = ReadSetting(state, kFoldersSection, "UseArchive") == "1";
  state.OutputFolder = FolderSetting(ReadSetting(state, kFoldersSection, "Output"));
  const std::string accents = ReadSetting(state, kOptionsSection, "Accents");
  state.Accents = static_cast<std::int16_t>(accents == "1" ? 1 : accents == "2" ? 2 : 0);
  state.Wait = WaitFromSetting(ReadSetting(state, kOptionsSection, "Wait"));
  state.Automatic = ReadSetting(state, kOptionsSection, "Automatic") == "1";
  state.SynchronizeXMP = ReadSetting(state, kOptionsSection, "SynchronizeXMP") == "1";
  state.RemoveXMP = ReadSetting(state, kOptionsSection, "RemoveXMP") == "1";
  state.Settle = WholeNumberFromSetting(ReadSetting(state, kOptionsSection, "Settle"), 3, 0, kMaxSettle);
  state.MaxFileMB =
      WholeNumberFromSetting(ReadSetting(state, kOptionsSection, "MaxFileMB"), 0, 0, kMaxFileMB);
  state.MacToWindows = coding::BuildMacToWindows();
  state.WindowsToMac = coding::BuildWindowsToMac();
  state.ActiveAccentTable = coding::SelectAccentTable(state.Accents, state.MacToWindows, state.WindowsToMac);
}

void Form_Load(AppState& state, MainView& view, const std::filesystem::path& ini_path) {
  state.AppVersion = kAppVersion;
  state.IniPath = ini_path;
  state.SettingsSink = &view;
  view.SetWindowCaption(AppTitle(state));
  ReadSettings(state);

  // A folder that is set shows in its label; an empty one leaves the label as it is.
  if (!state.InputFolder.empty()) view.SetCaption(Control::lblFolder0, state.InputFolder);
  if (!state.ArchiveFolder.empty()) view.SetCaption(Control::lblFolder1, state.ArchiveFolder);

  // Every option button starts unselected, so selecting one is a change and runs its handler, which writes
  // the normalised value back.
  const int archive_option = state.UseArchive ? 1 : 0;
  view.SetChecked(Indexed(Control::optUseArchive0, archive_option), true);
  optUseArchive_Click(state, view, archive_option);

  if (!state.OutputFolder.empty()) view.SetCaption(Control::lblFolder2, state.OutputFolder);

  view.SetChecked(Indexed(Control::optAccents0, state.Accents), true);
  optAccents_Click(state, view, state.Accents);

  ShowWaitTime(state, view);

  // Every box starts unchecked, so only a checked one changes and runs its handler. When the file holds both
  // XMP options, synchronisation, set first, wins.
  if (state.Automatic) {
    view.SetChecked(Control::chkAutomatic, true);
    chkAutomatic_Click(state, view, true);
  }
  if (state.SynchronizeXMP) {
    view.SetChecked(Control::chkSynchronizeXMP, true);
    chkSynchronizeXMP_Click(state, view, true);
  }
  if (state.RemoveXMP) {  // cleared by synchronisation's handler when both were on
    view.SetChecked(Control::chkRemoveXMP, true);
    chkRemoveXMP_Click(state, view, true);
  }

  // An automatic start tells its folders itself, without a box, and waits for those not there yet.
  ValidateFolders(state, view, state.Automatic ? UnknownFolder::kKeep : UnknownFolder::kReportAndForget);
  state.Running = false;
}

bool Form_QueryUnload(const AppState& state, MessageSink& view) {
  Message question{"Quit Quillmark", AppTitle(state), MessageIcon::kQuestion, MessageButtons::kYesNo};
  if (state.Running) {
    // An unattended desk must not stop on a stray Enter.
    question.Text =
        "Quit Quillmark and stop the run?\nThe input folder is then no longer processed automatically.";
    question.Default = Answer::kNo;
  }
  return view.ShowMessage(question) != Answer::kYes;
}

}  // namespace qm::app
