#include "ui/activity_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <deque>

#include "app/entry_text.h"
#include "ui/artwork.h"
#include "ui/form_layout.h"
#include "ui/shell_helpers.h"

namespace qm::ui {

using EntryFate = app::AppState::EntryFate;

enum class RowKind { kDone, kKept, kMessage };

struct ActivityRow {
  QString Time;
  QString Name;
  QString Result;
  QString Reason;
  QString Whole;  // a message's whole text, or an entry's reason with its details, for its tooltip and copy
  RowKind Kind = RowKind::kDone;
  // Where the entry's file is: the main window's folder row (-1: none), that folder, and the file's name.
  int FolderIndex = -1;
  std::string Folder;
  std::string FileName;
};

namespace {

QString Stamp(std::chrono::system_clock::time_point time) {
  if (time == std::chrono::system_clock::time_point{}) time = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
  return QDateTime::fromMSecsSinceEpoch(ms).toString("MM/dd hh:mm:ss");
}

QString Result(const app::AppState::EntryReport& report, std::string_view kept_folder) {
  return FromUtf8(app::FateText(report, kept_folder));
}

// A long message shows its beginning on its row; the whole text is in the tooltip and in a copy.
constexpr int kRowTextLength = 300;
constexpr int kWholeTextLength = 4000;

QString Shortened(const QString& text, int length) {
  return text.size() <= length ? text : text.left(length - 1) + QChar(0x2026);
}

}  // namespace

// The rows, newest first, in a deque so that adding at the top and dropping the oldest cost nothing. New rows
// wait until Flush, so that a view on the screen takes a scan's rows a few times a second rather than one by
// one, which would cost it milliseconds a row.
class ActivityLog : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Queue(ActivityRow row) {
    pending_.push_back(std::move(row));
    if (pending_.size() > kKept) pending_.pop_front();
  }
  void Flush() {
    if (pending_.empty()) return;
    beginInsertRows({}, 0, static_cast<int>(pending_.size()) - 1);
    for (ActivityRow& row : pending_) rows_.push_front(std::move(row));
    endInsertRows();
    pending_.clear();
    if (rows_.size() <= kKept) return;
    beginRemoveRows({}, static_cast<int>(kKept), static_cast<int>(rows_.size()) - 1);
    rows_.resize(kKept);
    endRemoveRows();
  }
  const ActivityRow& Row(int row) const { return rows_[static_cast<std::size_t>(row)]; }

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount({})) return {};
    const ActivityRow& row = Row(index.row());
    const QString* const columns[] = {&row.Time, &row.Name, &row.Result, &row.Reason};
    if (role == Qt::DisplayRole) return *columns[index.column()];
    if (role == Qt::ToolTipRole) return !row.Whole.isEmpty() ? row.Whole : *columns[index.column()];
    if (role == Qt::DecorationRole && index.column() == 2) return Icon(row.Kind);
    return {};
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const titles[] = {"Time", "File", "Result", "Why"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
    return QString(titles[section]);
  }

 private:
  // Every row has an icon, so that the results line up: a kept file warns, a message informs, the rest is
  // blank.
  QIcon Icon(RowKind kind) const {
    if (kind == RowKind::kKept) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    if (kind == RowKind::kMessage)
      return QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    if (blank_.isNull()) {
      QPixmap blank(16, 16);
      blank.fill(Qt::transparent);
      blank_ = QIcon(blank);
    }
    return blank_;
  }

  static constexpr std::size_t kKept = frmActivity::kMaxRows;
  std::deque<ActivityRow> rows_;
  std::deque<ActivityRow> pending_;
  mutable QIcon blank_;
};

QString ShownName(std::string_view name) { return FromUtf8(app::PrintableName(name)); }

