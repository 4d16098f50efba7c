#pragma once

#include <filesystem>

namespace qm::app {

// Where the program finds its own files. This is the one place that asks the operating system for them.

/// Whether this process may write to the file or into the folder.
bool CanWrite(const std::filesystem::path& path);

/// The folder that holds the running executable, or an empty path when the system does not tell.
std::filesystem::path ExecutableFolder();

/// The settings file: Quillmark.ini in `program_folder` when that folder can be written or the file is there.
/// Otherwise, and always for a program installed under /usr, on Linux: Quillmark/Quillmark.ini under
/// $XDG_CONFIG_HOME (~/.config by default), so that an installed program keeps its settings per user; on
/// Windows: Quillmark\Quillmark.ini under %APPDATA%.
std::filesystem::path DefaultIniPath(const std::filesystem::path& program_folder);

/// The platform's folder separator as a folder setting ends with it: "/" on Linux, "\" on Windows.
inline constexpr char kFolderSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

}  // namespace qm::app
