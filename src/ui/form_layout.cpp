#include "ui/form_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace qm::ui {

QRect Twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

void PlaceTwips(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(Twips(left, top, width, height));
}

void FixTwipsSize(QWidget* window, int width, int height) {
  window->setFixedSize(width / 15, height / 15);
  CentreOnScreen(window);
}

void CentreOnScreen(QWidget* window) {
  const QScreen* screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = window->frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  window->move(frame.topLeft());
}

namespace {

// What a desktop's window frame takes around a window's contents, before the window is shown and the frame
// is known.
constexpr QMargins kFrameAllowance(8, 32, 8, 8);

}  // namespace

void RestoreWindowPlace(QWidget* window, const std::string& setting, QSize default_size) {
  const QStringList parts = QString::fromStdString(setting).split(',');
  QRect wanted;
  if (parts.size() == 4) {
    bool ok[4] = {};
    wanted =
        QRect(parts[0].toInt(&ok[0]), parts[1].toInt(&ok[1]), parts[2].toInt(&ok[2]), parts[3].toInt(&ok[3]));
    if (!(ok[0] && ok[1] && ok[2] && ok[3]) || wanted.width() < 50 || wanted.height() < 50) wanted = QRect();
  }
  const QWidget* over = window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
  const QScreen* screen = nullptr;
  if (wanted.isValid()) screen = QGuiApplication::screenAt(wanted.center());
  if (screen == nullptr && over != nullptr) screen = over->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (!wanted.isValid()) {
    wanted = QRect(QPoint(), default_size.expandedTo(window->minimumSizeHint().boundedTo(default_size * 2)));
    wanted.moveCenter(over != nullptr && over->isVisible() ? over->geometry().center()
                      : screen != nullptr                  ? screen->availableGeometry().center()
                                                           : QPoint());
  }
  if (screen != nullptr) {
    const QRect room = screen->availableGeometry().marginsRemoved(kFrameAllowance);
    wanted.setSize(wanted.size().boundedTo(room.size()));
    wanted.moveLeft(std::clamp(wanted.left(), room.left(), room.right() + 1 - wanted.width()));
    wanted.moveTop(std::clamp(wanted.top(), room.top(), room.bottom() + 1 - wanted.height()));
  }
  window->setGeometry(wanted);
}

std::string WindowPlaceSetting(const QWidget* window) {
  const QRect place = window->geometry();
  return QString("%1,%2,%3,%4")
      .arg(place.left())
      .arg(place.top())
      .arg(place.width())
      .arg(place.height())
      .toStdString();
}

namespace {

constexpr int kLargestPixels = 11;
constexpr int kSmallestPixels = 8;

// The width a control needs for its caption. Styles give push buttons a minimum width of their own, so a
// button's need is its text with a little room, not its size hint.
int NeededWidth(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    if (label->wordWrap() || label->text().isEmpty()) return 0;
    return label->sizeHint().width();
  }
  if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
    if (button->text().isEmpty()) return 0;
    return button->fontMetrics().horizontalAdvance(QString(button->text()).remove('&')) + 8;
  }
  if (qobject_cast<const QCheckBox*>(widget) != nullptr ||
      qobject_cast<const QRadioButton*>(widget) != nullptr) {
    return widget->sizeHint().width();
  }
  if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
    return frame->fontMetrics().horizontalAdvance(frame->title()) + 16;
  }
  return 0;
}

bool CaptionsFit(const QWidget* form) {
  for (const QWidget* widget : form->findChildren<QWidget*>()) {
    if (NeededWidth(widget) > widget->width()) return false;
  }
  return true;
}

}  // namespace

void FitFormFont(QWidget* form) {
  QFont font = FormFont();
  for (int pixels = kLargestPixels; pixels >= kSmallestPixels; --pixels) {
    font.setPixelSize(pixels);
    form->setFont(font);
    if (CaptionsFit(form)) return;
  }
}

QFont FormFont() {
  QFont font = QApplication::font();
  font.setPixelSize(kLargestPixels);
  return font;
}

}  // namespace qm::ui
