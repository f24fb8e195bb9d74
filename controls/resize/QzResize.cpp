#include "controls/resize/QzResize.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "controls/resize/ControlProperties.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/forms/Twips.h"

namespace Qz_Resize {

namespace {

// The largest measure a control can take: positions and sizes end up as 32-bit pixel values.
constexpr double kMaxTwips = 2147483647.0;

struct Busy {
    bool& flag;
    explicit Busy(bool& f) : flag(f) { flag = true; }
    ~Busy() { flag = false; }
};

// The screen the form is on (the primary one while it is on none), in twips.
std::optional<QSizeF> ScreenSize(const QWidget& form) {
    const QScreen* screen = form.screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return std::nullopt;
    }
    const QRect geometry = screen->geometry();
    return QSizeF(forms::PixelsToTwips(geometry.width()), forms::PixelsToTwips(geometry.height()));
}

void Collect(const QObject& parent, std::vector<QObject*>& controls) {
    for (QObject* child : parent.children()) {
        const QString name = child->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) {
            continue;
        }
        // Another window parented to the form is a form of its own, not one of its controls.
        if (const auto* widget = qobject_cast<const QWidget*>(child);
            widget != nullptr && widget->isWindow()) {
            continue;
        }
        controls.push_back(child);
        Collect(*child, controls);
    }
}

}  // namespace

QzResize::QzResize(QWidget* form, const QString& name) : QObject(form), form_(form) {
    setObjectName(name);
}

QzResize::~QzResize() = default;

void QzResize::Resize() {
    if (busy_ || form_ == nullptr) {
        return;
    }
    Busy busy(busy_);
    if (!initialised_) {
        Capture();
        if (!FitFormToScreen()) {
            return;
        }
    }
    if (scaleType_ == QzClipForm) {
        LayOutScrollBars();
        ClipForm();
    } else {
        Scale();
    }
}

void QzResize::Capture() {
    if (scaleType_ == QzClipForm) {
        RequireScrollBars();
    }
    initialised_ = true;
    ShowScrollBars(scaleType_ == QzClipForm);
    if (scaleType_ == QzClipForm) {
        RecordClipReference();
    }
    rows_.clear();
    for (QObject* control : FormControls()) {
        CaptureRow(*control);
    }
    designHeight_ = FormHeight();
    designWidth_ = FormWidth();
    // Limits set before the form was measured must fit the screen as well, or a form larger
    // than the screen would be snapped back beyond it.
    minSize_ = FitLimitToScreen(minSize_);
    maxSize_ = FitLimitToScreen(maxSize_);
    ClipCapture();
}

void QzResize::CaptureRow(QObject& control) {
    Row row;
    row.control = &control;
    const QString name = control.objectName();
    if (name.startsWith(QLatin1String("nos"))) {
        row.skip |= kSkipPosition;
    }
    if (name.startsWith(QLatin1String("nof"))) {
        row.skip |= kSkipFont;
        KeepOwnFontSize(control);
    }
    if (name.startsWith(QLatin1String("nop"))) {
        row.skip |= kSkipPicture;
    }
    const struct {
        ControlProperty property;
        int bit;
        float Row::*value;
    } reads[] = {
        {ControlProperty::Left, kSkipLeft, &Row::left},
        {ControlProperty::Width, kSkipWidth, &Row::width},
        {ControlProperty::Top, kSkipTop, &Row::top},
        {ControlProperty::Height, kSkipHeight, &Row::height},
        {ControlProperty::FontSize, kSkipFont, &Row::fontSize},
        {ControlProperty::PictureWidth, kSkipPictureWidth, &Row::pictureWidth},
        {ControlProperty::PictureHeight, kSkipPictureHeight, &Row::pictureHeight},
    };
    for (const auto& read : reads) {
        if ((row.skip & read.bit) != 0) {
            continue;
        }
        if (const auto value = ReadControlProperty(control, read.property)) {
            row.*read.value = static_cast<float>(*value);
        } else {
            row.skip |= read.bit;
        }
    }
    rows_.push_back(row);
}

