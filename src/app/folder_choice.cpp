#include "app/folder_choice.h"

#include "app/entry_text.h"
#include "app/folder_validation.h"
#include "app/platform_paths.h"
#include "app/settings.h"

namespace qm::app {
namespace {

// "/" separates folders everywhere; Windows also takes its own "\".
bool IsSeparator(char c) { return c == '/' || c == kFolderSeparator; }

struct FolderRow {
  const char* Name;
  const char* Suffix;
  const char* Key;
  std::string AppState::*Member;
  Control Label;
};

constexpr FolderRow kRows[] = {
    {"input", " - Input folder", "Input", &AppState::InputFolder, Control::lblFolder0},
    {"archive", " - Archive folder", "Archive", &AppState::ArchiveFolder, Control::lblFolder1},
    {"output", " - Output folder", "Output", &AppState::OutputFolder, Control::lblFolder2},
};

const FolderRow* Row(int folder_index) {
  return folder_index >= 0 && folder_index < 3 ? &kRows[folder_index] : nullptr;
}

}  // namespace

std::string FolderChooserTitle(int folder_index) {
  const FolderRow* row = Row(folder_index);
  return row == nullptr ? "???" : std::string(kProgramName) + row->Suffix;
}

std::string FolderOfRow(const AppState& state, int folder_index) {
  const FolderRow* row = Row(folder_index);
  return row == nullptr ? std::string() : state.*(row->Member);
}

std::string FolderSetting(std::string_view directory) {
  if (directory.empty()) return {};
  std::size_t end = directory.size();
  while (end > 0 && IsSeparator(directory[end - 1])) --end;
  std::string folder(directory.substr(0, end));
  folder.push_back(kFolderSeparator);
  return folder;
}

bool StoreChosenFolder(AppState& state, MainView& view, std::string_view directory) {
  const FolderRow* row = Row(state.FolderIndex);
  if (row == nullptr || directory.empty()) return true;
  const std::string folder = FolderSetting(directory);
  // A settings line holds no line break: such a folder would be used today and lost tomorrow.
  if (folder.find_first_of("\r\n") != std::string::npos) {
    view.Beep();
    view.ShowMessage({"This folder cannot be stored: its name holds a line break\n" + PrintableName(folder),
                      AppTitle(state), MessageIcon::kExclamation, MessageButtons::kOk});
    return false;
  }
  state.*(row->Member) = folder;
  WriteSetting(state, kFoldersSection, row->Key, folder);
  view.SetCaption(row->Label, folder);
  ValidateFolders(state, view);
  // Stored all the same, so that two rows can swap their folders one after the other; the run and the folder
  // commands refuse to start while the two overlap.
  for (const FolderRow& other : kRows) {
    if (&other != row)
      CheckDistinctFolders(state, view, folder, row->Name, state.*(other.Member), other.Name);
  }
  return true;
}

int VolumeOf(std::string_view path, const std::vector<std::string>& roots) {
  int best = -1;
  std::size_t best_size = 0;
  for (std::size_t i = 0; i < roots.size(); ++i) {
    std::string_view root = roots[i];
    while (root.size() > 1 && IsSeparator(root.back())) root.remove_suffix(1);
    if (root.empty() || path.substr(0, root.size()) != root) continue;
    // A root ending with a separator ("/", "C:/") holds everything that starts with it; another root holds
    // only paths that go on with a separator.
    const bool holds =
        path.size() == root.size() || IsSeparator(root.back()) || IsSeparator(path[root.size()]);
    if (holds && (best < 0 || root.size() > best_size)) {
      best = static_cast<int>(i);
      best_size = root.size();
    }
  }
  return best;
}

}  // namespace qm::app
