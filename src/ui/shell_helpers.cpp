#include "ui/shell_helpers.h"

#include <QDesktopServices>
#include <QDir>
#include <QRegularExpression>
#include <QUrl>

#include "ui/file_properties.h"

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

void ShowFileProperties(const QString& path, QWidget* parent) {
  auto* window = new FileProperties(path, parent);
  window->show();
  window->raise();
}

}  // namespace qm::ui
