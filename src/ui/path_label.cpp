#include "ui/path_label.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>

namespace qm::ui {

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {}

void PathLabel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
  const QRect area = contentsRect();
  const QFontMetrics metrics(font());
  const int fitting_lines = std::max(1, area.height() / metrics.lineSpacing());

  QTextLayout layout(text(), font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  for (int i = 0;; ++i) {
    QTextLine line = layout.createLine();
    if (!line.isValid()) break;
    line.setLineWidth(area.width());
    line.setPosition(QPointF(0, i * metrics.lineSpacing()));
  }
  layout.endLayout();

  for (int i = 0; i < layout.lineCount() && i < fitting_lines; ++i) {
    const QTextLine line = layout.lineAt(i);
    const QPointF origin = QPointF(area.topLeft()) + line.position();
    if (i == fitting_lines - 1 && i + 1 < layout.lineCount()) {
      // The rest does not fit below: the last line shows what it can and an ellipsis.
      const QString rest = metrics.elidedText(text().mid(line.textStart()), Qt::ElideRight, area.width());
      painter.drawText(origin + QPointF(0, metrics.ascent()), rest);
      break;
    }
    line.draw(&painter, QPointF(area.topLeft()));
  }
}

}  // namespace qm::ui
