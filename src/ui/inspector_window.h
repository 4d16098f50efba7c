#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "app/app_state.h"
#include "inspector/shown_text.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qm::ui {

class cTooltip;
class PathLabel;

/// The inspector: lists one of the three folders, whose path it shows, and shows, for the selected entry, a
/// thumbnail, its IPTC fields as stored and a guess of the coding they were written in. The fields can be
/// copied, the file opened or its properties shown, and selected characters are described in a tip with their
/// codes and what the active accent table makes of them. Nothing is ever written to the files. Widgets carry
/// their names as object names ("lstFiles", "txtIPTC"...).
class frmFiles : public QDialog {
  Q_OBJECT

 public:
  /// Builds the window for the folder that `state.FolderIndex` names (Form_Load); the listing is made when it
  /// is first shown. The state's `IptcFields` receive the fields of each selected file.
  explicit frmFiles(app::AppState& state, QWidget* parent = nullptr);
  ~frmFiles() override;

  void Form_Load();
  /// Lists the folder and shows the count; runs once, when the window is first shown.
  void Form_Activate();
  /// Selects the file of that name (its bytes) once the folder is listed.
  void SelectWhenListed(const std::string& name) { select_ = name; }
  void lstFiles_Click();
  void lstFiles_DblClick();
  void cmdProperties_Click();
  void cmdClipboard_Click();
  void cmdOK_Click();
  void txtIPTC_MouseUp();

  /// The tip of the latest character inspection; null until the first one.
  cTooltip* CharacterTip() const { return CharacterTip_.get(); }

  /// The listed folder's path.
  PathLabel* lblFolder = nullptr;
  QListWidget* lstFiles = nullptr;
  QLabel* lblFiles = nullptr;
  QPushButton* cmdProperties = nullptr;
  QLabel* Image1 = nullptr;
  QPushButton* cmdOK = nullptr;
  QLabel* ImageQuillmark = nullptr;
  QLabel* ImageMac = nullptr;
  QLabel* ImageWin = nullptr;
  QLabel* lblIPTC = nullptr;
  QLabel* lblHexDec1 = nullptr;
  QLabel* lblHexDec2 = nullptr;
  QPlainTextEdit* txtIPTC = nullptr;
  QPushButton* cmdClipboard = nullptr;

 protected:
  /// Closing keeps the window's place for the next opening ([Window] Inspector).
  void done(int result) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  /// The full path of the selected entry; none when nothing is selected.
  std::optional<std::string> SelectedPath() const;
  void ShowThumbnail(const std::string& path);
  void ShowFieldText(const std::string& field_text);
  void ApplyVerdict();

  app::AppState& state_;
  /// The listed folder, ending with the separator; a file's path is this followed by its name.
  std::string InspectedFolder_;
  bool listed_ = false;
  std::string select_;
  /// The field text as stored (CR LF line ends), whether its block declares UTF-8, and how the box shows it.
  std::string field_text_;
  bool field_utf8_ = false;
  inspector::ShownText shown_text_{""};
  std::unique_ptr<cTooltip> CharacterTip_;
};

/// Opens the inspector on the folder of `state.FolderIndex`, modally over `parent`, and returns when it is
/// closed; every opening starts from a fresh window. The file named `select` (its name's bytes), when the
/// folder lists it, is selected and shown.
void ShowInspector(app::AppState& state, QWidget* parent, const std::string& select = {});

}  // namespace qm::ui
