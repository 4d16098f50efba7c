#include "ui/inspector_window.h"

#include <QBoxLayout>
#include <QClipboard>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextCursor>

#include "app/engine_messages.h"
#include "app/inspected_folder.h"
#include "app/settings.h"
#include "coding/windows1252.h"
#include "inspector/character_tip.h"
#include "inspector/coding_verdict.h"
#include "inspector/field_text.h"
#include "inspector/iptc_reader.h"
#include "inspector/thumbnail_fit.h"
#include "ui/artwork.h"
#include "ui/form_layout.h"
#include "ui/message_box.h"
#include "ui/path_label.h"
#include "ui/shell_helpers.h"
#include "ui/tooltip.h"

namespace qm::ui {
namespace {

// Where the window was, in the settings file: [Window] Inspector.
constexpr std::string_view kWindowSection = "Window";
// The thumbnail's box, 2610 x 1650 twips.
constexpr QSize kImageBox(174, 110);
// The window's first size: 8565 x 5205 twips.
constexpr QSize kDefaultSize(571, 347);

// The text of the core's 8-bit Windows coding as a Qt string: one character for each byte.
QString FromWindows(std::string_view text) { return FromUtf8(coding::EncodeUtf8Bytes(text)); }

// A path of the core (the file system's bytes) as Qt names the file.
QString QtPath(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

// The read error of the reader goes to a message box over the inspector.
class WindowMessages : public app::MessageSink {
 public:
  explicit WindowMessages(QWidget* window) : window_(window) {}
  app::Answer ShowMessage(const app::Message& message) override { return MessageBox::Show(window_, message); }
  void Beep() override { MessageBox::Beep(); }

 private:
  QWidget* window_;
};

template <typename Widget>
Widget* Make(QWidget* parent, const char* name) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* MakeIcon(QWidget* parent, const char* name, const QIcon& icon, int width_twips) {
  auto* label = Make<QLabel>(parent, name);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setFixedSize(width_twips / 15, 16);
  label->setPixmap(icon.pixmap(QSize(16, 16)));
  return label;
}

}  // namespace

frmFiles::frmFiles(app::AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName(QStringLiteral("frmFiles"));
  setModal(true);
  BuildControls();
  Form_Load();
}

frmFiles::~frmFiles() = default;

void frmFiles::BuildControls() {
  setWindowIcon(ProgramIcon());
  setFont(FormFont());

  lblFolder = Make<PathLabel>(this, "lblFolder");

  lstFiles = Make<QListWidget>(this, "lstFiles");
  lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  lstFiles->setUniformItemSizes(true);  // a folder of many thousand names lists at once

  lblFiles = Make<QLabel>(this, "lblFiles");
  lblFiles->setText(QStringLiteral("## images"));

  cmdProperties = Make<QPushButton>(this, "cmdProperties");
  cmdProperties->setText(QStringLiteral("Properties"));
  cmdProperties->setEnabled(false);
  cmdProperties->setAutoDefault(false);

  // The thumbnail sits in its box's top left corner at its own size.
  auto* image_box = Make<QWidget>(this, "fraImage");
  image_box->setFixedSize(kImageBox);
  Image1 = Make<QLabel>(image_box, "Image1");
  Image1->setScaledContents(true);
  Image1->setGeometry(QRect(QPoint(), kImageBox));

  cmdOK = Make<QPushButton>(this, "cmdOK");
  cmdOK->setText(QStringLiteral("&Exit"));
  cmdOK->setDefault(true);

  ImageQuillmark = MakeIcon(this, "ImageQuillmark", ProgramIcon(), 240);
  ImageMac = MakeIcon(this, "ImageMac", MacintoshGlyph(), 270);
  ImageWin = MakeIcon(this, "ImageWin", WindowsGlyph(), 240);
  ImageMac->hide();
  ImageWin->hide();

  // Only the weight is set, so that the labels follow the form's font when it is fitted below.
  QFont bold;
  bold.setBold(true);
  lblIPTC = Make<QLabel>(this, "lblIPTC");
  lblIPTC->setFont(bold);
  lblIPTC->setText(QString::fromLatin1(inspector::kInitialVerdictCaption));

  lblHexDec1 = Make<QLabel>(this, "lblHexDec1");
  lblHexDec1->setFont(bold);
  lblHexDec1->setText(QStringLiteral("Select text to display ASCII coding:"));
  lblHexDec1->setEnabled(false);

  lblHexDec2 = Make<QLabel>(this, "lblHexDec2");
  lblHexDec2->setText(QStringLiteral("Char = Dec/Hex [-> target char]"));
  lblHexDec2->setEnabled(false);

  txtIPTC = Make<QPlainTextEdit>(this, "txtIPTC");
  txtIPTC->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The box shows what the file holds; an edit would let the clipboard and the tips tell of bytes it lacks.
  txtIPTC->setReadOnly(true);
  txtIPTC->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  txtIPTC->viewport()->installEventFilter(this);

  cmdClipboard = Make<QPushButton>(this, "cmdClipboard");
  cmdClipboard->setText(QStringLiteral("Copy to clipboard"));
  cmdClipboard->setEnabled(false);
  cmdClipboard->setAutoDefault(false);

  // Two columns: the list with its count, the thumbnail and Exit; the verdict above the fields. The list and
  // the fields take the room a larger window gives.
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  left->addWidget(lstFiles, 1);
  auto* count = new QHBoxLayout;
  count->addWidget(lblFiles, 1);
  count->addWidget(cmdProperties);
  left->addLayout(count);
  left->addWidget(image_box);
  left->addWidget(cmdOK, 0, Qt::AlignLeft);
  cmdOK->setMinimumWidth(105);  // 1572 twips
  lstFiles->setMinimumWidth(kImageBox.width());
  auto* verdict = new QHBoxLayout;
  verdict->setSpacing(4);
  verdict->addWidget(ImageQuillmark);
  verdict->addWidget(ImageMac);
  verdict->addWidget(ImageWin);
  verdict->addWidget(lblIPTC, 1);
  auto* hint = new QHBoxLayout;
  hint->addWidget(lblHexDec1);
  hint->addWidget(lblHexDec2, 1);
  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  right->addLayout(verdict);
  right->addLayout(hint);
  right->addWidget(txtIPTC, 1);
  right->addWidget(cmdClipboard, 0, Qt::AlignRight);
  auto* columns = new QHBoxLayout;
  columns->setSpacing(10);
  columns->addLayout(left, 0);
  columns->addLayout(right, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 6);
  layout->setSpacing(4);
  layout->addWidget(lblFolder);
  layout->addLayout(columns, 1);

  connect(lstFiles, &QListWidget::itemSelectionChanged, this, &frmFiles::lstFiles_Click);
  connect(lstFiles, &QListWidget::itemDoubleClicked, this, &frmFiles::lstFiles_DblClick);
  connect(cmdProperties, &QPushButton::clicked, this, &frmFiles::cmdProperties_Click);
  connect(cmdClipboard, &QPushButton::clicked, this, &frmFiles::cmdClipboard_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmFiles::cmdOK_Click);
}

void frmFiles::Form_Load() {
  const app::InspectedFolderChoice choice = app::ChooseInspectedFolder(state_);
  setWindowTitle(FromUtf8(choice.Title));
  if (choice.Folder) InspectedFolder_ = *choice.Folder;
  lblFolder->setText(FromUtf8(InspectedFolder_));
  RestoreWindowPlace(this, app::ReadSetting(state_, kWindowSection, "Inspector"),
                     kDefaultSize.expandedTo(minimumSizeHint()));
}

void frmFiles::done(int result) {
  app::WriteSetting(state_, kWindowSection, "Inspector", WindowPlaceSetting(this));
  QDialog::done(result);
}

void frmFiles::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!listed_) Form_Activate();
}

