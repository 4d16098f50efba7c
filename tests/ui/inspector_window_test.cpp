#include "ui/inspector_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <filesystem>
#include <memory>

#include "coding/accent_tables.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"
#include "ui/message_box.h"
#include "ui/path_label.h"
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
    state_.IniPath = temp_.Path() / "Quillmark.ini";
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

  // The properties window on the screen; none when there is none.
  static QPointer<QWidget> ShownProperties() {
    QPointer<QWidget> shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "FileProperties" && w->isVisible()) shown = w;
    }
    return shown;
  }

  static void ExpectVerdict(const frmFiles& window, const char* caption, const char* icon, bool enabled) {
    EXPECT_EQ(window.lblIPTC->text(), caption);
    for (const QLabel* image : {window.ImageQuillmark, window.ImageMac, window.ImageWin}) {
      EXPECT_EQ(image->isVisible(), image->objectName() == icon) << image->objectName().toStdString();
    }
    for (const QWidget* control :
         std::initializer_list<const QWidget*>{window.cmdClipboard, window.lblHexDec1, window.lblHexDec2}) {
      EXPECT_EQ(control->isEnabled(), enabled) << control->objectName().toStdString();
    }
  }

  test::TempDir temp_;
  app::AppState state_;
};

// The chosen folder, counted, then on a large screen: the list and the fields take the room, and the next
// opening comes back at the size and place it was closed with, within the screen.
TEST_F(InspectorWindowTest, ListsTheChosenFolderAndALargerWindowListsMoreAndOpensAgainWhereItWasClosed) {
  for (int i = 0; i < 50; ++i) test::WriteFile(state_.ArchiveFolder + std::to_string(i) + ".jpg", "x");
  auto window = Open(1);
  EXPECT_EQ(window->lblFiles->text(), "50 images");
  EXPECT_EQ(window->lblFolder->text().toStdString(), state_.ArchiveFolder);
  ExpectVerdict(*window, "IPTC metadata", "ImageQuillmark", false);
  test::ExpectNothingOverlapsOrClips(window.get());
  const int shown = window->lstFiles->height();
  window->setGeometry(QRect(20, 40, 700, 560));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window->lstFiles->height() >= shown + 150; }));
  EXPECT_GE(window->txtIPTC->height(), window->lstFiles->height() - 80);
  test::ExpectNothingOverlapsOrClips(window.get());
  QTest::keyClick(window.get(), Qt::Key_Escape);
  window = Open(1);
  EXPECT_EQ(window->geometry(), QRect(20, 40, 700, 560));
}

TEST_F(InspectorWindowTest, SelectingAnImageShowsItsFieldsItsCodingAndItsThumbnail) {
  test::WriteFile(state_.InputFolder + "mac.jpg",
                  Picture(348, 220, Iptc({{2, 5, "Paris"}, {2, 120, "Caf\x8E"}})));
  test::WriteFile(state_.InputFolder + "win.jpg", Picture(40, 30, Iptc({{2, 120, "Caf\xE9 \x92"}})));
  test::WriteFile(state_.InputFolder + "gone.jpg", Picture(20, 20, Iptc({{2, 5, "Lyon"}})));
  const auto window = Open();
  std::filesystem::remove(state_.InputFolder + "gone.jpg");

  Select(*window, "mac.jpg");
  EXPECT_EQ(window->txtIPTC->toPlainText(), QString::fromUtf8("Object Name: Paris\nCaption: Caf\xC5\xBD\n"));
  ExpectVerdict(*window, "IPTC metadata (expected Macintosh coding)", "ImageMac", true);
  EXPECT_TRUE(window->cmdProperties->isEnabled());
  EXPECT_EQ(window->Image1->pixmap().size(), QSize(174, 110));

  Select(*window, "win.jpg");
  ExpectVerdict(*window, "IPTC metadata (expected Windows coding)", "ImageWin", true);
  EXPECT_EQ(window->Image1->geometry(), QRect(0, 0, 40, 30));  // in its box's top left corner

  // Deleted after the listing: no thumbnail, no fields, no message, and properties that say so.
  Select(*window, "gone.jpg");
  EXPECT_TRUE(window->Image1->pixmap().isNull());
  EXPECT_EQ(window->txtIPTC->toPlainText(), "");
  ExpectVerdict(*window, "No IPTC metadata", "ImageQuillmark", false);
  EXPECT_TRUE(MessageBox::Shown().empty());
  QTest::mouseClick(window->cmdProperties, Qt::LeftButton);
  ASSERT_NE(ShownProperties(), nullptr);
  EXPECT_EQ(test::Find<QLabel>(ShownProperties(), "Size")->text(), "the file no longer exists");
  ShownProperties()->close();

  window->lstFiles->clearSelection();
  EXPECT_FALSE(window->cmdProperties->isEnabled());
}

