#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"

namespace qm::cli {

/// The command line, parsed. Options that were not given leave the settings file's values alone.
struct Options {
  std::optional<std::filesystem::path> Ini;
  std::optional<std::string> Input;
  std::optional<std::string> Archive;
  std::optional<std::string> Output;
  std::optional<bool> UseArchive;
  std::optional<std::int16_t> Accents;
  std::optional<bool> SynchronizeXMP;  ///< with RemoveXMP, from --xmp keep|sync|remove
  std::optional<bool> RemoveXMP;
  std::optional<std::int16_t> Wait;
  std::optional<int> Settle;     ///< seconds, from --settle
  std::optional<int> MaxFileMB;  ///< from --max-file-mb
  /// --log: the JSON log, over Log in [Options].
  std::optional<std::filesystem::path> Log;
  bool Yes = false;
  /// --raw: inspect writes the field text's bytes as stored.
  bool Raw = false;
  bool Help = false;
  bool Version = false;
  /// The command's name, empty when none was given.
  std::string Command;
  /// What follows the command that is not an option (the files of a command that takes files).
  std::vector<std::string> Arguments;
};

struct ParsedOptions {
  Options Value;
  /// What is wrong with the arguments ("--after: expected delete or archive, found 'move'"); empty when
  /// nothing.
  std::string Error;
};

/// Parses the arguments after the program's name. Options may stand before or after the command, as
/// "--name value" or "--name=value"; "--" ends the options.
ParsedOptions ParseOptions(const std::vector<std::string>& arguments);

/// Puts the options given into the state, over what the settings file said. Folder options become absolute
/// folder settings that end with the separator; the active accent table follows --accents.
void ApplyOptions(const Options& options, app::AppState& state);

}  // namespace qm::cli
