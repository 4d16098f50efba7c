#pragma once

#include <QWidget>
#include <functional>
#include <string>
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

/// Where an entry's file is now: the row of the main window whose folder holds it (0 input, 1 archive,
/// 2 output; -1 when it is gone) and that folder's path as it was.
struct FileLocation {
  int FolderIndex = -1;
  std::string Folder;
};

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
  /// it has none. `details` (a parser's words) go into the row's tooltip and its copy.
  void AddEntry(const app::AppState::EntryReport& report, std::string_view kept_folder,
                FileLocation location = {}, std::string_view details = {});
  /// Adds a row for a message that was not shown in a box.
  void AddMessage(const app::Message& message);

  int RowCount() const;
  /// Row `row` (0 the newest) as Copy puts it on the clipboard: time, name, result and reason, tab-separated.
  QString RowText(int row) const;

  /// Copies the selected rows, or every row when none is selected.
  void cmdCopy_Click();

  /// The file of row `row`, as a path in UTF-8; empty for a message and a file that is gone.
  std::string RowPath(int row) const;
  /// What a row offers for its file, from its context menu; a double-click or Enter shows it in the
  /// inspector. Rows without a file offer nothing.
  void OpenContainingFolder(int row);
  void ShowInInspector(int row);
  void CopyPath(int row);

  /// Told each time the window is shown.
  std::function<void()> OnShown;
  /// Asked to show a file in the inspector: the main window's folder row and the file's name.
  std::function<void(int folder_index, const std::string& name)> OnInspect;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Queue(ActivityRow row);
  void ShowCounts();
  void ShowRowMenu(const QPoint& position);

  ActivityLog* log_ = nullptr;
  QTimer* flush_ = nullptr;
  int repeats_ = 0;

  QTreeView* lstActivity = nullptr;
  QLabel* lblActivity = nullptr;
  QPushButton* cmdCopy = nullptr;
  QPushButton* cmdClose = nullptr;
};

}  // namespace qm::ui
