#include "ui/guide_line.h"

#include <QPainter>

namespace qm::ui {
namespace {

constexpr int kMargin = 3;  // room for the dot and the pen around the two points

}  // namespace

GuideLine::GuideLine(QWidget* parent, QPoint from, QPoint to) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  SetPoints(from, to);
}

void GuideLine::SetPoints(QPoint from, QPoint to) {
  from_ = from;
  to_ = to;
  setGeometry(QRect(from, to).normalized().adjusted(-kMargin, -kMargin, kMargin, kMargin));
  update();
}

void GuideLine::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor colour = palette().color(QPalette::ToolTipText);
  painter.setPen(QPen(colour, 1));
  const QPoint from = from_ - pos();
  const QPoint to = to_ - pos();
  painter.drawLine(from, to);
  painter.setBrush(colour);
  painter.drawEllipse(QPointF(to), 2, 2);
}

}  // namespace qm::ui
