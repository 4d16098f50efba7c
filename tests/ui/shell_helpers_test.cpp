#include "ui/shell_helpers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/message_box.h"
#include "ui_test_support.h"

namespace qm::ui {
namespace {

// Shows the real box of `message`, lets `look` see it, then presses Enter in it.
app::Answer ShowAndPressEnter(const app::Message& message, const std::function<void(QMessageBox&)>& look) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    look(*box);
    QTest::keyClick(box, Qt::Key_Return);
  });
  return MessageBox::Show(nullptr, message);
}

TEST(MessageBoxTest, ARealBoxFitsTheScreenWithALongTextInItsDetailsAndEnterGivesTheDefaultAnswer) {
  std::string packet = "Parsing error:<?xpacket begin=\"\"?><x:xmpmeta><b>bold?</b><rdf:Bag>";
  for (int i = 0; i < 300; ++i) packet += "<rdf:li>keyword " + std::to_string(i) + "</rdf:li>\n";
  app::Message message{packet, "Quillmark 1.0.0", app::MessageIcon::kQuestion, app::MessageButtons::kYesNo};
  message.Details = "line 3, position 5: end tag expected";
  message.Default = app::Answer::kNo;
  const auto look = [&](QMessageBox& box) {
    const QRect screen = box.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.height() << " pixels tall";
    EXPECT_TRUE(box.text().startsWith("Parsing error:<?xpacket begin=\"\"?><x:xmpmeta><b>bold?</b>"));
    EXPECT_EQ(box.detailedText().toStdString(), packet + "\n\n" + message.Details);
    EXPECT_EQ(box.icon(), QMessageBox::Question);
    for (QPushButton* button : box.findChildren<QPushButton*>()) {
      if (box.buttonRole(button) == QMessageBox::ActionRole) button->click();  // Show Details...
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.contains(box.frameGeometry())) << box.height() << " pixels tall with its details";
  };
  EXPECT_EQ(ShowAndPressEnter(message, look), app::Answer::kNo);
  message.Default = app::Answer::kYes;
  EXPECT_EQ(ShowAndPressEnter(message, [](QMessageBox&) {}), app::Answer::kYes);
}

}  // namespace
}  // namespace qm::ui
