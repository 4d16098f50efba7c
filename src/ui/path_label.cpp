#include "ui/path_label.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace qm::ui {
namespace {

const QChar kEllipsis(0x2026);

bool IsSeparator(QChar c) { return c == '/' || c == '\\'; }

}  // namespace

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {}

QSize PathLabel::sizeHint() const {
  const QFontMetrics metrics(font());
  const QMargins margins = contentsMargins();
  return {metrics.averageCharWidth() * 30 + margins.left() + margins.right(),
          metrics.height() + margins.top() + margins.bottom()};
}

QSize PathLabel::minimumSizeHint() const {
  const QFontMetrics metrics(font());
  const QMargins margins = contentsMargins();
  return {metrics.averageCharWidth() * 8 + margins.left() + margins.right(),
          metrics.height() + margins.top() + margins.bottom()};
}

void PathLabel::SetWarning(const QString& warning) {
  if (warning_ == warning) return;
  warning_ = warning;
  update();
}

QRect PathLabel::TextRect() const {
  QRect room = contentsRect();
  if (!warning_.isEmpty()) room.setLeft(room.left() + QFontMetrics(font()).height() + 4);
  return room;
}

bool PathLabel::Fits(const QString& text) const {
  return QFontMetrics(font()).horizontalAdvance(text) <= TextRect().width();
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
  if (event->type() == QEvent::ToolTip && (ShownText() != text() || !warning_.isEmpty())) {
    QStringList tip;
    if (!warning_.isEmpty()) tip << warning_;
    if (ShownText() != text()) tip << text();
    if (!toolTip().isEmpty()) tip << toolTip();
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip.join('\n'), this);
    return true;
  }
  return QLabel::event(event);
}

void PathLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect room = TextRect();
  const int line = QFontMetrics(font()).height();
  if (!warning_.isEmpty()) {
    const QIcon sign = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    sign.paint(&painter, QRect(contentsRect().left(), room.top(), line, line));
  }
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  painter.setFont(font());
  painter.drawText(QRect(room.left(), room.top(), room.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                   ShownText());
}

}  // namespace qm::ui
