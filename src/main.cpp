#include <QApplication>

#include "app/platform_paths.h"
#include "ui/artwork.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Quillmark");
  QApplication::setDesktopFileName("quillmark");
  QApplication::setWindowIcon(qm::ui::ProgramIcon());
  // The window's quit confirmation decides when the program ends, not the last window closing: a properties
  // window may still be open.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::filesystem::path program_folder = qm::app::ExecutableFolder();
  qm::ui::frmQuillmark window(qm::app::DefaultIniPath(program_folder), program_folder);
  QObject::connect(&window, &qm::ui::frmQuillmark::Unloaded, &application, &QApplication::quit,
                   Qt::QueuedConnection);
  window.show();
  return QApplication::exec();
}
