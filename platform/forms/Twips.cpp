#include "platform/forms/Twips.h"

#include <QFont>
#include <QFontInfo>
#include <QWidget>
#include <cmath>

#include "platform/automation/Errors.h"

namespace forms {

namespace {

void CheckSize(double twips, const char* property) {
    if (!(twips >= 0) || !std::isfinite(twips)) {
        automation::Raise(automation::InvalidPropertyValue, property);
    }
}

// The outer frame's extra size over the client area (zero for child controls).
QSize FrameExtra(const QWidget& control) {
    if (!control.isWindow()) {
        return {0, 0};
    }
    const QRect frame = control.frameGeometry();
    return {frame.width() - control.width(), frame.height() - control.height()};
}

}  // namespace

int TwipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / TwipsPerPixel));
}

double PixelsToTwips(int pixels) {
    return static_cast<double>(pixels) * TwipsPerPixel;
}

double Left(const QWidget& control) {
    return PixelsToTwips(control.frameGeometry().x());
}

double Top(const QWidget& control) {
    return PixelsToTwips(control.frameGeometry().y());
}

double Width(const QWidget& control) {
    return PixelsToTwips(control.frameGeometry().width());
}

double Height(const QWidget& control) {
    return PixelsToTwips(control.frameGeometry().height());
}

void SetLeft(QWidget& control, double twips) {
    control.move(TwipsToPixels(twips), control.frameGeometry().y());
}

void SetTop(QWidget& control, double twips) {
    control.move(control.frameGeometry().x(), TwipsToPixels(twips));
}

void SetWidth(QWidget& control, double twips) {
    CheckSize(twips, "Width");
    const int outer = TwipsToPixels(twips);
    control.resize(std::max(0, outer - FrameExtra(control).width()), control.height());
}

void SetHeight(QWidget& control, double twips) {
    CheckSize(twips, "Height");
    const int outer = TwipsToPixels(twips);
    control.resize(control.width(), std::max(0, outer - FrameExtra(control).height()));
}

void Move(QWidget& control, double left, double top, double width, double height) {
    CheckSize(width, "Width");
    CheckSize(height, "Height");
    const QSize extra = FrameExtra(control);
    control.move(TwipsToPixels(left), TwipsToPixels(top));
    control.resize(std::max(0, TwipsToPixels(width) - extra.width()),
                   std::max(0, TwipsToPixels(height) - extra.height()));
}

double FontSize(const QWidget& control) {
    const QFont& font = control.font();
    if (font.pointSizeF() > 0) {
        return font.pointSizeF();
    }
    return QFontInfo(font).pointSizeF();
}

void SetFontSize(QWidget& control, double points) {
    if (!(points > 0) || !std::isfinite(points)) {
        automation::Raise(automation::InvalidPropertyValue, "Font.Size");
    }
    QFont font = control.font();
    font.setPointSizeF(points);
    control.setFont(font);
}

}  // namespace forms
