#pragma once

#include <QMainWindow>
#include <array>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "app/json_log.h"
#include "app/main_view.h"
#include "ui/activity_window.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSessionManager;
class QTimer;
class QToolButton;

namespace qm::ui {

class GuideLine;
class PathLabel;

/// The main window: the three folders, the options, the Run button with its waiting display, the menus and
/// the set-up guide. It implements MainView for the core, which decides everything; its slots pass each click
/// to the core's handler of that control. Every control carries its name as object name ("cmdBrowse(2)").
///
/// What the scans and the folder commands did goes to the activity view, which the File menu and a click on
/// the status bar open. A third status panel counts the files the latest scan kept in the input folder, with
/// their reasons as its tooltip, and marks messages that a run's scan told while nobody looked.
class frmQuillmark : public QMainWindow, public app::MainView {
  Q_OBJECT

 public:
  /// Builds the window and loads it from the settings file at `ini_path`; unknown folders are reported before
  /// it shows. The help page is looked for in `program_folder`. What the scans and folder commands did is
  /// appended to the JSON log at `log_path` (none when empty), whose latest entries the activity view shows
  /// from the start.
  frmQuillmark(const std::filesystem::path& ini_path, const std::filesystem::path& program_folder,
               const std::filesystem::path& log_path = {}, QWidget* parent = nullptr);

  /// The program's state, which the dialogs and the inspector read and write.
  app::AppState& State() { return state_; }

  /// A message of a run's scan (not a question, and not from a click handled between two of its images), or
  /// of an automatic start, goes to the activity view and the status bar's marker, so that the desk goes on
  /// unattended; any other opens a message box.
  app::Answer ShowMessage(const app::Message& message) override;
  void Beep() override;
  void SetEnabled(app::Control control, bool enabled) override;
  void SetVisible(app::Control control, bool visible) override;
  void SetCaption(app::Control control, std::string_view text) override;
  void SetChecked(app::Control control, bool checked) override;
  void SetWindowCaption(std::string_view text) override;
  void SetStatusText(int panel, std::string_view text) override;
  void SetProgressValue(int value) override;
  void SetProgressMaximum(int maximum) override;
  void SetRunFace(app::RunFace face) override;
  void SetTimerInterval(int milliseconds) override;
  void SetTimerEnabled(bool enabled) override;
  void ProcessPendingEvents() override;

  /// A "Select" button: opens the folder chooser on row `index`.
  void cmdBrowse_Click(int index);
  /// A "View images" button: makes row `index` the folder the inspector works on.
  void cmdFiles_Click(int index);
  void mnuWaitTime_Click();
  void mnuAbout_Click();
  void mnuHelp_Click();
  /// Shows the activity view and marks its messages as seen.
  void mnuActivity_Click();
  frmActivity* Activity() const { return activity_; }

 signals:
  /// The window closed after the quit confirmation: the program ends.
  void Unloaded();

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildFolderRows(QWidget* client);
  void BuildOptions(QWidget* client);
  void BuildRunControls(QWidget* client);
  void BuildGuide(QWidget* client);
  void BuildHiddenControls(QWidget* client);
  void BuildMenus();
  void BuildStatusBar();
  /// Lays the controls out in rows; the paths take the width, the gaps between the sections the height.
  void LayOut(QWidget* client);
  /// Puts the set-up guide's hints over their rows and its connectors on their controls.
  void PlaceGuide();
  /// Opens the window where it was last closed, or at its first size in the middle, within the screen.
  void RestorePlace();
  void ConnectHandlers();
  void SetTabOrder();
  void OnEntry(const app::AppState::EntryReport& report);
  /// Runs a folder command, whose kept entries stay in `kept_folder` and are no scan's.
  void RunFolderCommand(void (*command)(app::AppState&, app::MainView&), const char* kept_folder);
  void ShowActivityMarker();
  /// Marks the folder rows that share a folder with another row.
  void MarkSharedFolders();
  /// Shows the log's latest entries in the activity view, and rotates the log when it has grown large.
  void LoadHistory();
  /// Where the file of a report now is, for its row in the activity view.
  FileLocation FileOf(const app::AppState::EntryReport& report, std::string_view kept_folder) const;
  void CommitData(QSessionManager& manager);
  /// The widget of a control; null for the two menu items, which are actions.
  QWidget* Widget(app::Control control) const;
  QAction* Action(app::Control control) const;

  app::AppState state_;
  std::filesystem::path program_folder_;
  bool timer_enabled_ = false;
  bool quit_confirmed_ = false;       // by the session manager, which asked before closing the window
  std::array<QString, 2> xmp_views_;  // what txtXMP(0) and (1) hold while they are hidden
  int yielding_ = 0;                  // ProcessPendingEvents calls in progress
  const char* kept_folder_;           // where a kept entry of the operation in progress stays
  std::vector<QString> scan_kept_;    // kept entries of the scan in progress, as "name: reason"
  std::vector<QString> latest_kept_;  // those of the latest complete scan
  int unseen_messages_ = 0;
  frmActivity* activity_ = nullptr;
  std::string pending_details_;      // a parse error's words, for the row of its file that follows
  std::optional<app::JsonLog> log_;  // the window's own log, when it keeps one
  app::ScanCounts scan_counts_;      // what the scan in progress did, for its log line

  std::array<QLabel*, 3> lbllblFolder{};
  std::array<PathLabel*, 3> lblFolder{};
  std::array<QPushButton*, 3> cmdBrowse{};
  std::array<QPushButton*, 3> cmdFiles{};
  QGroupBox* Frame1 = nullptr;
  std::array<QRadioButton*, 2> optUseArchive{};
  QPushButton* cmdReprocess = nullptr;
  QPushButton* cmdClearOutput = nullptr;
  QGroupBox* Frame2 = nullptr;
  std::array<QRadioButton*, 3> optAccents{};
  QGroupBox* Frame3 = nullptr;
  QCheckBox* chkSynchronizeXMP = nullptr;
  QCheckBox* chkRemoveXMP = nullptr;
  QCheckBox* chkAutomatic = nullptr;
  QPushButton* cmdRun = nullptr;
  QProgressBar* ProgressBarAttente = nullptr;
  QLabel* lblMaxAttente = nullptr;
  QPushButton* cmdQuit = nullptr;
  QLabel* Picture1 = nullptr;
  QLabel* Picture2 = nullptr;
  QTimer* Timer1 = nullptr;
  std::array<QLabel*, 6> lblBulle{};  // no hint of index 4
  std::array<GuideLine*, 6> LineBulle{};
  std::array<QPlainTextEdit*, 2> txtXMP{};
  std::array<QLabel*, 2> lblLentxtXMP{};
  std::array<QLabel*, 2> Panels{};  // the two text panels of StatusBar1
  QToolButton* Panels3 = nullptr;   // the marker: files kept by the latest scan, messages not yet seen
  QMenu* mnuFile = nullptr;
  QAction* mnuActivity = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuOptions = nullptr;
  QAction* mnuWaitTime = nullptr;
  QMenu* mnuAide = nullptr;
  QAction* mnuHelp = nullptr;
  QAction* mnuAbout = nullptr;
};

}  // namespace qm::ui
