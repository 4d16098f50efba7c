#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <chrono>
#include <functional>
#include <memory>

#include "app/ini_file.h"
#include "support/image_builders.h"
#include "support/temp_dir.h"
#include "ui/activity_window.h"
#include "ui/guide_line.h"
#include "ui/inspector_window.h"
#include "ui/message_box.h"
#include "ui/path_label.h"
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
  /// the test's folder. Files written a moment ago could still be in the making: its clock says they rested.
  frmQuillmark& Open(const std::string& settings = {}) {
    if (!settings.empty()) WriteFile(Ini(), settings);
    window_ = std::make_unique<frmQuillmark>(Ini(), dir_.Path(), dir_.Path() / "state/Quillmark.log");
    window_->State().Now = [] { return std::chrono::system_clock::now() + std::chrono::minutes(1); };
    return *window_;
  }
  /// Settings with existing input (`in` unless named), archive and output folders.
  std::string Configured(bool use_archive, const std::string& input = "in") const {
    return "[Folders]\nInput=" + dir_.Folder(input) + "\nOutput=" + dir_.Folder("out") +
           "\nArchive=" + dir_.Folder("archive") + "\nUseArchive=" + (use_archive ? "1" : "0") + "\n";
  }
  void ShowActive() {
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }
  template <typename T>
  T* W(const char* name) const {
    return Find<T>(window_.get(), name);
  }

  TempDir dir_;
  std::unique_ptr<frmQuillmark> window_;
};

TEST_F(MainWindowTest, TheLayoutNeitherOverlapsNorClipsAtAnySizeAndTabFollowsIt) {
  const std::string deep = std::string(90, 'W') + "/" + std::string(90, 'M') + "/incoming";
  Open(Configured(true, deep));
  ShowActive();
  // The first size: the one the layout was drawn for, or what the desktop's font needs, without scrolling.
  EXPECT_EQ(window_->width(), 490);
  EXPECT_GE(window_->height(), 503);
  EXPECT_FALSE(W<QScrollArea>("scroll")->verticalScrollBar()->isVisible());
  EXPECT_EQ(window_->windowTitle().toStdString(), std::string("Quillmark ") + kAppVersion);
  QWidget* client = W<QWidget>("client");
  test::ExpectNothingOverlapsOrClips(client);
  EXPECT_NEAR(W<QLabel>("Panels(2)")->width(), 245, 4);  // each status text has half the width
  // Too long for its line: shortened in the middle, the folder's own name whole, the path on hover.
  auto* input = W<PathLabel>("lblFolder(0)");
  EXPECT_TRUE(input->ShownText().startsWith(QString::fromStdString(dir_.Path().string()).left(8)));
  EXPECT_TRUE(input->ShownText().endsWith(QString::fromUtf8("\u2026/incoming/")));
  EXPECT_LT(input->height(), 2 * input->fontMetrics().height());
  QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), input->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(input, &hover);
  EXPECT_EQ(QToolTip::text().toStdString(), dir_.Folder(deep) + "\ncontains images to process");

  // Wider, the paths take the room; smaller than its controls need, the window scrolls them, and its status
  // bar stays in sight.
  const int path_width = input->width();
  window_->resize(800, 560);
  ASSERT_TRUE(QTest::qWaitFor([&] { return input->width() >= path_width + 300; }));
  test::ExpectNothingOverlapsOrClips(client);
  window_->resize(300, 200);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->height() == 200; }));
  EXPECT_TRUE(QTest::qWaitFor([this] { return W<QScrollArea>("scroll")->verticalScrollBar()->isVisible(); }));
  EXPECT_TRUE(window_->rect().contains(window_->statusBar()->geometry()));

  // Tab goes down the rows, entering each group of option buttons at its selected one.
  W<QWidget>("cmdBrowse(0)")->setFocus();
  QStringList order;
  for (int i = 0; i < 16; ++i) {
    order.push_back(QApplication::focusWidget()->objectName());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(
      order.join(' ').toStdString(),
      "cmdBrowse(0) cmdFiles(0) optUseArchive(1) cmdBrowse(1) cmdFiles(1) cmdReprocess cmdBrowse(2) "
      "cmdFiles(2) cmdClearOutput optAccents(0) chkSynchronizeXMP chkRemoveXMP chkAutomatic cmdRun cmdQuit "
      "cmdBrowse(0)");
}

TEST_F(MainWindowTest, FirstStartShowsTheGuideWithItsConnectorsOnTheirControlsAtAnySize) {
  Open();
  ShowActive();
  for (const QSize size : {QSize(490, 503), QSize(900, 700)}) {
    window_->resize(size);
    QTest::qWait(20);
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
    // The hints lie inside the window, over no button.
    for (const char* hint : {"lblBulle(0)", "lblBulle(1)", "lblBulle(2)", "lblBulle(3)", "lblBulle(5)"}) {
      EXPECT_TRUE(W<QWidget>("client")->rect().contains(W<QWidget>(hint)->geometry())) << hint;
      for (QPushButton* button : W<QWidget>("client")->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->geometry().intersects(W<QWidget>(hint)->geometry()))
            << hint << " " << button->objectName().toStdString();
      }
    }
  }
}

