#include "ui/message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui_test_support.h"

namespace qm::ui {
namespace {

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
