#pragma once

#include <QString>
#include <string>

class QWidget;

namespace qm::ui {

/// Opens a document with the desktop's default application for it, or a web address ("https:", "mailto:"...)
/// in the user's browser or mail program. A path goes to the desktop as one file name, blanks and all. The
/// opened program starts in whatever folder the desktop chooses. Returns whether the desktop took the
/// request; nobody is told when it did not.
bool ShellOpen(const QString& path_or_address);

/// ShellOpen, and when the desktop takes no program for it, a message over `parent`, titled `title`, that
/// says so and names the file or address.
void ShellOpenOrTell(const QString& path_or_address, QWidget* parent, const std::string& title);

/// Shows a properties window of the file at `path` (name, folder, size, dates, permissions, and the pixel
/// size of a picture), which lives on by itself: it is not modal, outlives the window that asks, and goes
/// away when closed. It opens over `parent`'s window; a missing file shows what can be known (its name and
/// folder).
void ShowFileProperties(const QString& path, QWidget* parent = nullptr);

}  // namespace qm::ui
