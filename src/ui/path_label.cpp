#include "ui/path_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

namespace qm::ui {
namespace {

const QChar kEllipsis(0x2026);

bool IsSeparator(QChar c) { return c == '/' || c == '\\'; }

// Lays `text` out at `width`, wrapping at any character.
void Lay(QTextLayout& layout, int width, int line_spacing) {
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  for (int i = 0;; ++i) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(width);
    line.setPosition(QPointF(0, i * line_spacing));
  }
  layout.endLayout();
}

}  // namespace

// Marked as wrapping, as it does, so that its size hint is no claim to one line of the whole path.
PathLabel::PathLabel(QWidget* parent) : QLabel(parent) { setWordWrap(true); }

bool PathLabel::Fits(const QString& text) const {
  const QFontMetrics metrics(font());
  const int lines = std::max(1, contentsRect().height() / metrics.lineSpacing());
  QTextLayout layout(text, font());
  Lay(layout, contentsRect().width(), metrics.lineSpacing());
  return layout.lineCount() <= lines;
}

QString PathLabel::ShownText() const {
  const QString path = text();
  if (path.isEmpty() || Fits(path)) return path;
  // The folder's own name runs from the separator before it to the end, trailing separator included.
  qsizetype end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  qsizetype name = end;
  while (name > 0 && !IsSeparator(path[name - 1])) --name;
  const QString tail = name > 0 ? path.mid(name - 1) : path;
  if (name <= 1 || !Fits(kEllipsis + tail)) {
    // The name alone is too long: both ends of it, as much as fits.
    qsizetype low = 0;
    qsizetype high = path.size() / 2;
    while (low < high) {
      const qsizetype keep = (low + high + 1) / 2;
      if (Fits(path.left(keep) + kEllipsis + path.right(keep)))
        low = keep;
      else
        high = keep - 1;
    }
    return path.left(low) + kEllipsis + path.right(low);
  }
  // As much of the beginning as fits before it.
  qsizetype low = 0;
  qsizetype high = name - 1;
  while (low < high) {
    const qsizetype keep = (low + high + 1) / 2;
    if (Fits(path.left(keep) + kEllipsis + tail))
      low = keep;
    else
      high = keep - 1;
  }
  return path.left(low) + kEllipsis + tail;
}

bool PathLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && ShownText() != text()) {
    const QString tip = toolTip().isEmpty() ? text() : text() + "\n" + toolTip();
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, this);
    return true;
  }
  return QLabel::event(event);
}

void PathLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const QFontMetrics metrics(font());
  QTextLayout layout(ShownText(), font());
  Lay(layout, contentsRect().width(), metrics.lineSpacing());
  layout.draw(&painter, QPointF(contentsRect().topLeft()));
}

}  // namespace qm::ui
