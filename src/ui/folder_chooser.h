#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "app/app_state.h"
#include "app/main_view.h"

class QComboBox;
class QFileSystemModel;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace qm::ui {

class PathLabel;

/// The folder chooser of the row `FolderIndex`: the mounted volumes (the drives on Windows) above a tree of
/// their directories, which has the keyboard focus. The chosen folder is the one highlighted in the tree,
/// shown in bold and, whole, on the line above OK; a double-click or Enter opens it to show its sub-folders.
/// OK stores it through the core, Cancel and Escape change nothing.
class frmDossier : public QDialog {
 public:
  frmDossier(app::AppState& state, app::MainView& view, QWidget* parent = nullptr);

  /// The directory OK would store: the one highlighted last.
  QString CurrentDirectory() const { return current_directory_; }

  void drvList_Change(int index);
  void cmdOK_Click();

 protected:
  /// Enter on a closed folder opens it rather than pressing OK.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// Makes the folder at `index` the choice, when it is one.
  void Choose(const QModelIndex& index);
  /// Shows `directory` opened in the tree, on its volume, and makes it the current directory. Returns false
  /// and changes nothing when it is not a readable directory.
  bool OpenDirectory(const QString& directory);
  void SelectVolumeOf(const QString& directory);

  app::AppState& state_;
  app::MainView& view_;
  QString current_directory_;
  bool follow_current_ = false;  // scroll to the current directory as the tree fills in
  QStringList volume_roots_;

  QLabel* lblSelectDrive = nullptr;
  QComboBox* drvList = nullptr;
  QTreeView* dirList = nullptr;
  PathLabel* lblChoice = nullptr;
  QFileSystemModel* model_ = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdAnnuler = nullptr;
};

}  // namespace qm::ui
