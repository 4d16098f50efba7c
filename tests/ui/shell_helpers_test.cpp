#include "ui/shell_helpers.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include "support/temp_dir.h"
#include "ui/message_box.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

using test::Find;

TEST(ShellOpenTest, APathGoesWholeAndAnAddressAsItIs) {
  test::OpenedUrls files("file");
  test::OpenedUrls web("https");
  EXPECT_TRUE(ShellOpen("/photos/Paris 2026/caf\u00e9 #1.jpg"));
  EXPECT_TRUE(ShellOpen("https://example.org/help?page=1"));
  EXPECT_FALSE(ShellOpen(""));
  EXPECT_EQ(files.Urls, QList<QUrl>{QUrl::fromLocalFile("/photos/Paris 2026/caf\u00e9 #1.jpg")});
  EXPECT_EQ(web.Urls, QList<QUrl>{QUrl("https://example.org/help?page=1")});
}

// Opens the properties window of `path` and returns it.
QWidget* OpenProperties(const QString& path) {
  ShowFileProperties(path);
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "FileProperties" && window->isVisible()) return window;
  }
  return nullptr;
}

TEST(ShowFilePropertiesTest, ShowsWhatTheFileSystemKnowsAndLivesOnItsOwn) {
  test::TempDir dir;
  const QString photo = QString::fromStdString((dir.Path() / "press photo.jpg").string());
  QImage image(64, 48, QImage::Format_RGB32);
  image.fill(Qt::darkCyan);
  ASSERT_TRUE(image.save(photo, "JPEG"));

  QPointer<QWidget> window = OpenProperties(photo);
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(window->isModal());
  EXPECT_EQ(Find<QLabel>(window, "Name")->text(), "press photo.jpg");
  EXPECT_EQ(Find<QLabel>(window, "Folder")->text().toStdString(), dir.Path().string());
  EXPECT_TRUE(Find<QLabel>(window, "Size")->text().endsWith(" bytes"));
  EXPECT_EQ(Find<QLabel>(window, "Dimensions")->text(), "64 x 48 pixels (JPEG)");
  EXPECT_TRUE(Find<QLabel>(window, "Permissions")->text().startsWith("rw"));
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());

  window = OpenProperties("/nowhere/gone.jpg");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Find<QLabel>(window, "Size")->text(), "the file no longer exists");
  EXPECT_EQ(window->findChild<QLabel*>("Dimensions"), nullptr);
  window->close();
}

TEST(MessageBoxTest, WithoutAScriptARealBoxShowsTheCoresWords) {
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    text = box->text();
    title = box->windowTitle();
    icon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  const app::Answer answer =
      MessageBox::Show(nullptr, {"Remove all images\nin output folder", "Quillmark 1.0.0",
                                 app::MessageIcon::kQuestion, app::MessageButtons::kYesNo});
  EXPECT_EQ(answer, app::Answer::kNo);
  EXPECT_EQ(text, "Remove all images\nin output folder");
  EXPECT_EQ(title, "Quillmark 1.0.0");
  EXPECT_EQ(icon, QMessageBox::Question);
}

}  // namespace
}  // namespace qm::ui
