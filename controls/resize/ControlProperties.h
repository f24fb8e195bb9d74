// The generic properties QzResize reads and writes on a form's controls, in Qt terms.
//
// The control knows nothing of the controls it moves: it asks each one for Left, Top, Width,
// Height, Font.Size and its picture's size, and a control that has no such property fails the
// read. What a Qt object has:
// - Position and size (twips, relative to the container): every child widget that lies in its
//   window's client area. Objects that are not widgets (a QTimer, a QAction, a button group:
//   the old "timer" kind of control), windows (popup menus, dialogs) and the menu bar, which
//   belongs to the window frame, have none.
// - Font.Size (points): widgets with geometry, except lines (a QFrame shaped as a horizontal
//   or vertical line) and scroll bars and sliders, which draw no text.
// - Picture size (twips): the widget's "iconSize" when it has a valid one; a button that shows
//   no icon has no picture, as an old button without a picture had none.
#pragma once

#include <optional>

class QObject;

namespace Qz_Resize {

enum class ControlProperty { Left, Top, Width, Height, FontSize, PictureWidth, PictureHeight };

// std::nullopt when the control does not have the property.
std::optional<double> ReadControlProperty(const QObject& control, ControlProperty property);
// False when the control does not have the property or refuses the value (a negative size,
// a font size that is not positive).
bool WriteControlProperty(QObject& control, ControlProperty property, double value);
// Sets the four measures in one step; false when the control has no position and size or
// refuses one of them (nothing is changed then).
bool MoveControl(QObject& control, double left, double top, double width, double height);

// Makes the control's current font size its own, so that scaling the font of its container
// no longer reaches it through Qt's font inheritance (old controls never inherited a font
// after they were created). Nothing for a control without a font.
void KeepOwnFontSize(QObject& control);

}  // namespace Qz_Resize
