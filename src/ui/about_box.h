#pragma once

#include <QDialog>
#include <filesystem>
#include <string>

#include "app/app_state.h"

class QLabel;
class QPushButton;

namespace qm::ui {

/// The about box: the product picture, three credit lines (the title with the version, what the program does,
/// who it is for), a link to the help page, and OK, which Enter and Escape press too.
class frmAbout : public QDialog {
 public:
  frmAbout(const app::AppState& state, const std::filesystem::path& help_page, QWidget* parent = nullptr);

  /// Opens the help page with the desktop's browser, or says that no program opens it.
  void lblLink_Click();

 private:
  QString help_page_;
  std::string title_;

  QLabel* Image1 = nullptr;
  QLabel* lblCredit = nullptr;
  QLabel* lblLink = nullptr;
  QPushButton* cmdOK = nullptr;
};

}  // namespace qm::ui
