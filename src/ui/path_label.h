#pragma once

#include <QLabel>

namespace qm::ui {

/// A label for a folder path. The path wraps at any character over the lines the label has room for, since a
/// path has no blanks to wrap at. A path that does not fit is shortened in the middle: its beginning, an
/// ellipsis, and the folder's own name whole; its tooltip then gives the whole path above the label's own
/// tooltip. `text()` stays the path as set.
class PathLabel : public QLabel {
 public:
  explicit PathLabel(QWidget* parent);

  /// What the label shows of its path at its present size.
  QString ShownText() const;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool Fits(const QString& text) const;
};

}  // namespace qm::ui
