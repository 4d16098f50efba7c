#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "app/ini_file.h"
#include "support/temp_dir.h"
#include "ui/guide_line.h"
#include "ui/message_box.h"
#include "ui_test_support.h"
#include "version.h"

namespace qm::ui {
namespace {

using app::Answer;
using test::Find;
using test::TempDir;
using test::WriteFile;

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override { MessageBox::Script(); }
  void TearDown() override { MessageBox::Unscript(); }

  std::filesystem::path Ini() const { return dir_.Path() / "Quillmark.ini"; }
  std::string Setting(const char* section, const char* key) const {
    return app::ReadIniValue(Ini(), section, key);
  }

  /// Opens the window over a settings file holding `settings` (none when empty); the help page would sit in
  /// the test's folder.
  frmQuillmark& Open(const std::string& settings = {}) {
    if (!settings.empty()) WriteFile(Ini(), settings);
    window_ = std::make_unique<frmQuillmark>(Ini(), dir_.Path());
    return *window_;
  }
  /// Settings with existing input, archive and output folders.
  std::string Configured(bool use_archive) const {
    return "[Folders]\nInput=" + dir_.Folder("in") + "\nOutput=" + dir_.Folder("out") +
           "\nArchive=" + dir_.Folder("archive") + "\nUseArchive=" + (use_archive ? "1" : "0") + "\n";
  }
  template <typename T>
  T* W(const char* name) const {
    return Find<T>(window_.get(), name);
  }

  TempDir dir_;
  std::unique_ptr<frmQuillmark> window_;
};

TEST_F(MainWindowTest, TheFixedLayoutNeitherOverlapsNorClips) {
  Open(Configured(true));
  window_->show();
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_EQ(window_->windowTitle().toStdString(), std::string("Quillmark ") + kAppVersion);
  test::ExpectNothingOverlapsOrClips(window_->centralWidget());
  // Each status panel takes half the window's width.
  EXPECT_NEAR(W<QLabel>("Panels(1)")->width(), 245, 4);
  EXPECT_NEAR(W<QLabel>("Panels(2)")->width(), 245, 4);
  EXPECT_EQ(W<QLabel>("lblFolder(1)")->toolTip(), "where input images will be moved after process");
  for (const char* hidden :
       {"Picture1", "Picture2", "txtXMP(0)", "txtXMP(1)", "lblLentxtXMP(1)", "lblBulle(0)"}) {
    EXPECT_FALSE(W<QWidget>(hidden)->isVisibleTo(window_.get())) << hidden;
  }
}

TEST_F(MainWindowTest, FirstStartShowsTheGuideWithItsConnectorsOnTheirControls) {
  Open();
  EXPECT_TRUE(W<QWidget>("lblBulle(5)")->isVisibleTo(window_.get()));
  // Each connector shows and ends on the control it points at.
  const std::pair<const char*, const char*> connectors[] = {
      {"LineBulle(0)", "cmdBrowse(0)"}, {"LineBulle(1)", "Frame1"}, {"LineBulle(2)", "cmdBrowse(2)"},
      {"LineBulle(3)", "Frame2"},       {"LineBulle(4)", "Frame3"}, {"LineBulle(5)", "cmdRun"}};
  for (const auto& [line, control] : connectors) {
    EXPECT_TRUE(W<QWidget>(line)->isVisibleTo(window_.get())) << line;
    EXPECT_TRUE(W<QWidget>(control)->geometry().adjusted(-1, -1, 1, 1).contains(W<GuideLine>(line)->To()))
        << line;
  }
  EXPECT_FALSE(W<QWidget>("cmdRun")->isEnabled() || W<QWidget>("cmdFiles(2)")->isEnabled());
  EXPECT_TRUE(W<QRadioButton>("optUseArchive(0)")->isChecked() &&
              W<QRadioButton>("optAccents(0)")->isChecked());
  EXPECT_EQ(W<QProgressBar>("ProgressBarAttente")->maximum(), 9);
}

TEST_F(MainWindowTest, OptionClicksReachTheirHandlersAndTheCoreSettingAControlRunsNoHandler) {
  Open(Configured(false));
  test::Click(W<QCheckBox>("chkSynchronizeXMP"));
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "1");
  test::Click(W<QCheckBox>("chkRemoveXMP"));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "1");
  EXPECT_FALSE(W<QCheckBox>("chkSynchronizeXMP")->isChecked());
  test::Click(W<QCheckBox>("chkRemoveXMP"));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "0");
  test::Click(W<QCheckBox>("chkAutomatic"));
  EXPECT_EQ(Setting("Options", "Automatic"), "1");
  test::Click(W<QRadioButton>("optAccents(2)"));
  EXPECT_EQ(Setting("Options", "Accents"), "2");
  test::Click(W<QRadioButton>("optUseArchive(1)"));
  EXPECT_EQ(Setting("Folders", "UseArchive"), "1");
  EXPECT_TRUE(W<QWidget>("cmdFiles(1)")->isEnabled());

  const std::string before = test::ReadFile(Ini());
  window_->SetChecked(app::Control::chkSynchronizeXMP, true);
  window_->SetChecked(app::Control::optUseArchive1, false);
  EXPECT_EQ(test::ReadFile(Ini()), before);
  EXPECT_FALSE(window_->State().SynchronizeXMP);
  EXPECT_TRUE(window_->State().UseArchive);
  EXPECT_FALSE(W<QRadioButton>("optUseArchive(1)")->isChecked() ||
               W<QRadioButton>("optUseArchive(0)")->isChecked());
}

