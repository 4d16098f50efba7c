#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>

#include "ui/form_layout.h"

namespace qm::ui {
namespace {

struct ScriptedBoxes {
  bool Active = false;
  std::deque<app::Answer> Answers;
  std::vector<app::Message> Shown;
  int Beeps = 0;
};

ScriptedBoxes& Scripted() {
  static ScriptedBoxes scripted;
  return scripted;
}

QMessageBox::Icon QtIcon(app::MessageIcon icon) {
  switch (icon) {
    case app::MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case app::MessageIcon::kQuestion:
      return QMessageBox::Question;
    case app::MessageIcon::kCritical:
      return QMessageBox::Critical;
    case app::MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

app::Answer MessageBox::Show(QWidget* parent, const app::Message& message) {
  ScriptedBoxes& scripted = Scripted();
  const bool question = message.Buttons == app::MessageButtons::kYesNo;
  if (scripted.Active) {
    scripted.Shown.push_back(message);
    if (scripted.Answers.empty()) return question ? app::Answer::kNo : app::Answer::kOk;
    const app::Answer answer = scripted.Answers.front();
    scripted.Answers.pop_front();
    return answer;
  }
  if (parent == nullptr) parent = QApplication::activeModalWidget();
  if (parent == nullptr) parent = QApplication::activeWindow();
  QMessageBox box(QtIcon(message.Icon), FromUtf8(message.Title), FromUtf8(message.Text),
                  question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
  box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
  const int pressed = box.exec();
  if (!question) return app::Answer::kOk;
  return pressed == QMessageBox::Yes ? app::Answer::kYes : app::Answer::kNo;
}

void MessageBox::Beep() {
  if (Scripted().Active) {
    ++Scripted().Beeps;
    return;
  }
  QApplication::beep();
}

void MessageBox::Script(std::deque<app::Answer> answers) {
  Scripted() = ScriptedBoxes{true, std::move(answers), {}, 0};
}

void MessageBox::Unscript() { Scripted() = ScriptedBoxes{}; }

const std::vector<app::Message>& MessageBox::Shown() { return Scripted().Shown; }

int MessageBox::Beeps() { return Scripted().Beeps; }

}  // namespace qm::ui