bool QzResize::FitFormToScreen() {
    const auto screen = ScreenSize(*form_);
    if (!screen) {
        return false;
    }
    bool changed = false;
    if (forms::Height(*form_) > screen->height()) {
        forms::SetHeight(*form_, screen->height());
        changed = true;
    }
    if (forms::Width(*form_) > screen->width()) {
        forms::SetWidth(*form_, screen->width());
        changed = true;
    }
    return changed;
}

void QzResize::Scale() {
    // A form captured at no size has no proportions to keep.
    if (!initialised_ || rows_.empty() || !(designWidth_ > 0) || !(designHeight_ > 0)) {
        return;
    }
    double ratioY = FormHeight() / designHeight_;
    double ratioX = FormWidth() / designWidth_;
    bool clamped = false;
    for (double* ratio : {&ratioY, &ratioX}) {
        if (maxSize_ > 0 && *ratio > maxSize_) {
            *ratio = maxSize_;
            clamped = true;
        }
        if (*ratio < minSize_) {
            *ratio = minSize_;
            clamped = true;
        }
    }
    for (Row& row : rows_) {
        if (row.control != nullptr) {
            ScaleRow(row, ratioX, ratioY);
        }
    }
    // A minimised or maximised window has its size from the window system.
    if (clamped && !form_->isMinimized() && !form_->isMaximized()) {
        SetFormSize(designWidth_ * ratioX, designHeight_ * ratioY);
    }
}

void QzResize::ScaleRow(Row& row, double ratioX, double ratioY) {
    QObject& control = *row.control;
    const auto scaled = [&](float design, double ratio, int bit) -> double {
        if ((row.skip & bit) != 0) {
            return 0;
        }
        const double value = static_cast<double>(design) * ratio;
        if (!std::isfinite(value) || std::fabs(value) > kMaxTwips) {
            automation::Raise(automation::Overflow, SourceName().toStdString());
        }
        return value;
    };
    const double left = scaled(row.left, ratioX, kSkipLeft);
    const double top = scaled(row.top, ratioY, kSkipTop);
    const double width = scaled(row.width, ratioX, kSkipWidth);
    const double height = scaled(row.height, ratioY, kSkipHeight);
    const bool allFour = left != 0 && top != 0 && width != 0 && height != 0;
    if (!allFour || !MoveControl(control, left, top, width, height)) {
        const struct {
            double value;
            ControlProperty property;
            int bit;
        } writes[] = {
            {left, ControlProperty::Left, kSkipLeft},
            {top, ControlProperty::Top, kSkipTop},
            {width, ControlProperty::Width, kSkipWidth},
            {height, ControlProperty::Height, kSkipHeight},
        };
        for (const auto& write : writes) {
            if (write.value != 0 && !WriteControlProperty(control, write.property, write.value)) {
                row.skip |= write.bit;
            }
        }
    }
    const struct {
        float design;
        double ratio;
        ControlProperty property;
        int bit;
    } others[] = {
        {row.fontSize, std::min(ratioX, ratioY), ControlProperty::FontSize, kSkipFont},
        {row.pictureWidth, ratioX, ControlProperty::PictureWidth, kSkipPictureWidth},
        {row.pictureHeight, ratioY, ControlProperty::PictureHeight, kSkipPictureHeight},
    };
    for (const auto& other : others) {
        if ((row.skip & other.bit) != 0) {
            continue;
        }
        const double value = scaled(other.design, other.ratio, other.bit);
        if (!WriteControlProperty(control, other.property, value)) {
            row.skip |= other.bit;
        }
    }
}

void QzResize::SetScaleType(std::int16_t value) {
    if (value != QzScaleForm && value != QzClipForm) {
        automation::Raise(automation::InvalidPropertyValue, SourceName().toStdString());
    }
    const auto type = static_cast<QzScaleType>(value);
    // A form that cannot scroll stays in scale mode: the host hears of it at once.
    if (type == QzClipForm && form_ != nullptr) {
        RequireScrollBars();
    }
    if (scaleType_ == QzScaleForm && type == QzClipForm && form_ != nullptr) {
        RecordClipReference();
    }
    scaleType_ = type;
    PropertyChanged("ScaleType");
    if (form_ == nullptr) {
        return;
    }
    if (type == QzScaleForm) {
        ShowScrollBars(false);
    } else {
        LayOutScrollBars();
        ClipCapture();
    }
}

