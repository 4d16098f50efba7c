#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSessionManager>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/batch_run.h"
#include "app/file_operations.h"
#include "app/folder_choice.h"
#include "app/help_file.h"
#include "app/log_history.h"
#include "app/maintenance.h"
#include "app/option_handlers.h"
#include "app/settings.h"
#include "app/startup.h"
#include "ui/about_box.h"
#include "ui/activity_window.h"
#include "ui/artwork.h"
#include "ui/folder_chooser.h"
#include "ui/form_layout.h"
#include "ui/guide_line.h"
#include "ui/inspector_window.h"
#include "ui/message_box.h"
#include "ui/path_label.h"
#include "ui/shell_helpers.h"
#include "ui/wait_time_dialog.h"

namespace qm::ui {
namespace {

using app::Control;

// The window's size at its first start, in pixels at 96 dpi: 7350 x 7245 twips and the menu bar.
constexpr QSize kDefaultSize(490, 503);

struct FolderRowLayout {
  const char* Name;
  const char* Tooltip;
};

constexpr FolderRowLayout kFolderRows[] = {
    {"Input", "contains images to process"},
    {"Archive", "where input images will be moved after process"},
    {"Output", "contains processed images"},
};

// The captions of each row's Select and View images buttons, each row with access keys of its own.
constexpr std::pair<const char*, const char*> kRowButtons[] = {
    {"&Select", "&View images"}, {"Se&lect", "Vie&w images"}, {"S&elect", "View &images"}};

struct HintLayout {
  int Index;
  const char* Text;
};

constexpr HintLayout kHints[] = {
    {0, "1 - select input folder containing images to process"},
    {1, "and choose after process option"},
    {2, "2 - select output folder containing processed images"},
    {3, "then choose coding option and XMP processing"},
    {5, "3 - click to process images"},
};

// Where the window was, in the settings file: "left,top,width,height" in [Window] Main.
constexpr std::string_view kWindowSection = "Window";

template <typename T>
T* Make(QWidget* parent, const QString& name) {
  auto* widget = new T(parent);
  widget->setObjectName(name);
  return widget;
}

QString Name(Control control) { return QString::fromStdString(app::ControlName(control)); }

constexpr const char* kInputFolder = "input";

// The longest list of kept files that the marker's tooltip shows; the activity view has them all.
constexpr std::size_t kKeptShown = 15;

}  // namespace

frmQuillmark::frmQuillmark(const std::filesystem::path& ini_path, const std::filesystem::path& program_folder,
                           const std::filesystem::path& log_path, QWidget* parent)
    : QMainWindow(parent), program_folder_(program_folder), kept_folder_(kInputFolder) {
  if (!log_path.empty()) log_.emplace(log_path);
  setObjectName("frmQuillmark");
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ProgramIcon());
  // The controls sit in a scroll area, so that a screen too small for them (a large scale) still shows the
  // whole window, status bar included, and scrolls its controls.
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName("scroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setFocusPolicy(Qt::NoFocus);
  auto* client = new QWidget;
  client->setObjectName("client");
  client->setFont(FormFont());
  BuildFolderRows(client);
  BuildOptions(client);
  BuildRunControls(client);
  BuildHiddenControls(client);
  BuildGuide(client);
  LayOut(client);
  scroll->setWidget(client);
  setCentralWidget(scroll);
  BuildMenus();
  BuildStatusBar();
  ConnectHandlers();
  SetTabOrder();
  client->installEventFilter(this);  // the guide follows the controls as the window resizes

  activity_ = new frmActivity(this);
  activity_->OnShown = [this] {
    unseen_messages_ = 0;
    ShowActivityMarker();
  };
  activity_->OnInspect = [this](int folder_index, const std::string& name) {
    state_.FolderIndex = static_cast<std::int16_t>(folder_index);
    ShowInspector(state_, this, name);
  };
  state_.OnEntry = [this](const app::AppState::EntryReport& report) { OnEntry(report); };

  app::Form_Load(state_, *this, ini_path);
  LoadHistory();
  RestorePlace();
}

void frmQuillmark::BuildFolderRows(QWidget* client) {
  for (int i = 0; i < 3; ++i) {
    const FolderRowLayout& row = kFolderRows[i];
    lbllblFolder[i] = Make<QLabel>(client, Name(app::Indexed(Control::lbllblFolder0, i)));
    lbllblFolder[i]->setText(row.Name);
    lbllblFolder[i]->setToolTip(row.Tooltip);

    lblFolder[i] = Make<PathLabel>(client, Name(app::Indexed(Control::lblFolder0, i)));
    lblFolder[i]->setToolTip(row.Tooltip);  // the path shows the same hint as its row's name

    cmdBrowse[i] = Make<QPushButton>(client, Name(app::Indexed(Control::cmdBrowse0, i)));
    cmdBrowse[i]->setText(kRowButtons[i].first);

    cmdFiles[i] = Make<QPushButton>(client, Name(app::Indexed(Control::cmdFiles0, i)));
    cmdFiles[i]->setText(kRowButtons[i].second);
  }

  Frame1 = Make<QGroupBox>(client, "Frame1");
  Frame1->setTitle("After process");
  optUseArchive[0] = Make<QRadioButton>(Frame1, Name(Control::optUseArchive0));
  optUseArchive[0]->setText("Remove images from input folder");
  optUseArchive[1] = Make<QRadioButton>(Frame1, Name(Control::optUseArchive1));
  optUseArchive[1]->setText("Save input images to archive folder (select archive folder below)");

  cmdReprocess = Make<QPushButton>(client, Name(Control::cmdReprocess));
  cmdReprocess->setText("Re-&process archive folder");
  cmdClearOutput = Make<QPushButton>(client, Name(Control::cmdClearOutput));
  cmdClearOutput->setText("&Clear output folder");
}

void frmQuillmark::BuildOptions(QWidget* client) {
  Frame2 = Make<QGroupBox>(client, "Frame2");
  Frame2->setTitle("Process accents coding");
  const char* accents[] = {"Macintosh accents -> Windows accents", "Windows accents -> Macintosh accents",
                           "do not modify accents"};
  for (int i = 0; i < 3; ++i) {
    optAccents[i] = Make<QRadioButton>(Frame2, Name(app::Indexed(Control::optAccents0, i)));
    optAccents[i]->setText(accents[i]);
  }

  Frame3 = Make<QGroupBox>(client, "Frame3");
  Frame3->setTitle("Process XMP");
  chkSynchronizeXMP = Make<QCheckBox>(Frame3, Name(Control::chkSynchronizeXMP));
  // A check box does not wrap its caption; two lines keep the two frames side by side.
  chkSynchronizeXMP->setText("Synchronize XMP metadata\nwith IPTC metadata");
  chkSynchronizeXMP->setAccessibleName("Synchronize XMP metadata with IPTC metadata");
  chkRemoveXMP = Make<QCheckBox>(Frame3, Name(Control::chkRemoveXMP));
  chkRemoveXMP->setText("Remove XMP metadata");

  chkAutomatic = Make<QCheckBox>(client, Name(Control::chkAutomatic));
  chkAutomatic->setText("Run process automatically when program is started");
}

void frmQuillmark::BuildRunControls(QWidget* client) {
  Picture1 = Make<QLabel>(client, "Picture1");
  Picture1->setPixmap(QPixmap(kProductPicture));
  Picture1->hide();
  Picture2 = Make<QLabel>(client, "Picture2");
  Picture2->setPixmap(QPixmap(kStopPicture));
  Picture2->hide();

  cmdRun = Make<QPushButton>(client, Name(Control::cmdRun));
  cmdRun->setIconSize(QSize(50, 50));
  cmdRun->setAccessibleName("Run");
  cmdRun->setShortcut(QKeySequence(Qt::ALT | Qt::Key_R));  // a picture button has no caption to mark
  SetRunFace(app::RunFace::kIdle);

  ProgressBarAttente = Make<QProgressBar>(client, "ProgressBarAttente");
  ProgressBarAttente->setRange(0, 1);
  ProgressBarAttente->setValue(0);
  ProgressBarAttente->setTextVisible(false);

  lblMaxAttente = Make<QLabel>(client, Name(Control::lblMaxAttente));
  lblMaxAttente->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  cmdQuit = Make<QPushButton>(client, Name(Control::cmdQuit));
  cmdQuit->setText("Exit");

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(0);
}

void frmQuillmark::BuildHiddenControls(QWidget* client) {
  const char* captions[] = {"xmp avant", "xmp apr\u00e8s"};
  for (int i = 0; i < 2; ++i) {
    lblLentxtXMP[i] = Make<QLabel>(client, Name(app::Indexed(Control::lblLentxtXMP0, i)));
    lblLentxtXMP[i]->setText(QString::fromUtf8(captions[i]));
    lblLentxtXMP[i]->hide();
    txtXMP[i] = Make<QPlainTextEdit>(client, Name(app::Indexed(Control::txtXMP0, i)));
    txtXMP[i]->setReadOnly(true);
    txtXMP[i]->hide();
  }
}

void frmQuillmark::BuildGuide(QWidget* client) {
  QPalette hint_palette = client->palette();
  hint_palette.setColor(QPalette::Window, hint_palette.color(QPalette::ToolTipBase));
  hint_palette.setColor(QPalette::WindowText, hint_palette.color(QPalette::ToolTipText));
  for (int i = 0; i < 6; ++i) {
    LineBulle[i] = new GuideLine(client, {}, {});
    LineBulle[i]->setObjectName(Name(app::Indexed(Control::LineBulle0, i)));
    LineBulle[i]->hide();
  }
  for (const HintLayout& hint : kHints) {
    QLabel* label = Make<QLabel>(client, QString("lblBulle(%1)").arg(hint.Index));
    label->setText(hint.Text);
    label->setAutoFillBackground(true);
    label->setPalette(hint_palette);
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setIndent(3);
    label->hide();
    lblBulle[hint.Index] = label;
  }
}

void frmQuillmark::LayOut(QWidget* client) {
  // Three columns, as the rows read: the row's name, its path (which takes the width the window gives), and
  // its buttons; the two folder commands under their rows' buttons, reaching left into the path's column.
  auto* grid = new QGridLayout(client);
  grid->setContentsMargins(8, 6, 8, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  grid->setColumnStretch(1, 1);
  int row = 0;
  const auto folder_row = [&](int i) {
    grid->addWidget(lbllblFolder[i], row, 0, Qt::AlignTop);
    grid->addWidget(lblFolder[i], row, 1, Qt::AlignTop);
    grid->addWidget(cmdBrowse[i], row, 2);
    grid->addWidget(cmdFiles[i], row + 1, 2);
    row += 2;
  };
  // The room a taller window gives goes between the sections, as in the window's first size.
  const auto gap = [&] { grid->setRowStretch(row++, 1); };
  // The buttons keep the widths they were drawn with, 1100 and 2055 twips.
  for (int i = 0; i < 3; ++i) {
    cmdBrowse[i]->setMinimumWidth(73);
    cmdFiles[i]->setMinimumWidth(73);
  }
  cmdReprocess->setMinimumWidth(137);
  cmdClearOutput->setMinimumWidth(137);
  folder_row(0);
  gap();
  auto* after = new QVBoxLayout(Frame1);
  after->setContentsMargins(8, 2, 8, 4);
  after->setSpacing(2);
  after->addWidget(optUseArchive[0]);
  after->addWidget(optUseArchive[1]);
  grid->addWidget(Frame1, row++, 1, 1, 2);
  gap();
  folder_row(1);
  grid->addWidget(cmdReprocess, row++, 1, 1, 2, Qt::AlignRight);
  gap();
  folder_row(2);
  grid->addWidget(cmdClearOutput, row++, 1, 1, 2, Qt::AlignRight);
  gap();

  auto* accents = new QVBoxLayout(Frame2);
  accents->setContentsMargins(8, 2, 8, 4);
  accents->setSpacing(2);
  for (QRadioButton* option : optAccents) accents->addWidget(option);
  auto* xmp = new QVBoxLayout(Frame3);
  xmp->setContentsMargins(8, 2, 8, 4);
  xmp->setSpacing(2);
  xmp->addWidget(chkSynchronizeXMP);
  xmp->addWidget(chkRemoveXMP);
  xmp->addStretch(1);
  auto* frames = new QHBoxLayout;
  frames->setSpacing(6);
  frames->addWidget(Frame2, 1);
  frames->addWidget(Frame3, 1);
  grid->addLayout(frames, row++, 0, 1, 3);
  gap();
  grid->addWidget(chkAutomatic, row++, 0, 1, 3, Qt::AlignLeft);

  // The waiting display, the Exit button under its count, and the Run button beside both.
  auto* run = new QGridLayout;
  run->setHorizontalSpacing(6);
  run->setVerticalSpacing(4);
  run->setColumnStretch(0, 1);
  run->addWidget(ProgressBarAttente, 0, 0, Qt::AlignTop);
  run->addWidget(lblMaxAttente, 0, 1, Qt::AlignTop);
  run->addWidget(cmdQuit, 1, 1, Qt::AlignTop);
  run->addWidget(cmdRun, 0, 2, 2, 1);
  cmdRun->setFixedSize(61, 61);
  lblMaxAttente->setMinimumWidth(QFontMetrics(client->font()).horizontalAdvance("32000 sec.") + 4);
  cmdQuit->setMinimumWidth(lblMaxAttente->minimumWidth());
  grid->addLayout(run, row++, 0, 1, 3);
}

void frmQuillmark::PlaceGuide() {
  // Each hint lies over its row's path, and each connector runs from it to the control it points at.
  const auto place = [](QLabel* hint, QPoint at, int max_width) {
    const QSize wanted = hint->sizeHint();
    hint->setGeometry(QRect(at, QSize(std::min(wanted.width(), std::max(max_width, 40)), wanted.height())));
  };
  const auto connect_line = [](GuideLine* line, QPoint from, QPoint to) { line->SetPoints(from, to); };
  for (int step = 0; step < 2; ++step) {
    const int i = step == 0 ? 0 : 2;
    const QRect path = lblFolder[i]->geometry();
    const QRect browse = cmdBrowse[i]->geometry();
    QLabel* first = lblBulle[i];
    QLabel* second = lblBulle[i + 1];
    place(first, path.topLeft() + QPoint(16, 2), browse.left() - 12 - path.left() - 16);
    place(second, first->geometry().bottomLeft() + QPoint(std::min(52, path.width() / 6), 2),
          browse.left() - 12 - path.left() - 68);
    connect_line(LineBulle[i], {first->geometry().right(), first->geometry().center().y()},
                 {browse.left(), browse.center().y()});
    const QRect below = step == 0 ? Frame1->geometry() : Frame2->geometry();
    const int x = second->geometry().center().x();
    connect_line(LineBulle[i + 1], {x, second->geometry().bottom()},
                 {std::clamp(x, below.left() + 8, below.right() - 8), below.top() + 6});
  }
  // On to the XMP frame beside its title, clear of Clear output folder above it.
  const QRect xmp = Frame3->geometry();
  const int x = std::min(xmp.left() + 80, cmdClearOutput->geometry().left() - 6);
  connect_line(LineBulle[4], {x, lblBulle[3]->geometry().bottom()},
               {std::max(x, xmp.left() + 8), xmp.top() + 6});
  // The run step, right of the automatic option and above the Run button.
  const QRect run = cmdRun->geometry();
  const QSize wanted = lblBulle[5]->sizeHint();
  const QRect automatic = chkAutomatic->geometry();
  lblBulle[5]->setGeometry(
      QRect(QPoint(run.right() - wanted.width(), automatic.center().y() - wanted.height() / 2), wanted));
  connect_line(LineBulle[5], {run.center().x(), lblBulle[5]->geometry().bottom()},
               {run.center().x(), run.top()});
  for (QLabel* hint : lblBulle) {
    if (hint != nullptr) hint->raise();
  }
}

void frmQuillmark::RestorePlace() {
  // The first size holds every control without scrolling, whatever the desktop's font.
  const QSize content = centralWidget()->findChild<QWidget*>("client")->sizeHint();
  const QSize needed(content.width(),
                     content.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  QSize size = kDefaultSize.expandedTo(needed);
  // A screen too low for it: room for the scroll bar beside the controls, so that they need no other.
  const QScreen* shown_on = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (shown_on != nullptr && size.height() + 40 > shown_on->availableGeometry().height()) {
    size.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
  }
  RestoreWindowPlace(this, app::ReadSetting(state_, kWindowSection, "Main"), size);
}

void frmQuillmark::BuildMenus() {
  mnuFile = menuBar()->addMenu("&File");
  mnuFile->setObjectName("mnuFile");
  mnuActivity = mnuFile->addAction("&Activity");
  mnuActivity->setObjectName("mnuActivity");
  mnuFile->addSeparator();
  mnuExit = mnuFile->addAction("&Exit");
  mnuExit->setObjectName("mnuExit");

  mnuOptions = menuBar()->addMenu("&Options");
  mnuOptions->setObjectName("mnuOptions");
  mnuWaitTime = mnuOptions->addAction("Set scan &time interval...");
  mnuWaitTime->setObjectName("mnuWaitTime");

  mnuAide = menuBar()->addMenu("&?");
  mnuAide->setObjectName("mnuAide");
  mnuHelp = mnuAide->addAction("Help");
  mnuHelp->setObjectName("mnuHelp");
  mnuHelp->setShortcut(QKeySequence(Qt::Key_F1));
  mnuAbout = mnuAide->addAction("&About...");
  mnuAbout->setObjectName("mnuAbout");
}

void frmQuillmark::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  auto* panels = new QWidget(bar);
  auto* layout = new QHBoxLayout(panels);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (int i = 0; i < 2; ++i) {
    // Each panel takes half the room the marker leaves; a click on it opens the activity view.
    Panels[i] = Make<QLabel>(panels, QString("Panels(%1)").arg(i + 1));
    Panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panels[i]->setMinimumWidth(0);
    Panels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    Panels[i]->installEventFilter(this);
    layout->addWidget(Panels[i], 1);
  }
  // Shown only when there is something to tell, so that the two texts keep their room otherwise.
  Panels3 = Make<QToolButton>(panels, "Panels(3)");
  Panels3->setAutoRaise(true);
  Panels3->setFocusPolicy(Qt::NoFocus);  // the File menu is the keyboard's way to the activity view
  Panels3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  Panels3->setIconSize(QSize(12, 12));
  Panels3->hide();
  layout->addWidget(Panels3);
  bar->addPermanentWidget(panels, 1);  // never covered by a passing status tip
}

void frmQuillmark::ConnectHandlers() {
  for (int i = 0; i < 3; ++i) {
    connect(cmdBrowse[i], &QPushButton::clicked, this, [this, i] { cmdBrowse_Click(i); });
    connect(cmdFiles[i], &QPushButton::clicked, this, [this, i] { cmdFiles_Click(i); });
    // clicked, not toggled: selecting a button from the core must not run the handler again.
    connect(optAccents[i], &QRadioButton::clicked, this, [this, i](bool checked) {
      if (checked) app::optAccents_Click(state_, *this, i);
    });
  }
  for (int i = 0; i < 2; ++i) {
    connect(optUseArchive[i], &QRadioButton::clicked, this, [this, i](bool checked) {
      if (checked) app::optUseArchive_Click(state_, *this, i);
    });
  }
  connect(chkAutomatic, &QCheckBox::clicked, this,
          [this](bool checked) { app::chkAutomatic_Click(state_, *this, checked); });
  connect(chkSynchronizeXMP, &QCheckBox::clicked, this,
          [this](bool checked) { app::chkSynchronizeXMP_Click(state_, *this, checked); });
  connect(chkRemoveXMP, &QCheckBox::clicked, this,
          [this](bool checked) { app::chkRemoveXMP_Click(state_, *this, checked); });

  connect(cmdRun, &QPushButton::clicked, this, [this] { app::cmdRun_Click(state_, *this); });
  connect(cmdReprocess, &QPushButton::clicked, this,
          [this] { RunFolderCommand(&app::cmdReprocess_Click, "archive"); });
  connect(cmdClearOutput, &QPushButton::clicked, this,
          [this] { RunFolderCommand(&app::cmdClearOutput_Click, "output"); });
  connect(Timer1, &QTimer::timeout, this, [this] { app::Timer1_Timer(state_, *this); });

  connect(cmdQuit, &QPushButton::clicked, this, &QWidget::close);
  connect(mnuExit, &QAction::triggered, this, &QWidget::close);
  connect(mnuWaitTime, &QAction::triggered, this, &frmQuillmark::mnuWaitTime_Click);
  connect(mnuAbout, &QAction::triggered, this, &frmQuillmark::mnuAbout_Click);
  connect(mnuHelp, &QAction::triggered, this, &frmQuillmark::mnuHelp_Click);
  connect(mnuActivity, &QAction::triggered, this, &frmQuillmark::mnuActivity_Click);
  connect(Panels3, &QToolButton::clicked, this, &frmQuillmark::mnuActivity_Click);
#ifndef QT_NO_SESSIONMANAGER
  connect(qApp, &QGuiApplication::commitDataRequest, this, &frmQuillmark::CommitData);
#endif
}

void frmQuillmark::SetTabOrder() {
  // Top to bottom, then left to right, as the rows read: the after-process choice before the archive row.
  const QList<QWidget*> order = {
      cmdBrowse[0],  cmdFiles[0],       optUseArchive[0], optUseArchive[1], cmdBrowse[1],  cmdFiles[1],
      cmdReprocess,  cmdBrowse[2],      cmdFiles[2],      cmdClearOutput,   optAccents[0], optAccents[1],
      optAccents[2], chkSynchronizeXMP, chkRemoveXMP,     chkAutomatic,     cmdRun,        cmdQuit};
  for (int i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void frmQuillmark::cmdBrowse_Click(int index) {
  state_.FolderIndex = static_cast<std::int16_t>(index);
  frmDossier chooser(state_, *this, this);
  chooser.exec();
}

void frmQuillmark::cmdFiles_Click(int index) {
  state_.FolderIndex = static_cast<std::int16_t>(index);
  ShowInspector(state_, this);
}

void frmQuillmark::mnuWaitTime_Click() {
  frmTempo dialog(state_, *this, this);
  dialog.exec();
}

void frmQuillmark::mnuAbout_Click() {
  frmAbout about(state_, app::HelpFilePath(program_folder_), this);
  about.exec();
}

void frmQuillmark::mnuHelp_Click() {
  if (const auto page = app::mnuHelp_Click(state_, *this, program_folder_)) {
    ShellOpenOrTell(QString::fromStdString(page->string()), this, app::AppTitle(state_));
  }
}

void frmQuillmark::mnuActivity_Click() {
  if (!activity_->isVisible()) {
    // Over the main window, within its screen.
    QRect place = activity_->frameGeometry();
    place.moveCenter(frameGeometry().center());
    if (const QScreen* screen = this->screen()) {
      const QRect room = screen->availableGeometry();
      // Never larger than the screen, at any scale.
      activity_->resize(activity_->size().boundedTo(room.size() - QSize(16, 40)));
      place.setSize(activity_->frameGeometry().size());
      place.moveCenter(frameGeometry().center());
      place.moveLeft(
          std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
      place.moveTop(
          std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height())));
    }
    activity_->move(place.topLeft());
  }
  activity_->show();
  activity_->raise();
  activity_->activateWindow();
}

void frmQuillmark::RunFolderCommand(void (*command)(app::AppState&, app::MainView&),
                                    const char* kept_folder) {
  const char* const before = kept_folder_;
  kept_folder_ = kept_folder;
  command(state_, *this);
  kept_folder_ = before;
}

void frmQuillmark::LoadHistory() {
  if (!log_) return;
  app::RotateLog(log_->Path(), app::kWindowLogRotateBytes);
  const std::vector<app::LoggedEntry> entries = app::ReadLatestEntries(log_->Path(), frmActivity::kMaxRows);
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    app::AppState::EntryReport report = entry->Report;
    const QDateTime time = QDateTime::fromString(FromUtf8(entry->Time), Qt::ISODateWithMs);
    if (time.isValid()) {
      report.Time =
          std::chrono::system_clock::time_point(std::chrono::milliseconds(time.toMSecsSinceEpoch()));
    }
    activity_->AddEntry(report, kInputFolder, FileOf(report, kInputFolder));
  }
}

FileLocation frmQuillmark::FileOf(const app::AppState::EntryReport& report,
                                  std::string_view kept_folder) const {
  // A kept file stays in its folder; a written one has its output; one put back is in the input folder.
  int index = -1;
  if (report.Fate == app::AppState::EntryFate::kKept) {
    index = kept_folder == "archive" ? 1 : kept_folder == "output" ? 2 : 0;
  } else if (report.OutputWritten) {
    index = 2;
  } else if (report.Fate == app::AppState::EntryFate::kMovedToInput) {
    index = 0;
  }
  if (index < 0) return {};
  return {index, app::FolderOfRow(state_, index)};
}

void frmQuillmark::OnEntry(const app::AppState::EntryReport& report) {
  if (log_) {
    // Counted as the command line's log counts them; a failed line is not told: the activity view has it.
    scan_counts_.Written += report.OutputWritten;
    scan_counts_.Archived += report.Fate == app::AppState::EntryFate::kArchived;
    scan_counts_.Deleted += report.Fate == app::AppState::EntryFate::kDeleted;
    scan_counts_.Repeated += report.Repeat;
    scan_counts_.Kept += !report.Repeat && report.Fate == app::AppState::EntryFate::kKept;
    if (!report.Repeat) log_->Entry(report, state_.Now());
  }
  // A packet that does not parse is told on its file's row, with the parser's words on hover.
  activity_->AddEntry(report, kept_folder_, FileOf(report, kept_folder_),
                      std::exchange(pending_details_, {}));
  if (kept_folder_ == kInputFolder && report.Fate == app::AppState::EntryFate::kKept) {
    scan_kept_.push_back(ShownName(report.Name) + ": " + FromUtf8(report.Reason));
  }
}

void frmQuillmark::ShowActivityMarker() {
  const std::size_t kept = latest_kept_.size();
  QStringList tip;
  if (unseen_messages_ > 0) {
    tip.push_back(
        unseen_messages_ == 1
            ? QString("A message arrived during the run: click to read it.")
            : QString("%1 messages arrived during the run: click to read them.").arg(unseen_messages_));
  }
  if (kept > 0) {
    tip.push_back(QString("The latest scan kept %1 in the input folder:")
                      .arg(kept == 1 ? "1 file" : QString("%1 files").arg(kept)));
    for (std::size_t i = 0; i < kept && i < kKeptShown; ++i) tip.push_back(latest_kept_[i]);
    if (kept > kKeptShown) tip.push_back(QString("and %1 more (File > Activity)").arg(kept - kKeptShown));
  }
  Panels3->setText(kept > 0 ? QString("Kept: %1").arg(kept) : QString());
  Panels3->setIcon(unseen_messages_ > 0 ? style()->standardIcon(QStyle::SP_MessageBoxWarning) : QIcon());
  Panels3->setToolTip(tip.join('\n'));
  Panels3->setVisible(!tip.isEmpty());
}

bool frmQuillmark::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Frame1->parentWidget() &&
      (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
    // After the layout has placed the controls.
    QMetaObject::invokeMethod(this, &frmQuillmark::PlaceGuide, Qt::QueuedConnection);
  }
  if (event->type() == QEvent::MouseButtonRelease && (watched == Panels[0] || watched == Panels[1])) {
    mnuActivity_Click();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

bool frmQuillmark::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // Queued, so the window is drawn before an automatic run's first scan; the core acts on the first
  // activation only. Shown counts as activated: a desktop that keeps the focus elsewhere (or has no window
  // manager, as a kiosk desk) would otherwise never start the run.
  if (event->type() == QEvent::WindowActivate || (event->type() == QEvent::Show && !event->spontaneous())) {
    QMetaObject::invokeMethod(
        this, [this] { app::Form_Activate(state_, *this); }, Qt::QueuedConnection);
  }
  return handled;
}

void frmQuillmark::closeEvent(QCloseEvent* event) {
  if (!quit_confirmed_ && app::Form_QueryUnload(state_, *this)) {
    event->ignore();
    return;
  }
  event->accept();
  app::WriteSetting(state_, kWindowSection, "Main", WindowPlaceSetting(this));
  // A scan in progress (this close came between two of its images) stops after its current image.
  state_.Closing = true;
  Timer1->stop();
  emit Unloaded();
}

void frmQuillmark::CommitData(QSessionManager& manager) {
  // The session is ending: ask now, while the session manager lets us, and do not ask again when it closes
  // the window.
  if (!manager.allowsInteraction()) return;
  const bool cancel = app::Form_QueryUnload(state_, *this);
  manager.release();
  if (cancel) {
    manager.cancel();
  } else {
    quit_confirmed_ = true;
  }
}

QWidget* frmQuillmark::Widget(Control control) const {
  switch (control) {
    case Control::cmdRun:
      return cmdRun;
    case Control::cmdQuit:
      return cmdQuit;
    case Control::mnuExit:
    case Control::mnuWaitTime:
      return nullptr;
    case Control::cmdReprocess:
      return cmdReprocess;
    case Control::cmdClearOutput:
      return cmdClearOutput;
    case Control::optUseArchive0:
    case Control::optUseArchive1:
      return optUseArchive[static_cast<int>(control) - static_cast<int>(Control::optUseArchive0)];
    case Control::chkAutomatic:
      return chkAutomatic;
    case Control::chkSynchronizeXMP:
      return chkSynchronizeXMP;
    case Control::chkRemoveXMP:
      return chkRemoveXMP;
    case Control::lblMaxAttente:
      return lblMaxAttente;
    case Control::lblBulle5:
      return lblBulle[5];
    default:
      break;
  }
  const auto row = [control](Control first, int rows) {
    const int offset = static_cast<int>(control) - static_cast<int>(first);
    return offset >= 0 && offset < rows ? offset : -1;
  };
  if (const int i = row(Control::cmdBrowse0, 3); i >= 0) return cmdBrowse[i];
  if (const int i = row(Control::cmdFiles0, 3); i >= 0) return cmdFiles[i];
  if (const int i = row(Control::lbllblFolder0, 3); i >= 0) return lbllblFolder[i];
  if (const int i = row(Control::lblFolder0, 3); i >= 0) return lblFolder[i];
  if (const int i = row(Control::optAccents0, 3); i >= 0) return optAccents[i];
  if (const int i = row(Control::lblBulle0, 4); i >= 0) return lblBulle[i];
  if (const int i = row(Control::LineBulle0, 6); i >= 0) return LineBulle[i];
  if (const int i = row(Control::txtXMP0, 2); i >= 0) return txtXMP[i];
  if (const int i = row(Control::lblLentxtXMP0, 2); i >= 0) return lblLentxtXMP[i];
  return nullptr;
}

QAction* frmQuillmark::Action(Control control) const {
  if (control == Control::mnuExit) return mnuExit;
  if (control == Control::mnuWaitTime) return mnuWaitTime;
  return nullptr;
}

app::Answer frmQuillmark::ShowMessage(const app::Message& message) {
  // A run's scans go on unattended, by a start at the window's opening or by hand: a box would hold the next
  // image until someone came by. A click handled between two of its images (yielding_ > 0) is answered in a
  // box, as is every question.
  // An automatic start waits for no click either.
  if (message.Buttons == app::MessageButtons::kOk &&
      (state_.AutomaticStart || (state_.Running && state_.FolderOperation && yielding_ == 0))) {
    if (message.Title == app::kProgramName && message.Text.starts_with("Parsing error:\n")) {
      pending_details_ = message.Details;  // the file's row, which comes next, tells it
      return app::Answer::kOk;
    }
    activity_->AddMessage(message);
    if (!activity_->isVisible()) ++unseen_messages_;
    ShowActivityMarker();
    return app::Answer::kOk;
  }
  QWidget* parent = QApplication::activeModalWidget();
  if (parent == nullptr && isVisible()) parent = this;
  return MessageBox::Show(parent, message);
}

void frmQuillmark::Beep() { MessageBox::Beep(); }

void frmQuillmark::SetEnabled(Control control, bool enabled) {
  if (QAction* action = Action(control)) action->setEnabled(enabled);
  if (QWidget* widget = Widget(control)) widget->setEnabled(enabled);
  if (control == Control::lblFolder1) MarkSharedFolders();  // the archive option changed
}

void frmQuillmark::SetVisible(Control control, bool visible) {
  if (QAction* action = Action(control)) action->setVisible(visible);
  QWidget* widget = Widget(control);
  if (widget == nullptr) return;
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget); edit != nullptr && visible) {
    edit->setPlainText(xmp_views_[control == Control::txtXMP0 ? 0 : 1]);
  }
  widget->setVisible(visible);
}

