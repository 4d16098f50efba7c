// Drives the real windows through first start, set-up, a run and each dialog, and saves a picture of each
// into the folder given as argument. Run it on a display (scripts/screenshots gives it a virtual one).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <filesystem>

#include "support/temp_dir.h"
#include "ui/about_box.h"
#include "ui/file_properties.h"
#include "ui/folder_chooser.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/wait_time_dialog.h"

namespace {

using qm::test::TempDir;
using qm::test::WriteFile;

void Settle(int milliseconds = 300) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool Save(QWidget* window, const QString& folder, const char* name) {
  window->show();
  window->raise();
  window->activateWindow();
  Settle();
  const bool saved = window->grab().save(folder + "/" + name + ".png");
  std::printf("%s %s.png\n", saved ? "wrote" : "could not write", name);
  return saved;
}

void WritePhoto(const std::filesystem::path& file, QColor colour) {
  QImage image(640, 427, QImage::Format_RGB32);
  image.fill(colour);
  image.save(QString::fromStdString(file.string()), "JPEG");
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: screenshot_tour OUTPUT_FOLDER\n");
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(out);
  // Message boxes would stop the tour; they are answered without showing.
  qm::ui::MessageBox::Script();
  const std::filesystem::path program_folder = QCoreApplication::applicationDirPath().toStdString();
  bool ok = true;

  TempDir home;
  {
    qm::ui::frmQuillmark first(home.Path() / "first.ini", program_folder);
    ok &= Save(&first, out, "main-first-start");
    first.hide();
  }

  const std::filesystem::path desk = home.Path() / "Photo desk";
  const std::string input = home.Folder("Photo desk/incoming");
  const std::string archive = home.Folder("Photo desk/archive");
  const std::string output = home.Folder("Photo desk/captions fixed");
  const std::filesystem::path ini = home.Path() / "configured.ini";
  WriteFile(ini, "[Folders]\nInput=" + input + "\nArchive=" + archive + "\nUseArchive=1\nOutput=" + output +
                     "\n[Options]\nAccents=0\nWait=10\nSynchronizeXMP=1\n");
  qm::ui::frmQuillmark window(ini, program_folder);
  ok &= Save(&window, out, "main-configured");

  for (int i = 1; i <= 12; ++i) {
    WritePhoto(std::filesystem::path(input) /
                   ("AFP_2026120" + std::to_string(i % 10) + "_" + std::to_string(i) + ".jpg"),
               QColor::fromHsv(i * 30 % 360, 120, 200));
  }
  window.findChild<QAbstractButton*>("cmdRun")->click();
  Settle(3600);  // three ticks of the waiting display
  ok &= Save(&window, out, "main-running");
  window.findChild<QAbstractButton*>("cmdRun")->click();
  Settle();

  window.State().FolderIndex = 2;
  {
    qm::ui::frmDossier chooser(window.State(), window, &window);
    chooser.show();
    Settle(800);  // the tree fills in the background
    ok &= Save(&chooser, out, "folder-chooser");
  }
  {
    qm::ui::frmTempo tempo(window.State(), window, &window);
    tempo.findChild<QLineEdit*>("Text1")->setText("31999");
    tempo.findChild<QAbstractButton*>("UpDown1Up")->click();
    ok &= Save(&tempo, out, "wait-time");
  }
  {
    qm::ui::frmAbout about(window.State(), program_folder / "Quillmark.htm", &window);
    ok &= Save(&about, out, "about");
  }
  {
    const std::filesystem::path photo = std::filesystem::path(output) / "AFP_20261201_1.jpg";
    if (!std::filesystem::exists(photo)) WritePhoto(photo, QColor(90, 140, 200));
    auto* properties = new qm::ui::FileProperties(QString::fromStdString(photo.string()));
    ok &= Save(properties, out, "file-properties");
    properties->close();
  }
  (void)desk;
  window.hide();
  return ok ? 0 : 1;
}