void QzResize::SetMinSize(double value) {
    if (!std::isfinite(value)) {
        automation::Raise(automation::InvalidPropertyValue, SourceName().toStdString());
    }
    value = std::max(value, 0.0);
    if (maxSize_ > 0 && initialised_ && maxSize_ < value) {
        value = maxSize_;
    }
    minSize_ = FitLimitToScreen(value);
    PropertyChanged("MinSize");
}

void QzResize::SetMaxSize(double value) {
    if (!std::isfinite(value)) {
        automation::Raise(automation::InvalidPropertyValue, SourceName().toStdString());
    }
    value = std::max(value, 0.0);
    if (value > 0 && initialised_ && value < minSize_) {
        value = minSize_;
    }
    maxSize_ = FitLimitToScreen(value);
    PropertyChanged("MaxSize");
}

double QzResize::FitLimitToScreen(double value) const {
    if (!initialised_ || form_ == nullptr) {
        return value;
    }
    const auto room = ClientRoom();
    if (!room) {
        return value;
    }
    if (designWidth_ > 0 && value * designWidth_ > room->width()) {
        value = room->width() / designWidth_;
    }
    if (designHeight_ > 0 && value * designHeight_ > room->height()) {
        value = room->height() / designHeight_;
    }
    return value;
}

double QzResize::FormWidth() const {
    return forms::PixelsToTwips(form_->width());
}

double QzResize::FormHeight() const {
    return forms::PixelsToTwips(form_->height());
}

void QzResize::SetFormSize(double width, double height) {
    form_->resize(forms::TwipsToPixels(width), forms::TwipsToPixels(height));
}

std::optional<QSizeF> QzResize::ClientRoom() const {
    const auto screen = ScreenSize(*form_);
    if (!screen) {
        return std::nullopt;
    }
    return QSizeF(screen->width() - (forms::Width(*form_) - FormWidth()),
                  screen->height() - (forms::Height(*form_) - FormHeight()));
}

void QzResize::ShowAboutBox() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzResize"));
}

void QzResize::ReadProperties(const automation::PropertyBag& bag) {
    const std::int16_t type =
        automation::CInt(bag.ReadProperty("ScaleType", std::int16_t{QzScaleForm}));
    scaleType_ = type == QzClipForm ? QzClipForm : QzScaleForm;
    minSize_ = std::max(0.0, automation::CDbl(bag.ReadProperty("MinSize", kDefaultMinSize)));
    maxSize_ = std::max(0.0, automation::CDbl(bag.ReadProperty("MaxSize", kDefaultMaxSize)));
}

void QzResize::WriteProperties(automation::PropertyBag& bag) const {
    bag.WriteProperty("ScaleType", std::int16_t{scaleType_},
                      automation::Variant(std::int16_t{QzScaleForm}));
    bag.WriteProperty("MinSize", minSize_, automation::Variant(kDefaultMinSize));
    bag.WriteProperty("MaxSize", maxSize_, automation::Variant(kDefaultMaxSize));
}

void QzResize::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    UserControl_Resize();
}

void QzResize::UserControl_Resize() {
    width_ = kDesignSize;
    height_ = kDesignSize;
}

std::optional<int> QzResize::SkipFlags(const QObject& control) const {
    for (const Row& row : rows_) {
        if (row.control == &control) {
            return row.skip;
        }
    }
    return std::nullopt;
}

std::optional<int> QzResize::ClipFlags(const QObject& control) const {
    for (const Row& row : rows_) {
        if (row.control == &control) {
            return row.clipSkip;
        }
    }
    return std::nullopt;
}

std::vector<QObject*> QzResize::FormControls() const {
    std::vector<QObject*> controls;
    if (form_ != nullptr) {
        Collect(*form_, controls);
    }
    return controls;
}

QString QzResize::SourceName() const {
    const QString form = form_ != nullptr ? form_->objectName() : QString();
    return form + QLatin1Char('.') + objectName();
}

}  // namespace Qz_Resize
