#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <string>
#include <string_view>

class QWidget;

namespace qm::ui {

// The dialogs have fixed layouts measured in twips; 15 twips are one pixel at 96 dpi, and Qt scales the
// pixels for denser screens. The main window and the inspector use layouts, with their first sizes taken
// from the same measures.

/// A rectangle given as left, top, width, height in twips, in pixels.
QRect Twips(int left, int top, int width, int height);

/// Places `widget` at a rectangle in twips, relative to its parent.
void PlaceTwips(QWidget* widget, int left, int top, int width, int height);

/// Gives a dialog its fixed client size in twips and centres it on the screen it will open on.
void FixTwipsSize(QWidget* window, int width, int height);

/// Centres a window on the screen that holds it, or the primary screen before it is shown.
void CentreOnScreen(QWidget* window);

/// Gives a window the place `setting` holds ("left,top,width,height", as WindowPlaceSetting writes it), or
/// `default_size` centred over its parent or on the screen, and then keeps it within the screen's free area
/// whatever the scale: a window larger than the screen gets the screen's size.
void RestoreWindowPlace(QWidget* window, const std::string& setting, QSize default_size);

/// The window's place as RestoreWindowPlace reads it.
std::string WindowPlaceSetting(const QWidget* window);

/// The font the layouts were measured for: the desktop's own font at 11 pixels, so captions fit the fixed
/// positions whatever size the desktop prefers.
QFont FormFont();

/// Gives `form` the largest font of 11 pixels or less, down to 8, at which the caption of every label, button
/// and frame fits the place the layout gives it. Labels that wrap are left out.
void FitFormFont(QWidget* form);

/// A UTF-8 text of the core as a Qt string.
inline QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace qm::ui
