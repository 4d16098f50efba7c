#pragma once

#include <QIcon>
#include <QPixmap>

namespace qm::ui {

// The pictures compiled into the program (drawn for it; see resources/artwork).

/// The 50 x 50 product picture: the Run button's idle face and the about box's picture.
inline constexpr const char* kProductPicture = ":/pictures/product.png";
/// The 32 x 32 red octagonal STOP sign: the Run button's face during a run.
inline constexpr const char* kStopPicture = ":/pictures/stop.png";

/// The program's icon, at every size drawn.
QIcon ProgramIcon();
/// The glyph of a text written on a Macintosh, at 16 and 32 pixels.
QIcon MacintoshGlyph();
/// The glyph of a text written on Windows, at 16 and 32 pixels.
QIcon WindowsGlyph();

}  // namespace qm::ui