TEST_F(MainWindowTest, TheWindowOpensWhereItWasClosedAndAlwaysWithinTheScreen) {
  Open(Configured(false));
  ShowActive();
  window_->setGeometry(QRect(40, 50, 600, 520));
  MessageBox::Script({Answer::kYes});
  window_->close();
  EXPECT_EQ(Setting("Window", "Main"), "40,50,600,520");
  Open();
  EXPECT_EQ(window_->geometry(), QRect(40, 50, 600, 520));
  // Larger than the screen, or off it (a screen that went away, a larger scale): within the screen.
  const QRect room = QGuiApplication::primaryScreen()->availableGeometry();
  for (const char* place : {"-3000,-3000,5000,5000", "5000,5000,400,400"}) {
    app::WriteIniValue(Ini(), "Window", "Main", place);
    Open();
    EXPECT_TRUE(room.contains(window_->geometry())) << place;
  }
}

TEST_F(MainWindowTest, OptionClicksReachTheirHandlersAndTheCoreSettingAControlRunsNoHandler) {
  Open(Configured(false));
  test::Click(W<QCheckBox>("chkSynchronizeXMP"));
  test::Click(W<QCheckBox>("chkRemoveXMP"));
  EXPECT_EQ(Setting("Options", "RemoveXMP"), "1");
  EXPECT_FALSE(W<QCheckBox>("chkSynchronizeXMP")->isChecked());
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

TEST_F(MainWindowTest, RunTogglesFaceTimerAndLockedControlsAndAStopBetweenTwoImagesEndsTheScanThere) {
  Open(Configured(true)).show();
  auto* run = W<QPushButton>("cmdRun");
  test::Click(run);
  ASSERT_TRUE(window_->State().Running);
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(32, 32)});  // the STOP sign
  EXPECT_FALSE(W<QWidget>("cmdBrowse(1)")->isEnabled() || W<QAction>("mnuExit")->isEnabled());
  EXPECT_TRUE(W<QTimer>("Timer1")->isActive());

  // Alt+F4 during a run names the run, and Enter keeps it.
  window_->close();
  EXPECT_EQ(MessageBox::Shown().back().Text,
            "Quit Quillmark and stop the run?\nThe input folder is then no longer processed automatically.");
  EXPECT_EQ(MessageBox::Shown().back().Default, Answer::kNo);
  EXPECT_TRUE(window_->isVisible() && window_->State().Running && W<QTimer>("Timer1")->isActive());

  test::Click(run);
  EXPECT_FALSE(window_->State().Running || W<QTimer>("Timer1")->isActive());
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(50, 50)});
  EXPECT_EQ(run->toolTip(), "Process images");
  EXPECT_TRUE(W<QWidget>("cmdBrowse(1)")->isEnabled() && W<QAction>("mnuWaitTime")->isEnabled());

  // A click on Run after the first image of four waits for the scan to let the window system handle it.
  const std::string in = dir_.Folder("in");
  for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg"}) WriteFile(in + name, "\xFF\xD8\xFF\xD9");
  QTimer click_after_first;  // its ticks come when the scan lets the window system work, between two images
  QObject::connect(&click_after_first, &QTimer::timeout, [&] {
    if (window_->State().ScanProcessed != 1) return;
    click_after_first.stop();
    test::Click(run);
  });
  click_after_first.start(0);
  test::Click(run);
  EXPECT_FALSE(window_->State().Running || W<QTimer>("Timer1")->isActive());
  EXPECT_EQ(run->icon().availableSizes(), QList<QSize>{QSize(50, 50)});
  EXPECT_EQ((W<QLabel>("Panels(1)")->text() + W<QLabel>("Panels(2)")->text()).toStdString(), "");
  EXPECT_EQ(std::count_if(std::filesystem::directory_iterator(in), {},
                          [](const auto& e) { return e.path().filename().string()[0] != '.'; }),
            3);  // the lock file aside
}

