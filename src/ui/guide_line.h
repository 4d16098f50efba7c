#pragma once

#include <QPoint>
#include <QWidget>

namespace qm::ui {

/// A connector line of the set-up guide, from a hint to the control it points at, ending in a dot at the
/// control. It covers only the rectangle between its two points and lets clicks through to what lies below.
class GuideLine : public QWidget {
 public:
  /// `from` and `to` are in the parent's coordinates.
  GuideLine(QWidget* parent, QPoint from, QPoint to);

  /// Moves the line; `from` and `to` are in the parent's coordinates.
  void SetPoints(QPoint from, QPoint to);

  QPoint From() const { return from_; }
  QPoint To() const { return to_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPoint from_;
  QPoint to_;
};

}  // namespace qm::ui