TEST_F(InspectorWindowTest, OpensCopiesAndShowsPropertiesOfTheSelectedFileOnly) {
  test::WriteFile(state_.InputFolder + "my photo.jpg", Picture(8, 8, Iptc({{2, 5, "Paris"}, {2, 12, "x"}})));
  auto window = Open();
  window->lstFiles_DblClick();
  window->cmdProperties_Click();
  EXPECT_TRUE(MessageBox::Shown().empty() && ShownProperties() == nullptr);

  const QPoint item = window->lstFiles->visualItemRect(window->lstFiles->item(0)).center();
  QTest::mouseClick(window->lstFiles->viewport(), Qt::LeftButton, {}, item);
  QTest::mouseDClick(window->lstFiles->viewport(), Qt::LeftButton, {}, item);  // no program for it here
  const std::string path = state_.InputFolder + "my photo.jpg";
  ASSERT_EQ(MessageBox::Shown().size(), 1u);
  EXPECT_EQ(MessageBox::Shown()[0].Text, "No program on this desktop opens\n" + path);
  test::OpenedUrls opened("file");
  QTest::mouseDClick(window->lstFiles->viewport(), Qt::LeftButton, {}, item);
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(path))});

  // What the file system knows, over the inspector, in a window that stays when the inspector closes.
  QTest::mouseClick(window->cmdProperties, Qt::LeftButton);
  const QPointer<QWidget> shown = ShownProperties();
  ASSERT_NE(shown, nullptr);
  EXPECT_TRUE(shown->frameGeometry().contains(window->frameGeometry().center()));
  EXPECT_EQ(test::Find<QLabel>(shown, "Name")->text(), "my photo.jpg");
  EXPECT_TRUE(test::Find<QLabel>(shown, "Size")->text().endsWith(" bytes"));
  EXPECT_EQ(test::Find<QLabel>(shown, "Dimensions")->text(), "8 x 8 pixels (JPEG)");
  QTest::mouseClick(window->cmdClipboard, Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text(), "Object Name: Paris\r\nOthers: Segment 12: x\r\n\r\n");
  window.reset();
  EXPECT_TRUE(shown != nullptr && shown->isVisible());
  shown->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(shown.isNull());
}

TEST_F(InspectorWindowTest, SelectedCharactersGetATipWithTheirCodesThatGoesWithTheirFile) {
  test::WriteFile(state_.InputFolder + "a.jpg", Picture(8, 8, Iptc({{2, 5, "Caf\x8E"}, {2, 90, "Metz"}})));
  test::WriteFile(state_.InputFolder + "b.jpg", Picture(8, 8, Iptc({{2, 5, "Lyon"}})));
  const auto window = Open();
  Select(*window, "a.jpg");
  // shown: "Object Name: Caf\x8E\nCity: Metz"; the 0x8E is at 16, the line break at 17
  SelectText(*window, 16, 17);
  cTooltip* tip = window->CharacterTip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->ToolText(window->txtIPTC), QString::fromUtf8("\xC5\xBD = 142 / 8E -> \xC3\xA9"));

  // Each inspection drops the previous tip, and its window with it.
  QPointer<QLabel> first_window = tip->hWnd();
  SelectText(*window, 17, 18);
  EXPECT_TRUE(first_window.isNull());
  EXPECT_EQ(window->CharacterTip()->ToolText(window->txtIPTC),
            QString::fromUtf8("\xC2\xB6 = 13 / D\r\n\xC2\xB6 = 10 / A"));

  // A click that selects nothing leaves the last tip in place.
  QPointer<QLabel> last_window = window->CharacterTip()->hWnd();
  SelectText(*window, 3, 3);
  EXPECT_FALSE(last_window.isNull());
  Select(*window, "b.jpg");
  EXPECT_TRUE(last_window.isNull() && window->CharacterTip() == nullptr);
}

// The tip window of the character tip, on a form of its own, away from the corner where the mouse of the
// offscreen platform sits. Dropping the object takes its tip window along: the character tip test checks it.
TEST(TooltipTest, ShowsWhereTheMouseRestsWrapsAtTheWidthHidesAfterTheAutopopDelayAndGoesWithItsForm) {
  auto form = std::make_unique<QWidget>();
  form->resize(300, 200);
  auto* box = new QPlainTextEdit(form.get());
  box->setGeometry(10, 10, 200, 100);
  auto* button = new QPushButton("OK", form.get());
  button->setGeometry(10, 150, 80, 30);
  form->show();
  cTooltip tip;
  tip.Create(form.get());
  tip.DelayTime(cTooltip::kInitial, 10);
  tip.DelayTime(cTooltip::kAutopop, 300);
  tip.AddTool(box, QStringLiteral("\xE9 = 233 / E9\r\n\xB6 = 13 / D"));
  tip.AddTool(button, "several short words that cannot stand on one line of the tip");
  QLabel* window = tip.hWnd();
  const auto rest_over = [window](QWidget* widget) {  // true when the tip window then shows
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), widget->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(widget, &enter);
    return QTest::qWaitFor([&] { return window->isVisible(); }, 2000);
  };

  ASSERT_TRUE(rest_over(box));
  EXPECT_EQ(window->text(), QStringLiteral("\xE9 = 233 / E9\n\xB6 = 13 / D"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); }, 3000));

  tip.MaxTipWidth(120);
  ASSERT_TRUE(rest_over(button));
  EXPECT_LE(window->contentsRect().width(), 120);
  EXPECT_GE(window->contentsRect().height(), 3 * window->fontMetrics().height());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(button, &leave);
  EXPECT_FALSE(window->isVisible());

  // The form took the tip window with it: the object does nothing more.
  form.reset();
  EXPECT_EQ(tip.hWnd(), nullptr);
  EXPECT_EQ(tip.ToolCount(), 0);
}

}  // namespace
}  // namespace qm::ui