TEST_F(MainWindowTest, AScanShowsItsCountsAndTellsWhatItKeptWithoutABox) {
  Open(Configured(false) + "[Options]\nSynchronizeXMP=1\n");
  const std::filesystem::path in = dir_.Path() / "in";
  WriteFile(in / "a.jpg", "\xFF\xD8\xFF\xD9");
  WriteFile(in / "notes.txt", "caption");
  WriteFile(in / "cut.jpg", test::Jpeg({test::App1Xmp(test::XmpPacket("<rdf:Description></rdf:Descr>"))}));

  test::Click(W<QPushButton>("cmdRun"));
  EXPECT_EQ(W<QLabel>("Panels(1)")->text().toStdString(),
            "Since: " + window_->State().RunStart + " - processed: 3");
  // The packet's parse error waits in the activity view, on its file's row, so the scan went on.
  EXPECT_TRUE(MessageBox::Shown().empty());
  frmActivity* activity = window_->Activity();
  QStringList rows;  // without their times
  for (int row = 0; row < activity->RowCount(); ++row) rows << activity->RowText(row).section('\t', 1);
  rows.sort();
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[0] + rows[2],
            "a.jpg\twritten, deleted\tnotes.txt\twritten, deleted\tnot a JPEG image, its bytes "
            "were written as read");
  EXPECT_TRUE(rows[1].startsWith("cut.jpg\tnot written, kept in the input folder\tits XMP packet does not") &&
              rows[1].contains(" / Parsing error:"));
  // The marker counts the kept file and names it on hover.
  auto* marker = W<QToolButton>("Panels(3)");
  EXPECT_TRUE(marker->isVisibleTo(window_.get()));
  EXPECT_EQ(marker->text(), "Kept: 1");
  EXPECT_TRUE(marker->toolTip().contains("\ncut.jpg: its XMP packet does not parse"));
  QTest::mouseClick(marker, Qt::LeftButton);
  EXPECT_TRUE(activity->isVisible());
  // Over the main window, and within the screen however wide it was made.
  const QRect over = activity->frameGeometry();
  EXPECT_TRUE(over.contains(window_->frameGeometry().center()));
  EXPECT_TRUE(window_->screen()->availableGeometry().contains(over));

  // A row leads to its file: Enter shows it in the inspector, the row's menu copies its path; a written
  // file's row leads to its output.
  auto* list = test::Find<QTreeView>(activity, "lstActivity");
  int cut = 0;
  while (!activity->RowText(cut).contains("cut.jpg")) ++cut;
  EXPECT_EQ(activity->RowPath(cut), (in / "cut.jpg").string());
  EXPECT_EQ(activity->RowPath(cut == 0 ? 1 : 0).rfind((dir_.Path() / "out").string(), 0), 0u);
  list->setFocus();
  list->setCurrentIndex(list->model()->index(cut, 0));
  QString inspected;
  QTimer::singleShot(0, [&] {
    if (auto* files = qobject_cast<frmFiles*>(QApplication::activeModalWidget())) {
      if (files->lstFiles->currentItem() != nullptr) inspected = files->lstFiles->currentItem()->text();
      QTest::keyClick(files, Qt::Key_Escape);
    }
  });
  QTest::keyClick(list, Qt::Key_Return);
  EXPECT_EQ(inspected, "cut.jpg");
  QTimer::singleShot(0, [] {
    if (QWidget* menu = QApplication::activePopupWidget()) QTest::keyClick(menu, Qt::Key_P);
  });
  // What the Menu key sends.
  const QPoint at = list->visualRect(list->currentIndex()).center();
  QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, at, list->viewport()->mapToGlobal(at));
  QApplication::sendEvent(list->viewport(), &menu_key);
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), (in / "cut.jpg").string());

  // A report that repeats one already told adds no row; the latest thousand stay, and Copy takes them all.
  app::AppState::EntryReport report{"cut.jpg"};
  report.Repeat = true;
  window_->State().OnEntry(report);
  EXPECT_EQ(activity->RowCount(), 3);
  EXPECT_TRUE(test::Find<QLabel>(activity, "lblActivity")->text().contains("1 repeated report of"));
  report = {"", app::AppState::EntryFate::kDeleted};
  for (int i = 0; i < frmActivity::kMaxRows; ++i) {
    report.Name = "x" + std::to_string(i) + ".jpg";
    window_->State().OnEntry(report);
  }
  EXPECT_EQ(activity->RowText(0).section('\t', 1), "x999.jpg\tdeleted\t");
  QTest::mouseClick(test::Find<QPushButton>(activity, "cmdCopy"), Qt::LeftButton);
  EXPECT_EQ(QApplication::clipboard()->text().count('\n'), frmActivity::kMaxRows);

  // The history survives a restart: the window's log gives the next window the latest thousand.
  window_.reset();
  Open();
  EXPECT_EQ(window_->Activity()->RowCount(), frmActivity::kMaxRows);
  EXPECT_EQ(window_->Activity()->RowText(0).section('\t', 1), "x999.jpg\tdeleted\t");
}

