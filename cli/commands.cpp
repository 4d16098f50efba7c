#include "cli/commands.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <system_error>

#include "app/folder_validation.h"
#include "app/platform_paths.h"
#include "app/settings.h"
#include "app/startup.h"
#include "app/json_log.h"
#include "platform/file_services.h"
#include "version.h"

namespace qm::cli {

extern const Command kRunCommand;
extern const Command kWatchCommand;
extern const Command kClearOutputCommand;
extern const Command kReprocessArchiveCommand;
extern const Command kInspectCommand;

std::span<const Command* const> Commands() {
  static const Command* const table[] = {
      &kRunCommand, &kWatchCommand, &kClearOutputCommand, &kReprocessArchiveCommand, &kInspectCommand,
  };
  return table;
}

namespace {

constexpr std::string_view kProgram = "quillmark-cli";

const Command* FindCommand(std::string_view name) {
  for (const Command* command : Commands()) {
    if (command->Name == name) return command;
  }
  return nullptr;
}

void Usage(std::ostream& err, std::string_view problem) {
  err << kProgram << ": " << problem << "\nTry '" << kProgram << " --help'.\n";
}

// Whether the folder setting of the folder `name` is set; otherwise says how to set it.
bool IsSet(Context& context, const std::string& folder, std::string_view name) {
  if (!folder.empty()) return true;
  std::string key(name);
  key[0] = static_cast<char>(key[0] - 'a' + 'A');
  Complain(context, "no " + std::string(name) + " folder is set: give --" + std::string(name) +
                        " DIR, or set " + key + " in [Folders] of " + context.State.IniPath.string());
  return false;
}

// Where a relative Log is: in the folder systemd made for the service's logs (the first of them), else beside
// the settings file (always on Windows, which has no systemd).
std::filesystem::path LogFolder(const app::AppState& state) {
#if !defined(_WIN32)
  const char* logs = std::getenv("LOGS_DIRECTORY");
  if (logs != nullptr && *logs != '\0') return std::string(logs).substr(0, std::string(logs).find(':'));
#endif
  return state.IniPath.parent_path();
}

}  // namespace

std::string HelpText() {
  std::string text;
  text += "Usage: quillmark-cli [options] COMMAND\n\n";
  text +=
      "Processes the files of the input folder as the Quillmark window does, without a display: the accents "
      "of\n"
      "each image's IPTC fields are converted, its XMP packet is kept, synchronised with the IPTC fields or\n"
      "removed, the result is written under the same name into the output folder, and the input file is "
      "then\n"
      "moved into the archive folder or deleted.\n\nCommands:\n";
  for (const Command* command : Commands()) {
    std::string usage = "  " + std::string(command->Name);
    if (!command->Synopsis.empty()) usage += " " + std::string(command->Synopsis);
    usage.resize(std::max<std::size_t>(usage.size() + 2, 30), ' ');
    text += usage + std::string(command->Summary) + "\n";
  }
  text +=
      "\nOptions override the settings file for this invocation only; the file is never written:\n"
      "  --ini FILE                    the settings file; without it, Quillmark.ini beside the program, or\n"
      "                                ~/.config/Quillmark/Quillmark.ini where the program's folder is not\n"
      "                                writable (as the window finds it)\n"
      "  --input DIR                   the input folder (Input in [Folders])\n"
      "  --archive DIR                 the archive folder (Archive)\n"
      "  --output DIR                  the output folder (Output)\n"
      "  --after delete|archive        what becomes of an input file once its output is written "
      "(UseArchive)\n"
      "  --accents mac-to-windows|windows-to-mac|none\n"
      "                                the conversion of the IPTC accents (Accents in [Options])\n"
      "  --xmp keep|sync|remove        keep the XMP packet, synchronise it with the IPTC fields, or remove "
      "it\n"
      "                                (SynchronizeXMP, RemoveXMP)\n"
      "  --wait SECONDS                seconds between two scans of watch, 1 to 32000 (Wait)\n"
      "  --settle SECONDS              how long a file must stay unchanged before it is taken, 0 to 3600\n"
      "                                (Settle; 3 by default)\n"
      "  --max-file-mb MB              files larger than this stay in the input folder, untouched (MaxFileMB;\n"
      "                                0, the default, sets no limit)\n"
      "  --log FILE                    append a line of JSON to FILE for each file and each scan (Log in\n"
      "                                [Options]; a relative Log is taken from $LOGS_DIRECTORY, which\n"
      "                                systemd sets, else from the settings file's folder)\n"
      "  --yes                         answer yes to the question of clear-output and reprocess-archive\n"
      "  --help                        show this text\n"
      "  --version                     show the version\n"
      "\nWhat is printed:\n"
      "  On the standard output, one line per file: its name and what became of it, for example\n"
      "    photo.jpg: written, archived\n"
      "    photo.jpg: written, deleted\n"
      "    photo.jpg: not written, kept in the input folder: its XMP packet does not parse\n"
      "    photo.jpg: kept in the input folder: it is still being written\n"
      "  and after each scan the two status lines of the window:\n"
      "    Since: 12/06/2026 - 14:05 - processed: 12\n"
      "    Last: 12/06/2026 - 14:07 - processed: 2\n"
      "  Messages go to the standard error, after their title; on a terminal a progress line shows there "
      "too.\n"
      "  Names are printed with control characters and bytes that are not UTF-8 as \\xNN, and a backslash\n"
      "  as \\\\. A file kept for the same reason as at the scan before, and unchanged since, is not printed\n"
      "  again.\n"
      "\nWhat is left alone:\n"
      "  Names beginning with \".\", folders, FIFOs, sockets and devices. Symbolic links: they are told once\n"
      "  and never followed. A file that is still being written: it is taken once its size and times have not\n"
      "  changed for the settle time and no program holds it open for writing. A file that failed (its XMP\n"
      "  packet does not parse, it is too large, it is the output's or the archive's file too) stays in the\n"
      "  input folder and is tried again only once it changes.\n"
      "\nWhat is guaranteed:\n"
      "  One Quillmark at a time works on an input folder: a scan takes a lock on it (the file .quillmark.lock\n"
      "  in it); while another holds it, run says so and ends with status 1, and watch tries again at its\n"
      "  next scan. Outputs are flushed to the device before their inputs leave the input folder, and an input\n"
      "  is deleted or archived only when its name still holds the very file that was processed.\n"
      "\nwatch also scans as soon as a file is closed after writing in the input folder or moved into it, "
      "where\n"
      "the system tells (a folder shared by another machine does not): the scan every Wait seconds finds "
      "the\n"
      "rest.\n"
      "\nThe log has one JSON object per line, in UTF-8, for example:\n"
      "  "
      "{\"time\":\"2026-12-06T14:05:03.120+01:00\",\"event\":\"entry\",\"name\":\"photo.jpg\",\"bytes\":"
      "5242880,\n"
      "   \"fate\":\"archived\",\"written\":true,\"reason\":\"\",\"ms\":41}\n"
      "  {\"time\":\"2026-12-06T14:05:03.200+01:00\",\"event\":\"scan\",\"processed\":1,\"written\":1,\n"
      "   \"archived\":1,\"deleted\":0,\"kept\":0,\"repeated\":0}\n"
      "  fate is archived, deleted, moved to input or kept; names and reasons are written exactly, but for\n"
      "  a name that is not UTF-8, written as on the standard output and marked \"name_escaped\":true. The\n"
      "  file is opened for each line, so it may be rotated by renaming or by copying and truncating, without\n"
      "  a signal. A log that cannot be written is said once on the standard error; the work goes on, and\n"
      "  each later line tries the log again.\n"
      "\nQuestions are asked on the terminal; --yes answers yes; without a terminal and without --yes the "
      "answer\n"
      "is no.\n"
      "\nSIGINT, SIGTERM or SIGHUP stops a scan after the file in hand, never inside one, and ends watch; a\n"
      "second signal ends the program at once.\n"
      "\nExit status:\n"
      "  0  every file got its output (clear-output, reprocess-archive: every file was deleted or moved)\n"
      "  1  a file was kept where it was (watch: by its last scan), a signal cut a run or a watch short,\n"
      "     another Quillmark held the input folder or a folder could not be used, or the question was\n"
      "     answered no\n"
      "  2  the arguments are wrong, or the folders the command needs are not valid\n";
  return text;
}

void Complain(Context& context, std::string_view what) {
  context.Io.Err << kProgram << ": " << what << '\n' << std::flush;
}

bool RunFoldersAreSet(Context& context) {
  const app::AppState& s = context.State;
  bool set = IsSet(context, s.InputFolder, "input");
  if (s.UseArchive) set = IsSet(context, s.ArchiveFolder, "archive") && set;
  return IsSet(context, s.OutputFolder, "output") && set;
}

bool FolderIsThere(Context& context, const std::string& folder, std::string_view name) {
  if (!IsSet(context, folder, name)) return false;
  if (app::FolderExists(folder)) return true;
  Complain(context, "the " + std::string(name) + " folder " + folder + " does not exist");
  return false;
}

int RunFolderCommand(Context& context, void (*command)(app::AppState&, app::MainView&), const char* folder) {
  context.View.ListEntries(folder);
  context.State.LastScanEnd = app::AppState::ScanEnd::kComplete;
  command(context.State, context.View);
  if (!context.View.Asked()) return kExitInvalid;
  if (context.View.LastAnswer() != app::Answer::kYes || context.State.Closing ||
      context.State.LastScanEnd == app::AppState::ScanEnd::kBusy) {
    return kExitKept;
  }
  return context.View.KeptTotal() > 0 ? kExitKept : kExitDone;
}

int Main(const std::vector<std::string>& arguments, Console& io) {
  const ParsedOptions parsed = ParseOptions(arguments);
  if (!parsed.Error.empty()) {
    Usage(io.Err, parsed.Error);
    return kExitInvalid;
  }
  const Options& options = parsed.Value;
  if (options.Help) {
    io.Out << HelpText() << std::flush;
    return kExitDone;
  }
  if (options.Version) {
    io.Out << kProgram << " " << kAppVersion << '\n' << std::flush;
    return kExitDone;
  }
  if (options.Command.empty()) {
    Usage(io.Err, "no command given");
    return kExitInvalid;
  }
  const Command* command = FindCommand(options.Command);
  if (command == nullptr) {
    Usage(io.Err, "unknown command '" + options.Command + "'");
    return kExitInvalid;
  }
  if (!command->TakesArguments && !options.Arguments.empty()) {
    Usage(io.Err, std::string(command->Name) + ": unexpected argument '" + options.Arguments.front() + "'");
    return kExitInvalid;
  }

  app::AppState state;
  state.AppVersion = kAppVersion;
  state.IniPath = options.Ini ? *options.Ini : app::DefaultIniPath(io.ProgramFolder);
  std::error_code ec;
  if (options.Ini && !std::filesystem::is_regular_file(*options.Ini, ec)) {
    Usage(io.Err, "--ini: the settings file " + options.Ini->string() + " does not exist");
    return kExitInvalid;
  }
  app::ReadSettings(state);
  // A file that holds both XMP options synchronises, as the window's start-up decides.
  if (state.SynchronizeXMP) state.RemoveXMP = false;
  ApplyOptions(options, state);

  ConsoleView view(state, io, options.Yes);
  // A log that cannot be written never stops the work: it is said once, and each line tries it again.
  // inspect tells of no entry.
  std::optional<app::JsonLog> log;
  std::filesystem::path log_path =
      options.Log ? *options.Log : platform::PathOf(app::ReadSetting(state, app::kOptionsSection, "Log"));
  if (!log_path.empty() && command != &kInspectCommand) {
    if (!options.Log && log_path.is_relative()) log_path = LogFolder(state) / log_path;
    log.emplace(log_path);
    view.SetLog(&*log);
    view.Logged(log->Check());
  }
  Context context{state, view, io, options};
  return command->Run(context);
}

}  // namespace qm::cli
