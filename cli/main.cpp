#include <iostream>
#include <string>
#include <vector>

#include "app/platform_paths.h"
#include "cli/commands.h"
#include "cli/folder_events.h"
#include "cli/platform_console.h"

int main(int argc, char** argv) {
  qm::cli::PrepareConsole();
  qm::cli::InstallStopSignals();
  qm::cli::FolderEvents events;
  qm::cli::Console console{.In = std::cin,
                           .Out = std::cout,
                           .Err = std::cerr,
                           .InTerminal = qm::cli::IsTerminal(0),
                           .ErrTerminal = qm::cli::IsTerminal(2),
                           .StopRequested = qm::cli::StopSignalReceived,
                           .WaitUntil = [&](auto deadline) { return events.WaitUntil(deadline); },
                           .WatchFolder = [&](const std::string& folder) { return events.Watch(folder); },
                           .ProgramFolder = qm::app::ExecutableFolder()};
  return qm::cli::Main(qm::cli::Arguments(argc, argv), console);
}