// Shown is enough: a desktop that keeps the focus elsewhere must not hold the desk.
TEST_F(MainWindowTest, AnAutomaticRunStartsWhenTheWindowFirstShowsAndWaitsForAFolderWithoutABox) {
  const std::string settings = Configured(true) + "[Options]\nAutomatic=1\n";
  const std::string in = dir_.Folder("in");
  std::filesystem::remove(in);  // a share not mounted yet
  Open(settings);
  EXPECT_FALSE(window_->State().Running);
  window_->setAttribute(Qt::WA_ShowWithoutActivating);
  window_->show();
  EXPECT_TRUE(QTest::qWaitFor([this] { return window_->State().Running; }));
  EXPECT_TRUE(MessageBox::Shown().empty());
  frmActivity* activity = window_->Activity();
  ASSERT_EQ(activity->RowCount(), 1);
  EXPECT_EQ(activity->RowText(0).section('\t', 1).toStdString(), "\tmessage\tUnknown input folder / " + in);
  EXPECT_FALSE(W<QToolButton>("Panels(3)")->icon().isNull());

  std::filesystem::create_directories(in);
  WriteFile(in + "a.jpg", "\xFF\xD8\xFF\xD9");
  window_->State().Countdown = 0;
  W<QTimer>("Timer1")->setInterval(1);
  EXPECT_TRUE(QTest::qWaitFor([this] { return std::filesystem::exists(dir_.Path() / "archive/a.jpg"); }));
  EXPECT_EQ(activity->RowCount(), 2);
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
    EXPECT_TRUE(window_->isVisible() && MessageBox::Shown().size() == 1u);
    close(*window_);
    EXPECT_TRUE(!window_->isVisible() && unloaded.count() == 1);
  }
}

TEST_F(MainWindowTest, F1AltCAndAltRSayWhyTheyCannotActAndLeaveTheOriginals) {
  const std::string in = dir_.Folder("in");
  Open("[Folders]\nInput=" + in + "\nOutput=" + in + "\n");
  ShowActive();
  // The two rows that share a folder are marked from the start, with why on hover.
  EXPECT_TRUE(
      W<PathLabel>("lblFolder(0)")->Warning().startsWith("The input folder is also the output folder: "));
  EXPECT_TRUE(
      W<PathLabel>("lblFolder(2)")->Warning().startsWith("The output folder is also the input folder: "));
  EXPECT_EQ(W<PathLabel>("lblFolder(1)")->Warning(), "");
  WriteFile(in + "original.jpg", "\xFF\xD8\xFF\xD9");
  QTest::keyClick(window_.get(), Qt::Key_F1);
  const std::string page = (dir_.Path() / "Quillmark.htm").string();
  WriteFile(page, "<html></html>");
  QTest::keyClick(window_.get(), Qt::Key_F1);  // a desktop with no program for it
  QTest::keyClick(window_.get(), Qt::Key_C, Qt::AltModifier);
  QTest::keyClick(window_.get(), Qt::Key_R, Qt::AltModifier);
  ASSERT_TRUE(QTest::qWaitFor([] { return MessageBox::Shown().size() == 4; }));
  const std::vector<std::string> told = {"Missing help file:\n" + page,
                                         "No program on this desktop opens\n" + page,
                                         "The output folder is also the input folder\n" + in,
                                         "The input folder is also the output folder\n" + in};
  for (std::size_t i = 0; i < told.size(); ++i) EXPECT_EQ(MessageBox::Shown()[i].Text, told[i]);
  EXPECT_TRUE(std::filesystem::exists(in + "original.jpg") && !window_->State().Running);

  test::OpenedUrls opened("file");
  QTest::keyClick(window_.get(), Qt::Key_F1);
  EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(page))});
}

TEST_F(MainWindowTest, RowButtonsMenusAndTheStatusBarOpenTheirWindows) {
  Open(Configured(true));
  ShowActive();
  const std::function<void()> opens[] = {[this] { test::Click(W<QPushButton>("cmdBrowse(2)")); },
                                         [this] { test::Click(W<QPushButton>("cmdFiles(1)")); },
                                         [this] {
                                           auto* menu = W<QMenu>("mnuOptions");  // its item's access key
                                           menu->popup(window_->mapToGlobal(QPoint()));
                                           QTest::keyClick(menu, Qt::Key_T);
                                         },
                                         [this] { W<QAction>("mnuAbout")->trigger(); }};
  QStringList seen;
  for (const auto& open : opens) {
    // Takes the title of the dialog that opens, then closes it.
    QTimer::singleShot(0, [&seen] {
      if (QWidget* dialog = QApplication::activeModalWidget()) {
        seen.push_back(dialog->windowTitle());
        dialog->close();
      }
    });
    open();
  }
  EXPECT_EQ(seen, QStringList({"Quillmark - Output folder", "Quillmark - Archive folder",
                               "Scan time interval", "About..."}));
  QTest::mouseClick(W<QLabel>("Panels(1)"), Qt::LeftButton);
  EXPECT_TRUE(window_->Activity()->isVisible());
}

}  // namespace
}  // namespace qm::ui
