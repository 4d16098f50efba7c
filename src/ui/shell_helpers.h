#pragma once

#include <QString>

class QWidget;

namespace qm::ui {

/// Opens a document with the desktop's default application for it, or a web address ("https:", "mailto:"...)
/// in the user's browser or mail program. A path goes to the desktop as one file name, blanks and all. The
/// opened program starts in whatever folder the desktop chooses. Returns whether the desktop took the
/// request; nobody is told when it did not.
bool ShellOpen(const QString& path_or_address);

/// Shows a properties window of the file at `path` (name, folder, size, dates, permissions, and the pixel
/// size of a picture), which lives on by itself: it is not modal and goes away when closed. The window that
/// asks is `parent` only for placing it; a missing file shows what can be known (its name and folder).
void ShowFileProperties(const QString& path, QWidget* parent = nullptr);

}  // namespace qm::ui
