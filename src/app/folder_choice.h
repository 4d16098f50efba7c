#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

// The decisions of the folder chooser: its title, where it starts, and what its OK stores.

/// The chooser's title for row `folder_index`: "Quillmark - Input folder", "Quillmark - Archive folder",
/// "Quillmark - Output folder", and "???" for any other row.
std::string FolderChooserTitle(int folder_index);

/// The folder setting of row `folder_index` (0 input, 1 archive, 2 output); empty for any other row.
std::string FolderOfRow(const AppState& state, int folder_index);

/// A directory as a folder setting: with exactly one trailing separator, however many it had ("/a/b//" gives
/// "/a/b/"). A root keeps its single separator ("/" stays "/", "C:\" stays "C:\"). Empty stays empty.
std::string FolderSetting(std::string_view directory);

/// The chooser's OK: stores `directory` as a folder setting for row `state.FolderIndex` in the state, the
/// settings file and the row's label, then validates the folders. A folder that is also another row's folder
/// is stored too, with a beep and a warning for each such row ("The output folder is also the input
/// folder"). Nothing changes for an empty directory or another row. A directory whose name holds a line
/// break, which the settings file cannot hold, is refused with a beep and a message, and nothing changes;
/// returns false then, so that the chooser stays open.
bool StoreChosenFolder(AppState& state, MainView& view, std::string_view directory);

/// The volume that holds `path`: the index of the longest of `roots` that is `path` itself or one of its
/// ancestors ("/home" holds "/home/a" but not "/homework"), or -1 when none is.
int VolumeOf(std::string_view path, const std::vector<std::string>& roots);

}  // namespace qm::app
