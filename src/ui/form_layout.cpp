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
#include <QWidget>

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