void frmFiles::Form_Activate() {
  listed_ = true;
  const std::vector<std::string> names = app::ListInspectedFolder(InspectedFolder_);
  lstFiles->setUpdatesEnabled(false);
  for (const std::string& name : names) {
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    auto* item = new QListWidgetItem(QFile::decodeName(bytes));
    // The name's own bytes, so that a name the desktop's coding cannot show still opens the right file.
    item->setData(Qt::UserRole, bytes);
    lstFiles->addItem(item);
  }
  lstFiles->setUpdatesEnabled(true);
  lblFiles->setText(FromUtf8(app::ImagesCaption(names.size())));
  if (select_.empty()) return;
  const QByteArray wanted(select_.data(), static_cast<qsizetype>(select_.size()));
  for (int i = 0; i < lstFiles->count(); ++i) {
    if (lstFiles->item(i)->data(Qt::UserRole).toByteArray() != wanted) continue;
    lstFiles->setCurrentRow(i);
    lstFiles->scrollToItem(lstFiles->item(i));
    break;
  }
}

std::optional<std::string> frmFiles::SelectedPath() const {
  const QList<QListWidgetItem*> selected = lstFiles->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QByteArray name = selected.front()->data(Qt::UserRole).toByteArray();
  return InspectedFolder_ + std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

void frmFiles::lstFiles_Click() {
  CharacterTip_.reset();  // the tip told of characters of the file selected before
  field_utf8_ = false;
  ShowFieldText("");
  const std::optional<std::string> path = SelectedPath();
  cmdProperties->setEnabled(path.has_value());
  if (path) {
    // Each step stands alone: a file that is no picture still shows its fields, a vanished one shows none.
    ShowThumbnail(*path);
    const inspector::ReadResult read = inspector::ReadIptcFields(*path, state_.IptcFields);
    if (read.File == engine::InputImageFile::Status::kShortRead) {
      WindowMessages messages(this);
      app::ShowShortReadMessage(messages, *path);
    }
    field_utf8_ = read.Walk.DeclaresUtf8;
    ShowFieldText(inspector::BuildFieldText(state_.IptcFields));
  }
  ApplyVerdict();
}

void frmFiles::ShowThumbnail(const std::string& path) {
  Image1->clear();
  QImageReader reader(QtPath(path));
  reader.setDecideFormatFromContent(true);
  // Decoding at the thumbnail's size lets a camera's 24-megapixel JPEG show in a fraction of the full decode.
  const QSize natural = reader.size();
  const inspector::PictureSize fit = inspector::FitThumbnail({natural.width(), natural.height()});
  if (fit.Width > 0 && QSize(fit.Width, fit.Height) != natural)
    reader.setScaledSize(QSize(fit.Width, fit.Height));
  QImage picture = reader.read();
  if (picture.isNull()) return;
  if (fit.Width <= 0) {
    // A format that tells its size only once decoded.
    const inspector::PictureSize late = inspector::FitThumbnail({picture.width(), picture.height()});
    picture = picture.scaled(late.Width, late.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  Image1->setGeometry(0, 0, picture.width(), picture.height());
  Image1->setPixmap(QPixmap::fromImage(picture));
}

void frmFiles::ShowFieldText(const std::string& field_text) {
  field_text_ = field_text;
  shown_text_ = inspector::ShownText(field_text_, field_utf8_);
  txtIPTC->setPlainText(FromUtf8(shown_text_.Shown()));
}

void frmFiles::ApplyVerdict() {
  const inspector::VerdictState verdict =
      inspector::StateOf(inspector::JudgeCoding(field_text_, field_utf8_));
  lblIPTC->setText(QString::fromLatin1(verdict.Caption));
  ImageMac->setVisible(verdict.ImageMac);
  ImageWin->setVisible(verdict.ImageWin);
  ImageQuillmark->setVisible(verdict.ImageQuillmark);
  cmdClipboard->setEnabled(verdict.InspectionEnabled);
  lblHexDec1->setEnabled(verdict.InspectionEnabled);
  lblHexDec2->setEnabled(verdict.InspectionEnabled);
}

void frmFiles::lstFiles_DblClick() {
  if (const std::optional<std::string> path = SelectedPath()) {
    ShellOpenOrTell(QtPath(*path), this, app::AppTitle(state_));
  }
}

void frmFiles::cmdProperties_Click() {
  if (const std::optional<std::string> path = SelectedPath()) {
    ShowFileProperties(QtPath(*path), this);
  }
}

void frmFiles::cmdClipboard_Click() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  // The box is read-only, so its content is the field text, line ends as stored (CR LF).
  clipboard->setText(FromUtf8(inspector::DecodedText(field_text_, field_utf8_)));
}

void frmFiles::cmdOK_Click() { accept(); }

bool frmFiles::eventFilter(QObject* watched, QEvent* event) {
  // Once the text box has handled the release, so that its selection is final, and outside the delivery of
  // the event, whose filters include the tip that the handler replaces.
  if (watched == txtIPTC->viewport() && event->type() == QEvent::MouseButtonRelease) {
    QMetaObject::invokeMethod(this, &frmFiles::txtIPTC_MouseUp, Qt::QueuedConnection);
  }
  return QDialog::eventFilter(watched, event);
}

void frmFiles::txtIPTC_MouseUp() {
  const QTextCursor cursor = txtIPTC->textCursor();
  const std::string_view selected = shown_text_.Stored(static_cast<std::size_t>(cursor.selectionStart()),
                                                       static_cast<std::size_t>(cursor.selectionEnd()));
  if (selected.empty()) {
    txtIPTC->setToolTip(QString());
    return;
  }
  const std::string tip = inspector::CharacterTipText(selected, state_.ActiveAccentTable);
  CharacterTip_.reset();  // takes the previous tip window away
  CharacterTip_ = std::make_unique<cTooltip>();
  CharacterTip_->Create(this);
  CharacterTip_->MaxTipWidth(240);
  CharacterTip_->DelayTime(cTooltip::kAutopop, 32760);  // about 33 seconds
  CharacterTip_->AddTool(txtIPTC);
  CharacterTip_->ToolText(txtIPTC, FromWindows(tip));
}

void ShowInspector(app::AppState& state, QWidget* parent, const std::string& select) {
  frmFiles window(state, parent);
  window.SelectWhenListed(select);
  // Modal to the main window only, so that a properties window it opens takes clicks.
  window.setWindowModality(Qt::WindowModal);
  window.exec();
}

}  // namespace qm::ui
