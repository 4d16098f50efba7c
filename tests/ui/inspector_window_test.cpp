#include "ui/inspector_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "coding/accent_tables.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/tooltip.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Iptc;

class InspectorWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    MessageBox::Script();
    state_.InputFolder = temp_.Folder("in");
    state_.ArchiveFolder = temp_.Folder("archive");
    state_.OutputFolder = temp_.Folder("out");
    state_.ActiveAccentTable = coding::BuildMacToWindows();
  }
  void TearDown() override { MessageBox::Unscript(); }

  // A JPEG of `width` x `height` pixels that Qt can decode, with an APP13 segment holding `iptc` after SOI.
  static std::string Picture(int width, int height, const std::string& iptc = "") {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    std::string bytes(jpeg.constData(), static_cast<std::size_t>(jpeg.size()));
    if (!iptc.empty()) bytes.insert(2, test::App13(test::Irb(iptc)));
    return bytes;
  }

  // The window, built and shown as the main window opens it.
  std::unique_ptr<frmFiles> Open(int folder_index = 0) {
    state_.FolderIndex = static_cast<std::int16_t>(folder_index);
    auto window = std::make_unique<frmFiles>(state_);
    window->show();
    return window;
  }

  // The names shown by the properties windows that are open, which are then closed.
  static QStringList TakePropertiesWindows() {
    QStringList names;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName() != "FileProperties" || !window->isVisible()) continue;
      names.push_back(test::Find<QLabel>(window, "Name")->text() + " in " +
                      test::Find<QLabel>(window, "Folder")->text());
      window->close();
    }
    return names;
  }

  static void Select(frmFiles& window, const QString& name) {
    const QList<QListWidgetItem*> found = window.lstFiles->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    window.lstFiles->setCurrentItem(found.front());
  }

  // Selects characters [begin, end) of the text box and releases the mouse over it.
  static void SelectText(frmFiles& window, int begin, int end) {
    QTextCursor cursor = window.txtIPTC->textCursor();
    cursor.setPosition(begin);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    window.txtIPTC->setTextCursor(cursor);
    QTest::mouseRelease(window.txtIPTC->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
  }

  static void ExpectVerdict(const frmFiles& window, const char* caption, const char* icon, bool enabled) {
    EXPECT_EQ(window.lblIPTC->text(), caption);
    for (const QLabel* image : {window.ImageQuillmark, window.ImageMac, window.ImageWin}) {
      EXPECT_EQ(image->isVisible(), image->objectName() == icon) << image->objectName().toStdString();
    }
    for (const QWidget* control :
         {static_cast<QWidget*>(window.cmdClipboard), static_cast<QWidget*>(window.lblHexDec1),
          static_cast<QWidget*>(window.lblHexDec2)}) {
      EXPECT_EQ(control->isEnabled(), enabled) << control->objectName().toStdString();
    }
  }

  test::TempDir temp_;
  app::AppState state_;
};

TEST_F(InspectorWindowTest, ListsTheChosenFolderUnderItsTitle) {
  test::WriteFile(state_.ArchiveFolder + "a.jpg", Picture(8, 8));
  test::WriteFile(state_.ArchiveFolder + "notes.txt", "text");
  test::WriteFile(state_.ArchiveFolder + ".DS_Store", "x");
  temp_.Folder("archive/sub");
  const auto window = Open(1);
  EXPECT_EQ(window->windowTitle(), "Quillmark - Archive folder");
  ASSERT_EQ(window->lstFiles->count(), 2);
  EXPECT_EQ(window->lstFiles->item(0)->text(), "a.jpg");
  EXPECT_EQ(window->lblFiles->text(), "2 images");
  EXPECT_FALSE(window->cmdProperties->isEnabled());
  ExpectVerdict(*window, "IPTC metadata", "ImageQuillmark", false);
  test::ExpectNothingOverlapsOrClips(window.get());

  std::filesystem::remove_all(state_.OutputFolder);
  EXPECT_EQ(Open(2)->lblFiles->text(), "0 images");
  EXPECT_EQ(Open(7)->windowTitle(), "???");
}

TEST_F(InspectorWindowTest, SelectingAnImageShowsItsFieldsItsCodingAndItsThumbnail) {
  test::WriteFile(state_.InputFolder + "mac.jpg",
                  Picture(348, 220, Iptc({{2, 5, "Paris"}, {2, 120, "Caf\x8E"}})));
  test::WriteFile(state_.InputFolder + "win.jpg", Picture(40, 30, Iptc({{2, 120, "Caf\xE9 \x92"}})));
  const auto window = Open();

  Select(*window, "mac.jpg");
  EXPECT_EQ(window->txtIPTC->toPlainText(), QString::fromUtf8("Object Name: Paris\nCaption: Caf\xC5\xBD\n"));
  EXPECT_EQ(state_.IptcFields.Caption, "Caf\x8E");
  ExpectVerdict(*window, "IPTC metadata (expected Macintosh coding)", "ImageMac", true);
  EXPECT_TRUE(window->cmdProperties->isEnabled());
  EXPECT_EQ(window->Image1->pixmap().size(), QSize(174, 110));

  Select(*window, "win.jpg");
  ExpectVerdict(*window, "IPTC metadata (expected Windows coding)", "ImageWin", true);
  EXPECT_EQ(window->Image1->geometry(), QRect(8, 200, 40, 30));

  window->lstFiles->clearSelection();
  EXPECT_EQ(window->txtIPTC->toPlainText(), "");
  EXPECT_FALSE(window->cmdProperties->isEnabled());
  ExpectVerdict(*window, "No IPTC metadata", "ImageQuillmark", false);
}

