#include "ui/shell_helpers.h"

#include <QDesktopServices>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include "ui/file_properties.h"
#include "ui/message_box.h"

namespace qm::ui {
namespace {

// An address names its scheme first ("https:", "mailto:"); a path does not, except a Windows drive letter
// ("C:"), which is one letter long.
bool IsAddress(const QString& text) {
  static const QRegularExpression scheme("^[A-Za-z][A-Za-z0-9+.-]+:");
  return scheme.match(text).hasMatch();
}

}  // namespace

bool ShellOpen(const QString& path_or_address) {
  if (path_or_address.isEmpty()) return false;
  const QUrl url = IsAddress(path_or_address)
                       ? QUrl(path_or_address, QUrl::StrictMode)
                       : QUrl::fromLocalFile(QDir::fromNativeSeparators(path_or_address));
  return url.isValid() && QDesktopServices::openUrl(url);
}

void ShellOpenOrTell(const QString& path_or_address, QWidget* parent, const std::string& title) {
  if (ShellOpen(path_or_address)) return;
  MessageBox::Show(
      parent, {"No program on this desktop opens\n" + QDir::toNativeSeparators(path_or_address).toStdString(),
               title, app::MessageIcon::kExclamation, app::MessageButtons::kOk});
}

void ShowFileProperties(const QString& path, QWidget* parent) {
  // A window of its own, without a parent: a child would go with the inspector that asked, and a child of the
  // main window would be blocked while the inspector is open.
  auto* window = new FileProperties(path);
  if (parent != nullptr) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(parent->window()->frameGeometry().center());
    window->move(frame.topLeft());
  }
  window->show();
  window->raise();
}

}  // namespace qm::ui
