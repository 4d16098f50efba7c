#include "app/help_file.h"

#include <system_error>

namespace qm::app {

std::filesystem::path HelpFilePath(const std::filesystem::path& program_folder) {
  const std::filesystem::path beside = program_folder / "Quillmark.htm";
  const std::filesystem::path installed =
      program_folder.parent_path() / "share" / "quillmark" / "Quillmark.htm";
  std::error_code ec;
  if (!std::filesystem::is_regular_file(beside, ec) && std::filesystem::is_regular_file(installed, ec)) {
    return installed;
  }
  return beside;
}

std::optional<std::filesystem::path> mnuHelp_Click(const AppState& state, MessageSink& sink,
                                                   const std::filesystem::path& program_folder) {
  const std::filesystem::path help = HelpFilePath(program_folder);
  std::error_code ec;
  if (std::filesystem::is_regular_file(help, ec)) return help;
  sink.Beep();
  sink.ShowMessage({"Missing help file:\n" + help.string(), AppTitle(state), MessageIcon::kExclamation,
                    MessageButtons::kOk});
  return std::nullopt;
}

}  // namespace qm::app
