// Geometry in twips. The windows are designed in twips (15 to a pixel) so that resize rules
// and proportional scaling keep the units they were written in; these helpers convert at
// the Qt boundary. Left and Top are relative to the control's container; for a top-level
// window Left, Top, Width and Height are those of its outer frame.
#pragma once

class QWidget;

namespace forms {

inline constexpr int TwipsPerPixel = 15;

// Rounds to the nearest pixel (halves away from zero).
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);

double Left(const QWidget& control);
double Top(const QWidget& control);
double Width(const QWidget& control);
double Height(const QWidget& control);
void SetLeft(QWidget& control, double twips);
void SetTop(QWidget& control, double twips);
// A size below zero raises run-time error 380 (invalid property value), as the old controls
// refused it.
void SetWidth(QWidget& control, double twips);
void SetHeight(QWidget& control, double twips);
void Move(QWidget& control, double left, double top, double width, double height);

// Font.Size in points.
double FontSize(const QWidget& control);
// Raises run-time error 380 for a size that is not a positive number.
void SetFontSize(QWidget& control, double points);

}  // namespace forms