void frmQuillmark::MarkSharedFolders() {
  // The rows a run or a folder command would refuse, marked as soon as they share a folder.
  static const char* const kWhat[] = {"input", "archive", "output"};
  const std::string folders[] = {state_.InputFolder, state_.UseArchive ? state_.ArchiveFolder : std::string(),
                                 state_.OutputFolder};
  for (int i = 0; i < 3; ++i) {
    QStringList shared;
    for (int j = 0; j < 3; ++j) {
      if (j == i || folders[i].empty() || !app::SameFolder(folders[i], folders[j])) continue;
      shared << QString(
                    "The %1 folder is also the %2 folder: Run, Clear output folder and Re-process archive "
                    "folder refuse to start until one of them is changed.")
                    .arg(kWhat[i], kWhat[j]);
    }
    lblFolder[i]->SetWarning(shared.join('\n'));
  }
}

void frmQuillmark::SetCaption(Control control, std::string_view text) {
  QWidget* widget = Widget(control);
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(FromUtf8(text));
    if (dynamic_cast<PathLabel*>(label) != nullptr) MarkSharedFolders();
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
    // The packet views stay hidden; laying out a packet for each image would cost more than processing it.
    const int i = control == Control::txtXMP0 ? 0 : 1;
    xmp_views_[i] = FromUtf8(text);
    if (edit->isVisibleTo(this)) edit->setPlainText(xmp_views_[i]);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(FromUtf8(text));
  } else if (QAction* action = Action(control)) {
    action->setText(FromUtf8(text));
  }
}