frmActivity::frmActivity(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmActivity");
  setWindowTitle("Quillmark - Activity");
  setWindowIcon(ProgramIcon());
  setFont(FormFont());

  log_ = new ActivityLog(this);
  flush_ = new QTimer(this);
  flush_->setSingleShot(true);
  flush_->setInterval(250);
  connect(flush_, &QTimer::timeout, this, [this] { log_->Flush(); });
  lstActivity = new QTreeView(this);
  lstActivity->setObjectName("lstActivity");
  lstActivity->setModel(log_);
  lstActivity->setRootIsDecorated(false);
  lstActivity->setUniformRowHeights(true);  // a thousand rows lay out at once
  lstActivity->setAlternatingRowColors(true);
  lstActivity->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstActivity->setSelectionBehavior(QAbstractItemView::SelectRows);
  const QFontMetrics metrics(font());
  lstActivity->setColumnWidth(0, metrics.horizontalAdvance("00/00 00:00:00") + 32);
  lstActivity->setColumnWidth(1, metrics.horizontalAdvance("DESK_20261206_0001.jpg") + 16);
  lstActivity->setColumnWidth(2, metrics.horizontalAdvance("not written, kept in the input folder") + 40);

  lblActivity = new QLabel(this);
  lblActivity->setObjectName("lblActivity");
  cmdCopy = new QPushButton("&Copy", this);
  cmdCopy->setObjectName("cmdCopy");
  cmdClose = new QPushButton("Close", this);
  cmdClose->setObjectName("cmdClose");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(lblActivity, 1);
  buttons->addWidget(cmdCopy);
  buttons->addWidget(cmdClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lstActivity, 1);
  layout->addLayout(buttons);
  resize(900, 340);
  ShowCounts();

  lstActivity->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(lstActivity, &QWidget::customContextMenuRequested, this, &frmActivity::ShowRowMenu);
  // A double-click, and Enter, show the row's file in the inspector.
  connect(lstActivity, &QAbstractItemView::activated, this,
          [this](const QModelIndex& index) { ShowInInspector(index.row()); });
  connect(cmdCopy, &QPushButton::clicked, this, &frmActivity::cmdCopy_Click);
  connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
  connect(new QShortcut(QKeySequence::Copy, lstActivity, nullptr, nullptr, Qt::WidgetShortcut),
          &QShortcut::activated, this, &frmActivity::cmdCopy_Click);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

void frmActivity::AddEntry(const app::AppState::EntryReport& report, std::string_view kept_folder,
                           FileLocation location, std::string_view details) {
  if (report.Repeat) {
    ++repeats_;
    ShowCounts();
    return;
  }
  ActivityRow row;
  row.Time = Stamp(report.Time);
  row.Name = ShownName(report.Name);
  row.Result = Result(report, kept_folder);
  row.Reason = ShownName(report.Reason);  // a reason may name a file, printed as names are
  if (!details.empty()) row.Whole = Shortened(row.Reason + "\n" + FromUtf8(details), kWholeTextLength);
  row.Kind = report.Fate == EntryFate::kKept ? RowKind::kKept : RowKind::kDone;
  row.FolderIndex = location.FolderIndex;
  row.Folder = std::move(location.Folder);
  row.FileName = report.Name;
  Queue(std::move(row));
}

void frmActivity::AddMessage(const app::Message& message) {
  ActivityRow row;
  row.Time = Stamp({});
  row.Result = "message";
  QString whole = FromUtf8(message.Text);
  if (!message.Details.empty()) whole += "\n" + FromUtf8(message.Details);
  row.Whole = Shortened(whole, kWholeTextLength);
  row.Reason = Shortened(QString(whole).replace('\n', " / "), kRowTextLength);
  row.Kind = RowKind::kMessage;
  Queue(std::move(row));
}

void frmActivity::Queue(ActivityRow row) {
  log_->Queue(std::move(row));
  if (!flush_->isActive()) flush_->start();
}

int frmActivity::RowCount() const {
  log_->Flush();
  return log_->rowCount({});
}

QString frmActivity::RowText(int row) const {
  log_->Flush();
  const ActivityRow& r = log_->Row(row);
  const QString reason = !r.Whole.isEmpty() ? QString(r.Whole).replace('\n', " / ") : r.Reason;
  return QStringList{r.Time, r.Name, r.Result, reason}.join('\t');
}

void frmActivity::cmdCopy_Click() {
  QList<int> rows;
  for (const QModelIndex& index : lstActivity->selectionModel()->selectedRows()) rows.push_back(index.row());
  if (rows.isEmpty()) {
    for (int row = 0; row < RowCount(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  QString text;
  for (const int row : rows) text += RowText(row) + "\n";
  QGuiApplication::clipboard()->setText(text);
}

std::string frmActivity::RowPath(int row) const {
  log_->Flush();
  if (row < 0 || row >= log_->rowCount({})) return {};
  const ActivityRow& r = log_->Row(row);
  if (r.FolderIndex < 0 || r.Folder.empty()) return {};
  return r.Folder + r.FileName;
}

void frmActivity::OpenContainingFolder(int row) {
  const std::string path = RowPath(row);
  if (path.empty()) return;
  const std::string& folder = log_->Row(row).Folder;
  ShellOpenOrTell(QDir::toNativeSeparators(FromUtf8(folder)), this, "Quillmark");
}

void frmActivity::ShowInInspector(int row) {
  if (RowPath(row).empty() || !OnInspect) return;
  const ActivityRow& r = log_->Row(row);
  OnInspect(r.FolderIndex, r.FileName);
}

void frmActivity::CopyPath(int row) {
  const std::string path = RowPath(row);
  if (!path.empty()) QGuiApplication::clipboard()->setText(QDir::toNativeSeparators(FromUtf8(path)));
}

void frmActivity::ShowRowMenu(const QPoint& position) {
  const QModelIndex index = lstActivity->indexAt(position);
  const int row = index.isValid() ? index.row() : lstActivity->currentIndex().row();
  if (RowPath(row).empty()) return;
  QMenu menu(this);
  menu.setObjectName("mnuRow");
  menu.addAction("Show in the &inspector", this, [this, row] { ShowInInspector(row); });
  menu.addAction("&Open the containing folder", this, [this, row] { OpenContainingFolder(row); });
  menu.addAction("Copy the &path", this, [this, row] { CopyPath(row); });
  menu.exec(lstActivity->viewport()->mapToGlobal(position));
}

void frmActivity::showEvent(QShowEvent* event) {
  log_->Flush();
  QWidget::showEvent(event);
  if (OnShown) OnShown();
}

void frmActivity::ShowCounts() {
  QString text = QString("Newest first; the latest %1 are kept.").arg(QLocale().toString(kMaxRows));
  if (repeats_ > 0) {
    text += QString(" %1 repeated %2 of files already listed %3 not listed again.")
                .arg(QLocale().toString(repeats_), repeats_ == 1 ? "report" : "reports",
                     repeats_ == 1 ? "is" : "are");
  }
  lblActivity->setText(text);
}

}  // namespace qm::ui