TEST_F(InspectorWindowTest, AFileThatIsNoPictureOrHasGoneShowsNoThumbnailAndNoFields) {
  test::WriteFile(state_.InputFolder + "a.jpg", Picture(20, 20, Iptc({{2, 5, "Paris"}})));
  test::WriteFile(state_.InputFolder + "notes.txt", "just text");
  test::WriteFile(state_.InputFolder + "gone.jpg", Picture(20, 20, Iptc({{2, 5, "Lyon"}})));
  const auto window = Open();
  std::filesystem::remove(state_.InputFolder + "gone.jpg");
  for (const char* name : {"notes.txt", "gone.jpg"}) {
    Select(*window, "a.jpg");
    Select(*window, name);
    EXPECT_TRUE(window->Image1->pixmap().isNull()) << name;
    EXPECT_TRUE(window->cmdProperties->isEnabled()) << name;
    ExpectVerdict(*window, "No IPTC metadata", "ImageQuillmark", false);
  }
  EXPECT_TRUE(MessageBox::Shown().empty());
}

TEST_F(InspectorWindowTest, OpensCopiesAndShowsPropertiesOfTheSelectedFileOnly) {
  test::OpenedUrls opened("file");
  test::WriteFile(state_.InputFolder + "my photo.jpg", Picture(8, 8, Iptc({{2, 5, "Paris"}, {2, 12, "x"}})));
  const auto window = Open();
  window->lstFiles_DblClick();
  window->cmdProperties_Click();
  EXPECT_TRUE(opened.Urls.isEmpty());
  EXPECT_TRUE(TakePropertiesWindows().isEmpty());

  const QPoint item = window->lstFiles->visualItemRect(window->lstFiles->item(0)).center();
  QTest::mouseClick(window->lstFiles->viewport(), Qt::LeftButton, {}, item);
  QTest::mouseDClick(window->lstFiles->viewport(), Qt::LeftButton, {}, item);
  QTest::mouseClick(window->cmdProperties, Qt::LeftButton);
  const std::string path = state_.InputFolder + "my photo.jpg";
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(path))});
  EXPECT_EQ(TakePropertiesWindows(),
            QStringList{
                QString::fromStdString("my photo.jpg in " + state_.InputFolder.substr(0, path.rfind('/')))});

  QTest::mouseClick(window->cmdClipboard, Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), "Object Name: Paris\r\nOthers: Segment 12: x\r\n\r\n");
}

TEST_F(InspectorWindowTest, SelectedCharactersGetATipWithTheirCodes) {
  test::WriteFile(state_.InputFolder + "a.jpg",
                  Picture(8, 8, Iptc({{2, 5, "Caf\x8E"}, {2, 90, "abcdefghijklmnopqrstuvwxyz"}})));
  const auto window = Open();
  Select(*window, "a.jpg");
  // shown: "Object Name: Caf\x8E\nCity: abc..."; the 0x8E is at 16, the line break at 17
  SelectText(*window, 16, 17);
  cTooltip* tip = window->CharacterTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->ToolText(window->txtIPTC), QString::fromUtf8("\xC5\xBD = 142 / 8E -> \xC3\xA9"));
  EXPECT_EQ(tip->MaxTipWidth(), 240);
  EXPECT_EQ(tip->DelayTime(cTooltip::kAutopop), 32760);

  // Each inspection drops the previous tip, and its window with it.
  QPointer<QLabel> first_window = tip->hWnd();
  SelectText(*window, 17, 18);
  EXPECT_TRUE(first_window.isNull());
  EXPECT_EQ(window->CharacterTip()->ToolText(window->txtIPTC),
            QString::fromUtf8("\xC2\xB6 = 13 / D\r\n\xC2\xB6 = 10 / A"));

  SelectText(*window, 24, 40);
  const QString sixteen = window->CharacterTip()->ToolText(window->txtIPTC);
  EXPECT_EQ(sixteen.count("\r\n"), 15);
  EXPECT_TRUE(sixteen.endsWith("o = 111 / 6F\r\n..."));

  // A click that selects nothing leaves the last tip in place.
  QPointer<QLabel> last_window = window->CharacterTip()->hWnd();
  SelectText(*window, 3, 3);
  EXPECT_FALSE(last_window.isNull());
  EXPECT_EQ(window->CharacterTip()->ToolText(window->txtIPTC), sixteen);
}

TEST_F(InspectorWindowTest, ExitIsTheDefaultAndCancelButton) {
  const auto window = Open();
  EXPECT_TRUE(window->cmdOK->isDefault());
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  const auto again = Open();
  QTest::mouseClick(again->cmdOK, Qt::LeftButton);
  EXPECT_EQ(again->result(), QDialog::Accepted);
}

TEST_F(InspectorWindowTest, TheArchiveRowsViewImagesButtonOpensTheArchive) {
  test::WriteFile(state_.ArchiveFolder + "archived.jpg", Picture(8, 8));
  const auto ini = temp_.Path() / "Quillmark.ini";
  test::WriteFile(ini, "[Folders]\nInput=" + state_.InputFolder + "\nArchive=" + state_.ArchiveFolder +
                           "\nUseArchive=1\nOutput=" + state_.OutputFolder + "\n");
  frmQuillmark main_window(ini, temp_.Path());
  main_window.show();
  QString title;
  int listed = 0;
  QTimer::singleShot(0, [&] {
    auto* window = qobject_cast<frmFiles*>(QApplication::activeModalWidget());
    ASSERT_NE(window, nullptr);
    title = window->windowTitle();
    listed = window->lstFiles->count();
    window->close();
  });
  test::Click(test::Find<QPushButton>(&main_window, "cmdFiles(1)"));
  EXPECT_EQ(title, "Quillmark - Archive folder");
  EXPECT_EQ(listed, 1);
}

}  // namespace
}  // namespace qm::ui
