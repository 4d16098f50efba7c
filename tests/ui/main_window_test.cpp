#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <chrono>
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
  /// Settings with existing input and output folders, and an archive folder when `archive` is set.
  std::string Configured(bool use_archive, bool archive = true) const {
    return "[Folders]\nInput=" + dir_.Folder("in") + "\nOutput=" + dir_.Folder("out") +
           "\nArchive=" + (archive ? dir_.Folder("archive") : std::string()) +
           "\nUseArchive=" + (use_archive ? "1" : "0") + "\n";
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
  EXPECT_EQ(window_->centralWidget()->size(), QSize(490, 466));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
  EXPECT_EQ(window_->windowTitle().toStdString(), std::string("Quillmark ") + kAppVersion);
  test::ExpectNothingOverlapsOrClips(window_->centralWidget());
  EXPECT_EQ(W<QWidget>("cmdRun")->geometry(), QRect(416, 396, 61, 61));
  EXPECT_EQ(W<QWidget>("lblFolder(2)")->geometry(), QRect(56, 204, 349, 41));
  const int left = W<QLabel>("Panels(1)")->width();
  EXPECT_NEAR(left, W<QLabel>("Panels(2)")->width(), 2);
  EXPECT_NEAR(left, 245, 4);
  EXPECT_EQ(W<QLabel>("lblFolder(1)")->toolTip(), "where input images will be moved after process");
  for (const char* hidden :
       {"Picture1", "Picture2", "txtXMP(0)", "txtXMP(1)", "lblLentxtXMP(1)", "lblBulle(0)"}) {
    EXPECT_FALSE(W<QWidget>(hidden)->isVisibleTo(window_.get())) << hidden;
  }
}

TEST_F(MainWindowTest, FirstStartShowsTheWholeGuideInTooltipColours) {
  Open();
  EXPECT_TRUE(MessageBox::Shown().empty());
  for (const char* name :
       {"lblBulle(0)", "lblBulle(1)", "lblBulle(2)", "lblBulle(3)", "lblBulle(5)", "LineBulle(0)",
        "LineBulle(1)", "LineBulle(2)", "LineBulle(3)", "LineBulle(4)", "LineBulle(5)"}) {
    EXPECT_TRUE(W<QWidget>(name)->isVisibleTo(window_.get())) << name;
  }
  const QLabel* hint = W<QLabel>("lblBulle(2)");
  EXPECT_EQ(hint->palette().color(QPalette::Window), hint->palette().color(QPalette::ToolTipBase));
  EXPECT_EQ(hint->palette().color(QPalette::WindowText), hint->palette().color(QPalette::ToolTipText));
  // Each connector ends on the control it points at.
  EXPECT_TRUE(W<QWidget>("cmdBrowse(0)")
                  ->geometry()
                  .adjusted(-1, -1, 1, 1)
                  .contains(W<GuideLine>("LineBulle(0)")->To()));
  EXPECT_TRUE(
      W<QWidget>("cmdRun")->geometry().adjusted(-1, -1, 1, 1).contains(W<GuideLine>("LineBulle(5)")->To()));
  for (const char* name :
       {"cmdRun", "cmdFiles(0)", "cmdFiles(1)", "cmdFiles(2)", "cmdClearOutput", "cmdReprocess"}) {
    EXPECT_FALSE(W<QWidget>(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(W<QRadioButton>("optUseArchive(0)")->isChecked());
  EXPECT_TRUE(W<QRadioButton>("optAccents(0)")->isChecked());
  EXPECT_EQ(W<QProgressBar>("ProgressBarAttente")->maximum(), 9);
}

TEST_F(MainWindowTest, OptionClicksStoreTheirSettings) {
  Open();
  test::Click(W<QCheckBox>("chkSynchronizeXMP"));
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "1");
  test::Click(W<QCheckBox>("chkRemoveXMP"));
  EXPECT_TRUE(W<QCheckBox>("chkRemoveXMP")->isChecked());
  EXPECT_FALSE(W<QCheckBox>("chkSynchronizeXMP")->isChecked());
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "1");
  EXPECT_EQ(Setting("Options", "SynchronizeXMP"), "0");
  test::Click(W<QCheckBox>("chkRemoveXMP"));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "0");
  test::Click(W<QCheckBox>("chkAutomatic"));
  EXPECT_EQ(Setting("Options", "Automatic"), "1");
  test::Click(W<QRadioButton>("optAccents(2)"));
  EXPECT_EQ(Setting("Options", "Accents"), "2");
  EXPECT_EQ(window_->State().ActiveAccentTable, coding::IdentityTable());
}

