#include "ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

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

// What the box shows at once: a few short lines. A longer text (a packet quoted whole) shows its beginning
// and goes whole into the details, which scroll in an area of their own; details beyond a bound are cut, so
// that no text can make the box slow to lay out.
constexpr int kShownLines = 8;
constexpr int kShownLineLength = 160;
constexpr int kDetailsLength = 256 * 1024;

struct BoxTexts {
  QString Shown;
  QString Details;
};

BoxTexts SplitTexts(const app::Message& message) {
  BoxTexts texts{FromUtf8(message.Text), FromUtf8(message.Details)};
  const QStringList lines = texts.Shown.split('\n');
  bool cut = lines.size() > kShownLines;
  QStringList shown;
  for (const QString& line : lines.mid(0, kShownLines)) {
    cut = cut || line.size() > kShownLineLength;
    shown.push_back(line.size() > kShownLineLength ? line.left(kShownLineLength - 1) + QChar(0x2026) : line);
  }
  if (cut) {
    if (lines.size() > kShownLines) shown.push_back(QString(QChar(0x2026)));
    texts.Details = texts.Details.isEmpty() ? texts.Shown : texts.Shown + "\n\n" + texts.Details;
    texts.Shown = shown.join('\n');
  }
  if (texts.Details.size() > kDetailsLength) {
    const qsizetype left_out = texts.Details.size() - kDetailsLength;
    texts.Details = texts.Details.left(kDetailsLength) + QString("\n... (%1 more characters)").arg(left_out);
  }
  return texts;
}

// A message box that stays within the screen it opens on, also when its details are shown.
class BoundedBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    KeepOnScreen();
  }
  void resizeEvent(QResizeEvent* event) override {
    QMessageBox::resizeEvent(event);
    if (isVisible()) KeepOnScreen();
  }

 private:
  void KeepOnScreen() {
    const QScreen* shown_on = screen();
    if (shown_on == nullptr) return;
    const QRect area = shown_on->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    const QSize room = area.size() - frame;
    if (width() > room.width() || height() > room.height()) {
      setFixedSize(size().boundedTo(room));  // comes back here through the resize, then fits
      return;
    }
    QRect placed = frameGeometry();
    if (placed.right() > area.right()) placed.moveRight(area.right());
    if (placed.bottom() > area.bottom()) placed.moveBottom(area.bottom());
    if (placed.left() < area.left()) placed.moveLeft(area.left());
    if (placed.top() < area.top()) placed.moveTop(area.top());
    if (placed.topLeft() != frameGeometry().topLeft()) move(placed.topLeft());
  }
};

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
  const BoxTexts texts = SplitTexts(message);
  BoundedBox box(QtIcon(message.Icon), FromUtf8(message.Title), texts.Shown,
                 question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
  // A name or a packet is shown as it is, never read as markup.
  box.setTextFormat(Qt::PlainText);
  if (!texts.Details.isEmpty()) box.setDetailedText(texts.Details);
  box.setDefaultButton(!question                             ? QMessageBox::Ok
                       : message.Default == app::Answer::kNo ? QMessageBox::No
                                                             : QMessageBox::Yes);
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
