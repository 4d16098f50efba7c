#pragma once

#include <QWidget>
#include <functional>
#include <string_view>

#include "app/app_state.h"
#include "app/main_view.h"

class QLabel;
class QPushButton;
class QTimer;
class QTreeView;

namespace qm::ui {

class ActivityLog;
struct ActivityRow;

/// A file name of the core as the windows show it: in the file system's coding, control characters written
/// as \xNN, so that a name cannot break a line.
QString ShownName(std::string_view name);

/// The activity view: what became of the entries that the scans and the folder commands acted on, and what
/// a run's scans had to say, newest first, kept to the latest kMaxRows. It is not modal; rows are selected
/// and copied (Copy, or Ctrl+C) as lines of tab-separated columns. A report that repeats one already told
/// adds no row; such reports are counted below the list.
class frmActivity : public QWidget {
 public:
  static constexpr int kMaxRows = 1000;

  explicit frmActivity(QWidget* parent = nullptr);

  /// Adds a row for an entry's report, or counts it when it repeats an earlier one. `kept_folder` names the
  /// folder a kept entry stays in ("input", "output", "archive"). The row's time is the report's, or now when
  /// it has none.
  void AddEntry(const app::AppState::EntryReport& report, std::string_view kept_folder);
  /// Adds a row for a message that was not shown in a box.
  void AddMessage(const app::Message& message);

  int RowCount() const;
  /// Row `row` (0 the newest) as Copy puts it on the clipboard: time, name, result and reason, tab-separated.
  QString RowText(int row) const;

  /// Copies the selected rows, or every row when none is selected.
  void cmdCopy_Click();

  /// Told each time the window is shown.
  std::function<void()> OnShown;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Queue(ActivityRow row);
  void ShowCounts();

  ActivityLog* log_ = nullptr;
  QTimer* flush_ = nullptr;
  int repeats_ = 0;

  QTreeView* lstActivity = nullptr;
  QLabel* lblActivity = nullptr;
  QPushButton* cmdCopy = nullptr;
  QPushButton* cmdClose = nullptr;
};

}  // namespace qm::ui