TEST_F(MainWindowTest, RunTogglesTheFaceTheTimerAndTheLockedControlsAndNoToQuitKeepsItGoing) {
  Open(Configured(true));
  window_->show();
  auto* run = W<QPushButton>("cmdRun");
  test::Click(run);
  ASSERT_TRUE(window_->State().Running);
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(32, 32)});  // the STOP sign
  EXPECT_EQ(run->toolTip(), "");
  EXPECT_FALSE(W<QWidget>("cmdBrowse(1)")->isEnabled() || W<QWidget>("cmdQuit")->isEnabled() ||
               W<QAction>("mnuExit")->isEnabled());
  EXPECT_TRUE(W<QTimer>("Timer1")->isActive());
  EXPECT_EQ(W<QTimer>("Timer1")->interval(), 1000);

  window_->close();
  EXPECT_EQ(MessageBox::Shown().back().Text, "Quit Quillmark");
  EXPECT_TRUE(window_->isVisible() && window_->State().Running && W<QTimer>("Timer1")->isActive());

  test::Click(run);
  EXPECT_FALSE(window_->State().Running || W<QTimer>("Timer1")->isActive());
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(50, 50)});
  EXPECT_EQ(run->toolTip(), "Process images");
  EXPECT_TRUE(W<QWidget>("cmdBrowse(1)")->isEnabled() && W<QAction>("mnuWaitTime")->isEnabled());
}

TEST_F(MainWindowTest, AScanOverRealFoldersShowsItsCountsAndTicksCountDown) {
  Open(Configured(false));
  // Files written a moment ago could still be in the making; the clock says they have rested.
  window_->State().Now = [] { return std::chrono::system_clock::now() + std::chrono::minutes(1); };
  const std::filesystem::path in = dir_.Path() / "in";
  WriteFile(in / "a.jpg", "\xFF\xD8\xFF\xD9");
  WriteFile(in / "notes.txt", "caption");

  test::Click(W<QPushButton>("cmdRun"));
  EXPECT_EQ(W<QLabel>("Panels(1)")->text().toStdString(),
            "Since: " + window_->State().RunStart + " - processed: 2");
  EXPECT_EQ(W<QLabel>("Panels(2)")->text().left(6), "Last: ");

  for (const char* shown : {"10 sec.", "9 sec."}) {
    QMetaObject::invokeMethod(W<QTimer>("Timer1"), "timeout");
    EXPECT_EQ(W<QLabel>("lblMaxAttente")->text(), shown);
  }
  EXPECT_EQ(W<QProgressBar>("ProgressBarAttente")->value(), 1);
}

TEST_F(MainWindowTest, AnAutomaticRunStartsWhenTheWindowFirstBecomesActive) {
  Open(Configured(false) + "[Options]\nAutomatic=1\n");
  EXPECT_FALSE(window_->State().Running);
  window_->show();
  window_->activateWindow();
  EXPECT_TRUE(QTest::qWaitFor([this] { return window_->State().Running; }));
}

TEST_F(MainWindowTest, EveryClosePathAsksFirstAndNoKeepsTheWindow) {
  const std::function<void(frmQuillmark&)> close_paths[] = {
      [](frmQuillmark& window) { window.close(); },
      [](frmQuillmark& window) { test::Click(Find<QPushButton>(&window, "cmdQuit")); },
      [](frmQuillmark& window) { Find<QAction>(&window, "mnuExit")->trigger(); }};
  for (const auto& close : close_paths) {
    Open().show();
    QSignalSpy unloaded(window_.get(), &frmQuillmark::Unloaded);
    MessageBox::Script({Answer::kNo, Answer::kYes});
    close(*window_);
    EXPECT_EQ(MessageBox::Shown().size(), 1u);
    EXPECT_TRUE(window_->isVisible());
    close(*window_);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(unloaded.count(), 1);
  }
}

TEST_F(MainWindowTest, F1OpensTheHelpPageOrReportsItMissing) {
  Open();
  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  test::OpenedUrls opened("file");
  QTest::keyClick(window_.get(), Qt::Key_F1);
  const std::string page = (dir_.Path() / "Quillmark.htm").string();
  ASSERT_EQ(MessageBox::Shown().size(), 1u);
  EXPECT_EQ(MessageBox::Shown()[0].Text, "Missing help file:\n" + page);
  EXPECT_EQ(MessageBox::Beeps(), 1);

  WriteFile(page, "<html></html>");
  QTest::keyClick(window_.get(), Qt::Key_F1);
  EXPECT_EQ(MessageBox::Shown().size(), 1u);
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(page))});
}

TEST_F(MainWindowTest, RowButtonsAndMenusOpenTheirDialogs) {
  Open(Configured(true));
  QStringList seen;
  // Takes the title of the dialog that the next action opens, then closes it.
  const auto take_dialog = [&seen] {
    QTimer::singleShot(0, [&seen] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr) return;
      seen.push_back(dialog->windowTitle());
      dialog->close();
    });
  };
  take_dialog();
  test::Click(W<QPushButton>("cmdBrowse(2)"));
  take_dialog();
  test::Click(W<QPushButton>("cmdFiles(1)"));
  take_dialog();
  W<QAction>("mnuWaitTime")->trigger();
  take_dialog();
  W<QAction>("mnuAbout")->trigger();
  EXPECT_EQ(seen, QStringList({"Quillmark - Output folder", "Quillmark - Archive folder",
                               "Scan time interval", "About..."}));
}

}  // namespace
}  // namespace qm::ui
