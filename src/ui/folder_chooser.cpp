#include "ui/folder_chooser.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <string>
#include <vector>

#include "app/folder_choice.h"
#include "ui/form_layout.h"
#include "ui/path_label.h"

namespace qm::ui {
namespace {

// Shows the chosen directory the way the classic directory list showed its current one: an open folder, in
// bold.
class CurrentDirectoryDelegate : public QStyledItemDelegate {
 public:
  CurrentDirectoryDelegate(const QString* current, QObject* parent)
      : QStyledItemDelegate(parent), current_(current) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const auto* model = qobject_cast<const QFileSystemModel*>(index.model());
    if (model == nullptr || model->filePath(index) != *current_) return;
    option->font.setBold(true);
    // An open folder in place of the closed one, where the desktop has both pictures.
    if (option->icon.isNull() || option->widget == nullptr) return;
    const QIcon open = option->widget->style()->standardIcon(QStyle::SP_DirOpenIcon);
    if (!open.pixmap(option->decorationSize).isNull()) option->icon = open;
  }

 private:
  const QString* current_;
};

// Volumes a user keeps folders on: real, ready file systems, not the kernel's own.
QList<QStorageInfo> UsableVolumes() {
  QList<QStorageInfo> volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const QByteArray type = volume.fileSystemType();
    if (type == "proc" || type == "sysfs" || type == "devtmpfs" || type == "cgroup" || type == "cgroup2" ||
        type == "squashfs" || type == "devpts" || type == "mqueue" || type == "debugfs") {
      continue;
    }
    volumes.push_back(volume);
  }
  return volumes;
}

QString VolumeCaption(const QStorageInfo& volume) {
  const QString root = QDir::toNativeSeparators(volume.rootPath());
  const QString name = volume.displayName();
  return name.isEmpty() || name == volume.rootPath() ? root : QString("%1   [%2]").arg(root, name);
}

}  // namespace

frmDossier::frmDossier(app::AppState& state, app::MainView& view, QWidget* parent)
    : QDialog(parent), state_(state), view_(view) {
  setObjectName("frmDossier");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setWindowTitle(FromUtf8(app::FolderChooserTitle(state.FolderIndex)));

  lblSelectDrive = new QLabel("drive", this);
  lblSelectDrive->setObjectName("lblSelectDrive");
  PlaceTwips(lblSelectDrive, 255, 120, 345, 195);

  drvList = new QComboBox(this);
  drvList->setObjectName("drvList");
  PlaceTwips(drvList, 720, 120, 4815, 315);
  for (const QStorageInfo& volume : UsableVolumes()) {
    volume_roots_.push_back(volume.rootPath());
    drvList->addItem(VolumeCaption(volume), volume.rootPath());
  }

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
  model_->setRootPath(QString());
  dirList = new QTreeView(this);
  dirList->setObjectName("dirList");
  dirList->setModel(model_);
  dirList->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column) dirList->hideColumn(column);
  dirList->setItemDelegate(new CurrentDirectoryDelegate(&current_directory_, dirList));
  // A double-click opens a folder, as Enter does (activated below); a toggle would close it again.
  dirList->setExpandsOnDoubleClick(false);
  PlaceTwips(dirList, 120, 480, 5415, 3615);

  lblChoice = new PathLabel(this);
  lblChoice->setObjectName("lblChoice");
  PlaceTwips(lblChoice, 120, 4155, 5415, 300);

  cmdOK = new QPushButton("&OK", this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  PlaceTwips(cmdOK, 720, 4560, 1572, 375);
  cmdAnnuler = new QPushButton("&Cancel", this);
  cmdAnnuler->setObjectName("cmdAnnuler");
  PlaceTwips(cmdAnnuler, 3360, 4560, 1572, 375);

  FitFormFont(this);
  FixTwipsSize(this, 5655, 5010);
  dirList->setFocus();

  // The lists start at the row's folder, or at the process's current directory when it cannot be shown.
  const std::string folder = app::FolderOfRow(state_, state_.FolderIndex);
  if (folder.empty() || !OpenDirectory(FromUtf8(folder))) OpenDirectory(QDir::currentPath());

  // The tree fills and sorts itself in the background: keep the current directory in sight as folders
  // arrive, until the user moves in the tree.
  const auto follow = [this] {
    if (follow_current_)
      dirList->scrollTo(model_->index(current_directory_), QAbstractItemView::PositionAtCenter);
  };
  connect(model_, &QFileSystemModel::directoryLoaded, this, follow);
  connect(model_, &QAbstractItemModel::layoutChanged, this, follow);
  connect(dirList->verticalScrollBar(), &QScrollBar::actionTriggered, this,
          [this] { follow_current_ = false; });
  connect(drvList, &QComboBox::activated, this, &frmDossier::drvList_Change);
  connect(dirList->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) {
            follow_current_ = false;
            Choose(index);
          });
  connect(dirList, &QTreeView::activated, this, [this](const QModelIndex& index) {
    follow_current_ = false;
    dirList->expand(index);
    Choose(index);
  });
  dirList->installEventFilter(this);
  connect(cmdOK, &QPushButton::clicked, this, &frmDossier::cmdOK_Click);
  connect(cmdAnnuler, &QPushButton::clicked, this, &QDialog::reject);
}

bool frmDossier::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dirList && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const QModelIndex index = dirList->currentIndex();
    // The tree would pass Enter on to the default button: a closed folder is opened instead, and only Enter
    // on an open one stores it.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && index.isValid() && !dirList->isExpanded(index) &&
        model_->hasChildren(index)) {
      follow_current_ = false;
      dirList->expand(index);
      Choose(index);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

bool frmDossier::OpenDirectory(const QString& directory) {
  const QFileInfo info(directory);
  if (!info.isDir() || !info.isReadable()) return false;
  const QString path = QDir::cleanPath(info.absoluteFilePath());
  SelectVolumeOf(path);
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return false;
  dirList->scrollTo(index);  // expands the ancestors
  dirList->expand(index);
  dirList->setCurrentIndex(index);
  Choose(index);
  follow_current_ = true;
  return true;
}

void frmDossier::Choose(const QModelIndex& index) {
  if (!index.isValid()) return;
  current_directory_ = model_->filePath(index);
  lblChoice->setText(
      FromUtf8(app::FolderSetting(QDir::toNativeSeparators(current_directory_).toStdString())));
  dirList->viewport()->update();
}

void frmDossier::SelectVolumeOf(const QString& directory) {
  std::vector<std::string> roots;
  for (const QString& root : volume_roots_) roots.push_back(root.toStdString());
  const int volume = app::VolumeOf(directory.toStdString(), roots);
  if (volume >= 0) drvList->setCurrentIndex(volume);
}

void frmDossier::drvList_Change(int index) {
  // A volume that cannot be read (a card reader without a card) leaves the tree where it was, and the list
  // snaps back to the volume of the current directory.
  if (index < 0 || index >= volume_roots_.size() || !OpenDirectory(volume_roots_[index])) {
    SelectVolumeOf(current_directory_);
  }
}

void frmDossier::cmdOK_Click() {
  if (app::StoreChosenFolder(state_, view_, QDir::toNativeSeparators(current_directory_).toStdString()))
    accept();
}

}  // namespace qm::ui
