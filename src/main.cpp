#include <QApplication>
#include <cstdio>
#include <string_view>

#include "app/log_history.h"
#include "app/platform_paths.h"
#include "ui/artwork.h"
#include "ui/main_window.h"
#include "version.h"

namespace {

constexpr const char* kHelp =
    "Usage: quillmark [--help] [--version]\n\n"
    "Opens the Quillmark window: the accents of the IPTC fields of each JPEG image of the input folder are\n"
    "converted, its XMP packet is kept, synchronised with the IPTC fields or removed, the result is written\n"
    "under the same name into the output folder, and the input file is moved into the archive folder or\n"
    "deleted; a run keeps watching the input folder until it is stopped. The inspector shows the IPTC "
    "fields\n"
    "of the images of a folder and the coding they were written in.\n\n"
    "Options:\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "The options of Qt programs (-platform, -style...) are taken too.\n\n"
    "Files:\n"
    "  Quillmark.ini beside the program when that folder can be written, otherwise\n"
    "  $XDG_CONFIG_HOME/Quillmark/Quillmark.ini (~/.config/Quillmark/Quillmark.ini): the settings, written\n"
    "  as they change.\n\n"
    "  $XDG_STATE_HOME/Quillmark/Quillmark.log (~/.local/state/Quillmark/Quillmark.log): what became of\n"
    "  each file, one JSON object a line, whose latest entries the activity view shows; renamed to\n"
    "  Quillmark.log.1 at 4 MB.\n\n"
    "  Quillmark.htm beside the program, or /usr/share/quillmark/Quillmark.htm: the help page F1 opens.\n\n"
    "quillmark-cli does the same work without a display, for servers and scripts.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so that no display is needed.
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (argument == "--version") {
      std::printf("quillmark %s\n", qm::kAppVersion);
      return 0;
    }
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("Quillmark");
  QApplication::setDesktopFileName("quillmark");
  QApplication::setWindowIcon(qm::ui::ProgramIcon());
  // The window's quit confirmation decides when the program ends, not the last window closing: a properties
  // window may still be open.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::filesystem::path program_folder = qm::app::ExecutableFolder();
  qm::ui::frmQuillmark window(qm::app::DefaultIniPath(program_folder), program_folder,
                              qm::app::WindowLogPath());
  QObject::connect(&window, &qm::ui::frmQuillmark::Unloaded, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  window.show();
  return QApplication::exec();
}
