#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "cli/console.h"
#include "cli/console_view.h"
#include "cli/options.h"

namespace qm::cli {

inline constexpr int kExitDone = 0;  ///< every entry got its output, every file was deleted or moved
inline constexpr int kExitKept =
    1;  ///< an entry was kept where it was, or nothing was done (answer No, stop)
inline constexpr int kExitInvalid = 2;  ///< wrong arguments, or the folders the command needs are not valid

/// What a command works with: the settings with the options applied, the console view over them, the console
/// and the parsed options.
struct Context {
  app::AppState& State;
  ConsoleView& View;
  Console& Io;
  const Options& Given;
};

/// One command. Each lives in its own file, <name>_command.cpp, defining a `Command` object that has one line
/// in the table of commands.cpp.
struct Command {
  std::string_view Name;
  std::string_view Synopsis;  ///< what follows the name on the usage line: "[--yes]", "FILE..."
  std::string_view Summary;   ///< what --help says of it
  bool TakesArguments;        ///< whether anything but options may follow the name
  int (*Run)(Context&);
};

/// The commands, in the order --help lists them.
std::span<const Command* const> Commands();

/// The text of --help.
std::string HelpText();

/// Runs the command line: `arguments` are those after the program's name. Returns the exit status.
int Main(const std::vector<std::string>& arguments, Console& io);

/// Says on the standard error why the command cannot go on: "quillmark-cli: <what>".
void Complain(Context& context, std::string_view what);

/// Whether the folders a run needs are set (input and output, and the archive with --after archive); says
/// which is not and how to set it. Set folders that do not exist are the Run command's to report.
bool RunFoldersAreSet(Context& context);

/// Performs a folder command of the window (`cmdClearOutput_Click`, `cmdReprocess_Click`), listing what
/// becomes of each file as kept in the `folder` folder, and returns its exit status: 2 when no question came
/// (the core refused the folders), 1 when the answer was No, a signal cut it short or a file stayed, else 0.
int RunFolderCommand(Context& context, void (*command)(app::AppState&, app::MainView&), const char* folder);

/// Whether `folder` (the setting of the `name` folder: "output") names an existing folder; otherwise says so.
bool FolderIsThere(Context& context, const std::string& folder, std::string_view name);

}  // namespace qm::cli
