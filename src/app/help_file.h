#pragma once

#include <filesystem>
#include <optional>

#include "app/app_state.h"
#include "app/main_view.h"

namespace qm::app {

/// The help page: Quillmark.htm in the program's folder or, for a program installed under a prefix, in
/// share/quillmark beside its bin folder. When neither exists, the path in the program's folder.
std::filesystem::path HelpFilePath(const std::filesystem::path& program_folder);

/// Help (F1): the help page to open. When it is missing, a beep and "Missing help file:" with the path on the
/// next line (exclamation icon, title AppTitle), and nothing to open.
std::optional<std::filesystem::path> mnuHelp_Click(const AppState& state, MessageSink& sink,
                                                   const std::filesystem::path& program_folder);

}  // namespace qm::app