struct ArchiveCase {
  bool ArchiveExists;
  int Option;
  bool Select, Reprocess;  // enabled states of cmdBrowse(1), and of cmdReprocess and cmdFiles(1)
};

class MainWindowArchive : public MainWindowTest, public testing::WithParamInterface<ArchiveCase> {};

TEST_P(MainWindowArchive, OptionEnablesTheArchiveRow) {
  const ArchiveCase& c = GetParam();
  Open(Configured(c.Option == 0, c.ArchiveExists));
  test::Click(W<QRadioButton>(c.Option == 0 ? "optUseArchive(0)" : "optUseArchive(1)"));
  EXPECT_EQ(Setting("Folders", "UseArchive"), c.Option == 0 ? "0" : "1");
  EXPECT_EQ(W<QWidget>("cmdBrowse(1)")->isEnabled(), c.Select);
  EXPECT_EQ(W<QWidget>("lblFolder(1)")->isEnabled(), c.Select);
  EXPECT_EQ(W<QWidget>("cmdReprocess")->isEnabled(), c.Reprocess);
  EXPECT_EQ(W<QWidget>("cmdFiles(1)")->isEnabled(), c.Reprocess);
}

INSTANTIATE_TEST_SUITE_P(Options, MainWindowArchive,
                         testing::Values(ArchiveCase{true, 1, true, true}, ArchiveCase{false, 1, true, false},
                                         ArchiveCase{true, 0, false, false},
                                         ArchiveCase{false, 0, false, false}));

TEST_F(MainWindowTest, TheCoreSettingAControlRunsNoHandler) {
  Open();
  const std::string before = test::ReadFile(Ini());
  window_->SetChecked(app::Control::chkRemoveXMP, true);
  window_->SetChecked(app::Control::optUseArchive1, true);
  window_->SetChecked(app::Control::optUseArchive1, false);
  EXPECT_EQ(test::ReadFile(Ini()), before);
  EXPECT_FALSE(window_->State().RemoveXMP);
  EXPECT_FALSE(W<QRadioButton>("optUseArchive(1)")->isChecked());
  EXPECT_FALSE(W<QRadioButton>("optUseArchive(0)")->isChecked());
}

TEST_F(MainWindowTest, RunTogglesTheFaceTheTimerAndTheLockedControls) {
  Open(Configured(true));
  auto* run = W<QPushButton>("cmdRun");
  const char* locked[] = {"cmdBrowse(0)", "cmdBrowse(1)", "cmdBrowse(2)", "cmdQuit"};
  test::Click(run);
  ASSERT_TRUE(window_->State().Running);
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(32, 32)});  // the STOP sign
  EXPECT_EQ(run->toolTip(), "");
  for (const char* name : locked) EXPECT_FALSE(W<QWidget>(name)->isEnabled()) << name;
  EXPECT_FALSE(W<QAction>("mnuExit")->isEnabled());
  EXPECT_FALSE(W<QAction>("mnuWaitTime")->isEnabled());
  EXPECT_TRUE(W<QWidget>("cmdFiles(0)")->isEnabled());
  EXPECT_TRUE(W<QTimer>("Timer1")->isActive());
  EXPECT_EQ(W<QTimer>("Timer1")->interval(), 1000);

  test::Click(run);
  EXPECT_FALSE(window_->State().Running);
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(50, 50)});
  EXPECT_EQ(run->toolTip(), "Process images");
  for (const char* name : locked) EXPECT_TRUE(W<QWidget>(name)->isEnabled()) << name;
  EXPECT_TRUE(W<QAction>("mnuWaitTime")->isEnabled());
  EXPECT_FALSE(W<QTimer>("Timer1")->isActive());
}

