#pragma once

#include <QLabel>

namespace qm::ui {

/// A label for a folder path, on one line. A path that does not fit is shortened in the middle: its
/// beginning, an ellipsis, and the folder's own name whole; its tooltip then gives the whole path above the
/// label's own tooltip. `text()` stays the path as set. A warning, when set, shows as a sign before the path
/// and heads the tooltip.
class PathLabel : public QLabel {
 public:
  explicit PathLabel(QWidget* parent);

  /// What the label shows of its path at its present size.
  QString ShownText() const;
  /// Marks the path with a warning sign and `warning` on hover; an empty text takes the mark away.
  void SetWarning(const QString& warning);
  QString Warning() const { return warning_; }

  /// One line high, and no claim to the whole path's width: the label takes the room its layout gives it.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool Fits(const QString& text) const;
  /// The room the path has: the contents less the warning sign.
  QRect TextRect() const;

  QString warning_;
};

}  // namespace qm::ui