void frmQuillmark::SetChecked(Control control, bool checked) {
  auto* button = qobject_cast<QAbstractButton*>(Widget(control));
  if (button == nullptr) return;
  // setChecked emits toggled only, never clicked, so no handler runs. An exclusive option button cannot be
  // cleared while it is exclusive.
  const bool exclusive = button->autoExclusive();
  if (!checked) button->setAutoExclusive(false);
  button->setChecked(checked);
  button->setAutoExclusive(exclusive);
  // Tab enters a group of option buttons at its selected one, as a click leaves it; the first when none is.
  if (qobject_cast<QRadioButton*>(button) == nullptr) return;
  const QList<QRadioButton*> group = button->parentWidget()->findChildren<QRadioButton*>();
  const bool any =
      std::any_of(group.begin(), group.end(), [](const QRadioButton* b) { return b->isChecked(); });
  for (QRadioButton* option : group) {
    option->setFocusPolicy(option->isChecked() || (!any && option == group.front()) ? Qt::StrongFocus
                                                                                    : Qt::ClickFocus);
  }
}

void frmQuillmark::SetWindowCaption(std::string_view text) { setWindowTitle(FromUtf8(text)); }

void frmQuillmark::SetStatusText(int panel, std::string_view text) {
  if (panel != 1 && panel != 2) return;
  Panels[panel - 1]->setText(FromUtf8(text));
  if (panel != 2) return;
  if (log_ && !text.empty()) {
    // An idle hot folder's scans would push the entries out of the log: a scan that met nothing is not
    // logged.
    scan_counts_.Processed = state_.ScanProcessed;
    const app::ScanCounts& c = scan_counts_;
    if (c.Processed + c.Kept + c.Repeated + c.Archived + c.Deleted > 0)
      log_->Scan(scan_counts_, state_.Now());
    scan_counts_ = {};
    app::RotateLog(log_->Path(), app::kWindowLogRotateBytes);
  }
  // The scan's last word, or the Run command emptying the panels.
  latest_kept_ = text.empty() ? std::vector<QString>() : std::move(scan_kept_);
  scan_kept_.clear();
  ShowActivityMarker();
}

void frmQuillmark::SetProgressValue(int value) { ProgressBarAttente->setValue(value); }

void frmQuillmark::SetProgressMaximum(int maximum) { ProgressBarAttente->setMaximum(maximum); }

void frmQuillmark::SetRunFace(app::RunFace face) {
  const bool idle = face == app::RunFace::kIdle;
  cmdRun->setIcon(QIcon(idle ? Picture1->pixmap() : Picture2->pixmap()));
  cmdRun->setToolTip(idle ? "Process images" : QString());
}

void frmQuillmark::SetTimerInterval(int milliseconds) {
  Timer1->setInterval(milliseconds);
  SetTimerEnabled(timer_enabled_);
}

void frmQuillmark::SetTimerEnabled(bool enabled) {
  timer_enabled_ = enabled;
  // An interval of 0 means silent, as before the first run; a QTimer would fire at every turn of the loop.
  if (enabled && Timer1->interval() > 0) {
    if (!Timer1->isActive()) Timer1->start();
  } else {
    Timer1->stop();
  }
}

void frmQuillmark::ProcessPendingEvents() {
  ++yielding_;
  QCoreApplication::processEvents();
  --yielding_;
}

}  // namespace qm::ui
