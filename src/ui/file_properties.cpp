#include "ui/file_properties.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QImageReader>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "ui/artwork.h"
#include "ui/form_layout.h"

namespace qm::ui {
namespace {

QString Size(qint64 bytes) {
  const QLocale locale;
  const QString exact = locale.toString(bytes) + (bytes == 1 ? " byte" : " bytes");
  return bytes < 1024 ? exact : locale.formattedDataSize(bytes) + " (" + exact + ")";
}

QString Time(const QDateTime& time) {
  return time.isValid() ? QLocale().toString(time, QLocale::LongFormat) : QString("not recorded");
}

QString Permissions(const QFileInfo& info) {
  const QFile::Permissions p = info.permissions();
  QString text;
  const std::pair<QFile::Permission, char> bits[] = {
      {QFile::ReadOwner, 'r'}, {QFile::WriteOwner, 'w'}, {QFile::ExeOwner, 'x'},
      {QFile::ReadGroup, 'r'}, {QFile::WriteGroup, 'w'}, {QFile::ExeGroup, 'x'},
      {QFile::ReadOther, 'r'}, {QFile::WriteOther, 'w'}, {QFile::ExeOther, 'x'}};
  for (const auto& [bit, letter] : bits) text += (p & bit) ? QChar(letter) : QChar('-');
  const QString owner = info.owner().isEmpty() ? QString() : "  owner " + info.owner();
  const QString group = info.group().isEmpty() ? QString() : ", group " + info.group();
  return text + owner + group + (info.isWritable() ? QString() : "  (read-only for you)");
}

}  // namespace

FileProperties::FileProperties(const QString& path, QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("FileProperties");
  setAttribute(Qt::WA_DeleteOnClose);
  setFont(FormFont());
  setWindowIcon(ProgramIcon());

  const QFileInfo info(path);
  setWindowTitle(info.fileName() + " Properties");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  AddRow(form, "Name", "Name:", info.fileName());
  AddRow(form, "Folder", "Folder:", QDir::toNativeSeparators(info.absolutePath()));
  if (info.exists()) {
    AddRow(form, "Size", "Size:", Size(info.size()));
    AddRow(form, "Created", "Created:", Time(info.birthTime()));
    AddRow(form, "Modified", "Modified:", Time(info.lastModified()));
    AddRow(form, "Permissions", "Permissions:", Permissions(info));
    // The header tells the size; the picture itself is not decoded.
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid()) {
      AddRow(form, "Dimensions", "Dimensions:",
             QString("%1 x %2 pixels (%3)")
                 .arg(size.width())
                 .arg(size.height())
                 .arg(QString(reader.format()).toUpper()));
    }
  } else {
    AddRow(form, "Size", "Size:", "the file no longer exists");
  }

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
  layout->addWidget(buttons);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
  setMinimumWidth(360);
  adjustSize();
}

void FileProperties::AddRow(QFormLayout* form, const char* name, const QString& caption,
                            const QString& value) {
  auto* label = new QLabel(value, this);
  label->setObjectName(name);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setWordWrap(true);
  form->addRow(caption, label);
}

}  // namespace qm::ui
