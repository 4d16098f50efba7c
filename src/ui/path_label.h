#pragma once

#include <QLabel>

namespace qm::ui {

/// A label for a folder path: the text wraps at any character, since a path has no blanks to wrap at, and
/// what does not fit ends in an ellipsis. `text()` stays the path as set.
class PathLabel : public QLabel {
 public:
  explicit PathLabel(QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace qm::ui
