// Drives the real windows through first start, set-up, a run and each dialog, and saves a picture of each
// into the folder given as argument. Run it on a display (scripts/screenshots gives it a virtual one).
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <filesystem>

#include "support/image_builders.h"
#include "support/temp_dir.h"
#include "ui/about_box.h"
#include "ui/activity_window.h"
#include "ui/file_properties.h"
#include "ui/folder_chooser.h"
#include "ui/inspector_window.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/tooltip.h"
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
                   ("DESK_2026120" + std::to_string(i % 10) + "_" + std::to_string(i) + ".jpg"),
               QColor::fromHsv(i * 30 % 360, 120, 200));
  }
  // One photo whose XMP packet a broken tool cut short: it stays in the input folder, and the run tells why.
  WriteFile(std::filesystem::path(input) / "DESK_20261206_13.jpg",
            qm::test::Jpeg({qm::test::App1Xmp(qm::test::XmpPacket("<rdf:Description></rdf:Descr>")),
                            qm::test::ImageData()}));
  // The files have rested as long as a run waits for them to be complete.
  window.State().Settle = 0;
  window.findChild<QAbstractButton*>("cmdRun")->click();
  Settle(3600);  // three ticks of the waiting display
  ok &= Save(&window, out, "main-running");
  window.findChild<QAbstractButton*>("cmdRun")->click();
  Settle();
  {
    qm::ui::frmActivity* activity = window.Activity();
    activity->move(window.pos() + QPoint(40, 120));
    ok &= Save(activity, out, "activity");
    activity->hide();
  }

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
    const std::filesystem::path photo = std::filesystem::path(output) / "DESK_20261201_1.jpg";
    if (!std::filesystem::exists(photo)) WritePhoto(photo, QColor(90, 140, 200));
    auto* properties = new qm::ui::FileProperties(QString::fromStdString(photo.string()));
    ok &= Save(properties, out, "file-properties");
    properties->close();
  }
  {
    // The inspector on the archive, on a photo whose caption a Macintosh wrote, with a word selected.
    const std::filesystem::path photo = std::filesystem::path(archive) / "DESK_20261130_mac.jpg";
    WritePhoto(photo, QColor(200, 150, 90));
    std::string bytes = qm::test::ReadFile(photo);
    bytes.insert(2, qm::test::App13(qm::test::Irb(qm::test::Iptc(
                        {{2, 5, "March\x8E aux fleurs"},
                         {2, 25, "march\x8E"},
                         {2, 25, "fleurs"},
                         {2, 90, "Paris"},
                         {2, 101, "France"},
                         {2, 110, "Photo desk"},
                         {2, 118, "desk@example.org"},
                         {2, 120, "Le march\x8E aux fleurs de l'\x94le de la Cit\x8E, un matin d'\x8Et\x8E."},
                         {2, 122, "J. Martin"}}))));
    WriteFile(photo, bytes);
    window.State().FolderIndex = 1;
    qm::ui::frmFiles inspector(window.State(), &window);
    inspector.show();
    const QList<QListWidgetItem*> item =
        inspector.lstFiles->findItems("DESK_20261130_mac.jpg", Qt::MatchExactly);
    if (!item.isEmpty()) inspector.lstFiles->setCurrentItem(item.front());
    QTextCursor cursor = inspector.txtIPTC->textCursor();
    cursor.setPosition(13);
    cursor.setPosition(19, QTextCursor::KeepAnchor);
    inspector.txtIPTC->setTextCursor(cursor);
    ok &= Save(&inspector, out, "inspector");

    // The character tip is a window of its own: it is painted into the picture where it shows.
    QCursor::setPos(inspector.txtIPTC->mapToGlobal(QPoint(90, 14)));
    inspector.txtIPTC_MouseUp();
    QEnterEvent enter(QPointF(90, 14), QPointF(90, 14), QCursor::pos());
    QApplication::sendEvent(inspector.txtIPTC, &enter);
    Settle(1500);
    QPixmap picture = inspector.grab();
    if (QWidget* tip = inspector.CharacterTip()->hWnd(); tip != nullptr && tip->isVisible()) {
      QPainter painter(&picture);
      painter.drawPixmap(tip->pos() - inspector.mapToGlobal(QPoint(0, 0)), tip->grab());
    }
    const bool saved = picture.save(out + "/inspector-character-tip.png");
    std::printf("%s inspector-character-tip.png\n", saved ? "wrote" : "could not write");
    ok &= saved;
  }
  (void)desk;
  window.hide();
  return ok ? 0 : 1;
}
