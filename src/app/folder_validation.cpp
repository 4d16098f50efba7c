#include "app/folder_validation.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "app/file_operations.h"
#include "app/settings.h"
#include "platform/file_services.h"

namespace qm::app {
namespace {

void ShowInputStep(MainView& view, bool visible) {
  for (const Control c : {Control::lblBulle0, Control::LineBulle0, Control::lblBulle1, Control::LineBulle1}) {
    view.SetVisible(c, visible);
  }
}

void ShowOutputStep(MainView& view, bool visible) {
  for (const Control c : {Control::lblBulle2, Control::LineBulle2, Control::lblBulle3, Control::LineBulle3,
                          Control::LineBulle4}) {
    view.SetVisible(c, visible);
  }
}

void ShowRunStep(MainView& view, bool visible) {
  view.SetVisible(Control::lblBulle5, visible);
  view.SetVisible(Control::LineBulle5, visible);
}

std::string UnknownFolderText(const char* what, const std::string& folder) {
  return std::string("Unknown ") + what + " folder\n" + folder;
}

// Reports an unknown folder as `unknown` says: forgotten in the state and in its label, or kept.
void TellUnknownFolder(AppState& state, MainView& view, UnknownFolder unknown, std::string& folder,
                       const char* what, Control label) {
  if (unknown == UnknownFolder::kKeep) return;
  if (unknown == UnknownFolder::kReportAndForget) view.Beep();
  view.ShowMessage(
      {UnknownFolderText(what, folder), AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
  if (unknown != UnknownFolder::kReportAndForget) return;
  folder.clear();
  view.SetCaption(label, "");
}

void SetEnabledAll(MainView& view, std::initializer_list<Control> controls, bool enabled) {
  for (const Control c : controls) view.SetEnabled(c, enabled);
}

}  // namespace

bool FolderExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(platform::PathOf(path), ec) && !ec;
}

bool ValidateFolders(AppState& state, MainView& view, UnknownFolder unknown) {
  bool result = true;

  // Each step sets its buttons and guide first, then reports an unknown folder; cmdRun keeps the last step's
  // state.
  // A folder kept while it is not there is set all the same: the guide asks only for folders never chosen.
  const bool keep = unknown != UnknownFolder::kReportAndForget;
  const bool input_set = !state.InputFolder.empty();
  const bool input_exists = input_set && FolderExists(state.InputFolder);
  SetEnabledAll(view, {Control::cmdRun, Control::cmdFiles0}, input_exists);
  const bool input_step = !input_exists && !(keep && input_set);
  ShowInputStep(view, input_step);
  if (!input_exists) {
    if (input_set) TellUnknownFolder(state, view, unknown, state.InputFolder, "input", Control::lblFolder0);
    result = false;
  }

  if (state.UseArchive) {
    const bool archive_set = !state.ArchiveFolder.empty();
    const bool archive_exists = archive_set && FolderExists(state.ArchiveFolder);
    SetEnabledAll(view, {Control::cmdRun, Control::cmdFiles1, Control::cmdReprocess}, archive_exists);
    if (!archive_exists) {
      if (archive_set) {
        TellUnknownFolder(state, view, unknown, state.ArchiveFolder, "archive", Control::lblFolder1);
      }
      result = false;
    }
  }

  const bool output_set = !state.OutputFolder.empty();
  const bool output_exists = output_set && FolderExists(state.OutputFolder);
  SetEnabledAll(view, {Control::cmdRun, Control::cmdFiles2, Control::cmdClearOutput}, output_exists);
  const bool output_step = !output_exists && !(keep && output_set);
  ShowOutputStep(view, output_step);
  if (!output_exists) {
    if (output_set)
      TellUnknownFolder(state, view, unknown, state.OutputFolder, "output", Control::lblFolder2);
    result = false;
  }

  ShowRunStep(view, input_step || output_step);
  return result;
}

bool ValidateFoldersForRun(AppState& state, MainView& view) {
  // Noted before the validation, which empties the unknown folders it reports. A missing output folder
  // disables Run; the two others leave it enabled, and a click on it asks for a run.
  const bool unset[] = {state.InputFolder.empty(), state.UseArchive && state.ArchiveFolder.empty()};
  const bool unattended = state.AutomaticStart;
  if (ValidateFolders(state, view,
                      unattended ? UnknownFolder::kTellAndKeep : UnknownFolder::kReportAndForget)) {
    return true;
  }
  const char* const texts[] = {
      "No input folder selected\nChoose one with the Select button of the Input row.",
      "No archive folder selected\nChoose one with the Select button of the Archive row, or choose \"Remove "
      "images from input folder\"."};
  for (int i = 0; i < 2; ++i) {
    if (!unset[i]) continue;
    if (!unattended) view.Beep();
    view.ShowMessage({texts[i], AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
  }
  if (!unattended || unset[0] || unset[1] || state.OutputFolder.empty()) return false;
  // The run's first scan meets the same folder missing: in the order it checks them, the first one told here
  // is not told again.
  if (!FolderExists(state.InputFolder)) {
    state.FolderProblemTold = UnknownFolderText("input", state.InputFolder);
  } else if (!FolderExists(state.OutputFolder)) {
    state.FolderProblemTold = UnknownFolderText("output", state.OutputFolder);
  } else {
    state.FolderProblemTold = UnknownFolderText("archive", state.ArchiveFolder);
  }
  return true;
}

bool CheckDistinctFolders(const AppState& state, MainView& view, std::string_view a, const char* a_name,
                          std::string_view b, const char* b_name) {
  if (!SameFolder(a, b)) return true;
  view.Beep();
  view.ShowMessage(
      {std::string("The ") + a_name + " folder is also the " + b_name + " folder\n" + std::string(a),
       AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
  return false;
}

}  // namespace qm::app
