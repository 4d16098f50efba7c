#include "ui/inspector_window.h"

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
#include "coding/windows1252.h"
#include "inspector/character_tip.h"
#include "inspector/coding_verdict.h"
#include "inspector/field_text.h"
#include "inspector/folder_listing.h"
#include "inspector/iptc_reader.h"
#include "inspector/thumbnail_fit.h"
#include "ui/artwork.h"
#include "ui/form_layout.h"
#include "ui/message_box.h"
#include "ui/shell_helpers.h"
#include "ui/tooltip.h"

namespace qm::ui {
namespace {

// The thumbnail box's place, in twips; the picture's top left corner stays there whatever its size.
constexpr int kImageLeft = 120;
constexpr int kImageTop = 3000;

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
  PlaceTwips(label, 2880, 120, width_twips, 240);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
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
  FixTwipsSize(this, 8565, 5205);
  setWindowIcon(ProgramIcon());

  lstFiles = Make<QListWidget>(this, "lstFiles");
  PlaceTwips(lstFiles, 120, 120, 2610, 2400);
  lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
  lstFiles->setUniformItemSizes(true);  // a folder of many thousand names lists at once

  lblFiles = Make<QLabel>(this, "lblFiles");
  PlaceTwips(lblFiles, 120, 2580, 1470, 315);
  lblFiles->setText(QStringLiteral("## images"));

  cmdProperties = Make<QPushButton>(this, "cmdProperties");
  PlaceTwips(cmdProperties, 1680, 2580, 1035, 315);
  cmdProperties->setText(QStringLiteral("Properties"));
  cmdProperties->setEnabled(false);
  cmdProperties->setAutoDefault(false);

  Image1 = Make<QLabel>(this, "Image1");
  PlaceTwips(Image1, kImageLeft, kImageTop, 2610, 1650);
  Image1->setScaledContents(true);

  cmdOK = Make<QPushButton>(this, "cmdOK");
  PlaceTwips(cmdOK, 120, 4740, 1572, 375);
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
  // Wide enough for the longest verdict, which the caption's first text does not need.
  PlaceTwips(lblIPTC, 3180, 120, 5265, 195);
  lblIPTC->setFont(bold);
  lblIPTC->setText(QString::fromLatin1(inspector::kInitialVerdictCaption));

  lblHexDec1 = Make<QLabel>(this, "lblHexDec1");
  PlaceTwips(lblHexDec1, 2880, 360, 3030, 195);
  lblHexDec1->setFont(bold);
  lblHexDec1->setText(QStringLiteral("Select text to display ASCII coding:"));
  lblHexDec1->setEnabled(false);

  lblHexDec2 = Make<QLabel>(this, "lblHexDec2");
  // To the text box's right edge: the caption needs more room than its first place gives it.
  PlaceTwips(lblHexDec2, 5940, 360, 2490, 195);
  lblHexDec2->setText(QStringLiteral("Char = Dec/Hex [-> target char]"));
  lblHexDec2->setEnabled(false);

  txtIPTC = Make<QPlainTextEdit>(this, "txtIPTC");
  PlaceTwips(txtIPTC, 2880, 600, 5550, 4035);
  txtIPTC->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The box shows what the file holds; an edit would let the clipboard and the tips tell of bytes it lacks.
  txtIPTC->setReadOnly(true);
  txtIPTC->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  txtIPTC->viewport()->installEventFilter(this);

  cmdClipboard = Make<QPushButton>(this, "cmdClipboard");
  PlaceTwips(cmdClipboard, 7020, 4680, 1455, 315);
  cmdClipboard->setText(QStringLiteral("Copy to clipboard"));
  cmdClipboard->setEnabled(false);
  cmdClipboard->setAutoDefault(false);

  FitFormFont(this);

  connect(lstFiles, &QListWidget::itemSelectionChanged, this, &frmFiles::lstFiles_Click);
  connect(lstFiles, &QListWidget::itemDoubleClicked, this, &frmFiles::lstFiles_DblClick);
  connect(cmdProperties, &QPushButton::clicked, this, &frmFiles::cmdProperties_Click);
  connect(cmdClipboard, &QPushButton::clicked, this, &frmFiles::cmdClipboard_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmFiles::cmdOK_Click);
}

void frmFiles::Form_Load() {
  const inspector::InspectedFolderChoice choice = inspector::ChooseInspectedFolder(state_);
  setWindowTitle(FromUtf8(choice.Title));
  if (choice.Folder) InspectedFolder_ = *choice.Folder;
}

void frmFiles::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!listed_) Form_Activate();
}

void frmFiles::Form_Activate() {
  listed_ = true;
  const std::vector<std::string> names = inspector::ListInspectedFolder(InspectedFolder_);
  lstFiles->setUpdatesEnabled(false);
  for (const std::string& name : names) {
    const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
    auto* item = new QListWidgetItem(QFile::decodeName(bytes));
    // The name's own bytes, so that a name the desktop's coding cannot show still opens the right file.
    item->setData(Qt::UserRole, bytes);
    lstFiles->addItem(item);
  }
  lstFiles->setUpdatesEnabled(true);
  lblFiles->setText(FromUtf8(inspector::ImagesCaption(names.size())));
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
  PlaceTwips(Image1, kImageLeft, kImageTop, 2610, 1650);
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
  const QRect box = Twips(kImageLeft, kImageTop, 2610, 1650);
  Image1->setGeometry(box.left(), box.top(), picture.width(), picture.height());
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
