#pragma once

#include <QDialog>

#include "app/app_state.h"
#include "app/main_view.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qm::ui {

/// The wait-time dialog: the seconds between two scans of a run, typed or stepped with the arrows (or the Up
/// and Down keys). It opens with the value selected, so that typing replaces it. The arrows only edit the
/// text; OK stores it through the core, which refuses a value outside 1..32000.
class frmTempo : public QDialog {
 public:
  /// `view` is the main window, whose waiting display OK updates.
  frmTempo(app::AppState& state, app::MainView& view, QWidget* parent = nullptr);

  void UpDown1_UpClick();
  void UpDown1_DownClick();
  void cmdOK_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int step);

  app::AppState& state_;
  app::MainView& view_;

  QLineEdit* Text1 = nullptr;
  QWidget* UpDown1 = nullptr;
  QToolButton* UpDown1Up = nullptr;
  QToolButton* UpDown1Down = nullptr;
  QLabel* lblSecondes = nullptr;
  QLabel* Label1 = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdAnnuler = nullptr;
};

}  // namespace qm::ui