TEST_F(MainWindowTest, AScanOverRealFoldersShowsItsCountsAndTicksCountDown) {
  Open(Configured(false));
  // Files written a moment ago could still be in the making; the clock says they have rested.
  window_->State().Now = [] { return std::chrono::system_clock::now() + std::chrono::minutes(1); };
  const std::filesystem::path in = dir_.Path() / "in";
  WriteFile(in / "a.jpg", "\xFF\xD8\xFF\xD9");
  WriteFile(in / "notes.txt", "caption");
  WriteFile(in / ".DS_Store", "");
  std::filesystem::create_directory(in / "sub");

  test::Click(W<QPushButton>("cmdRun"));
  EXPECT_EQ(W<QLabel>("Panels(1)")->text().toStdString(),
            "Since: " + window_->State().RunStart + " - processed: 2");
  const QRegularExpression last("^Last: \\d\\d/\\d\\d/\\d{4} - \\d\\d:\\d\\d - processed: 2$");
  EXPECT_TRUE(last.match(W<QLabel>("Panels(2)")->text()).hasMatch())
      << W<QLabel>("Panels(2)")->text().toStdString();
  EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "out" / "notes.txt"));

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

TEST_F(MainWindowTest, NoToTheQuitQuestionKeepsARunGoing) {
  Open(Configured(false));
  window_->show();
  test::Click(W<QPushButton>("cmdRun"));
  window_->close();
  EXPECT_EQ(MessageBox::Shown().back().Text, "Quit Quillmark");
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(window_->State().Running);
  EXPECT_TRUE(W<QTimer>("Timer1")->isActive());
}

enum class ClosePath { kCloseBox, kExitButton, kExitMenu };

class MainWindowClose : public MainWindowTest, public testing::WithParamInterface<ClosePath> {
 protected:
  void Close() {
    switch (GetParam()) {
      case ClosePath::kCloseBox:
        window_->close();
        break;
      case ClosePath::kExitButton:
        test::Click(W<QPushButton>("cmdQuit"));
        break;
      case ClosePath::kExitMenu:
        W<QAction>("mnuExit")->trigger();
        break;
    }
  }
};

TEST_P(MainWindowClose, AsksFirstAndNoKeepsTheWindow) {
  Open();
  window_->show();
  QSignalSpy unloaded(window_.get(), &frmQuillmark::Unloaded);
  MessageBox::Script({Answer::kNo, Answer::kYes});
  Close();
  ASSERT_EQ(MessageBox::Shown().size(), 1u);
  const app::Message& question = MessageBox::Shown()[0];
  EXPECT_EQ(question.Text, "Quit Quillmark");
  EXPECT_EQ(question.Title, std::string("Quillmark ") + kAppVersion);
  EXPECT_EQ(question.Icon, app::MessageIcon::kQuestion);
  EXPECT_EQ(question.Buttons, app::MessageButtons::kYesNo);
  EXPECT_TRUE(window_->isVisible());
  EXPECT_EQ(unloaded.count(), 0);

  Close();
  EXPECT_EQ(MessageBox::Shown().size(), 2u);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(unloaded.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Paths, MainWindowClose,
                         testing::Values(ClosePath::kCloseBox, ClosePath::kExitButton, ClosePath::kExitMenu));

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
  EXPECT_TRUE(opened.Urls.empty());

  WriteFile(page, "<html></html>");
  QTest::keyClick(window_.get(), Qt::Key_F1);
  EXPECT_EQ(MessageBox::Shown().size(), 1u);
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(page))});
}

TEST_F(MainWindowTest, SelectOpensTheChooserOnItsRowAndViewImagesSetsTheRow) {
  Open();
  QString title;
  QTimer::singleShot(0, [&title] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    title = dialog->windowTitle();
    dialog->close();
  });
  test::Click(W<QPushButton>("cmdBrowse(2)"));
  EXPECT_EQ(title, "Quillmark - Output folder");
  EXPECT_EQ(window_->State().FolderIndex, 2);
  test::Click(W<QPushButton>("cmdFiles(0)"));  // disabled without an input folder: nothing happens
  EXPECT_EQ(window_->State().FolderIndex, 2);
}

}  // namespace
}  // namespace qm::ui
