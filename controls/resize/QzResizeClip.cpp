// Clip mode: the form keeps its layout and scrolls when it is smaller than it was.
#include <QAbstractSlider>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "controls/resize/ControlProperties.h"
#include "controls/resize/QzResize.h"
#include "platform/automation/Errors.h"
#include "platform/forms/Twips.h"

namespace Qz_Resize {

namespace {

const char* const kVerticalName = "QzVScroll";
const char* const kHorizontalName = "QzHScroll";
const char* const kBoxName = "QzBox";

bool IsSpecialName(const QString& name) {
    const QString upper = name.toUpper();
    return upper == QLatin1String("QZVSCROLL") || upper == QLatin1String("QZHSCROLL") ||
           upper == QLatin1String("QZBOX");
}

// Steps in proportion to the range the bar scrolls over.
void SetSteps(QAbstractSlider& bar, int range) {
    const int largeChange = range / 4;
    const int smallChange = range / 20;
    if (largeChange > 1) {
        bar.setPageStep(largeChange);
    }
    if (smallChange >= 1) {
        bar.setSingleStep(smallChange);
    }
}

// Lets a bar scroll over what the form has lost in one direction, or hides it.
void SetRange(QAbstractSlider& bar, double lost) {
    bar.setMinimum(0);
    const int range = lost > 0 ? static_cast<int>(std::lround(lost)) : 0;
    if (range > 0) {
        bar.setMaximum(range);
        bar.setVisible(true);
        SetSteps(bar, range);
    } else {
        bar.setMaximum(0);
        bar.setVisible(false);
    }
}

}  // namespace

QzResize::ScrollBars QzResize::FindScrollBars() const {
    ScrollBars bars;
    if (form_ == nullptr) {
        return bars;
    }
    bars.vertical = form_->findChild<QAbstractSlider*>(kVerticalName);
    bars.horizontal = form_->findChild<QAbstractSlider*>(kHorizontalName);
    bars.box = form_->findChild<QWidget*>(kBoxName);
    return bars;
}

QzResize::ScrollBars QzResize::RequireScrollBars() const {
    const ScrollBars bars = FindScrollBars();
    if (bars.vertical == nullptr || bars.horizontal == nullptr) {
        automation::RaiseObjectError(
            QzClippingError,
            "Special ScrollBars required for ClipForm Type Scaling: QzVScroll and QzHScroll",
            SourceName().toStdString());
    }
    return bars;
}

void QzResize::ShowScrollBars(bool visible) {
    const ScrollBars bars = FindScrollBars();
    for (QWidget* widget :
         {static_cast<QWidget*>(bars.vertical), static_cast<QWidget*>(bars.horizontal), bars.box}) {
        if (widget != nullptr) {
            widget->setVisible(visible);
            if (visible) {
                widget->raise();
            }
        }
    }
}

void QzResize::RecordClipReference() {
    clipHeight_ = FormHeight();
    clipWidth_ = FormWidth();
}

void QzResize::ClipCapture() {
    RecordClipReference();
    for (Row& row : rows_) {
        row.clipSkip = 0;
        if (row.control == nullptr || IsSpecialName(row.control->objectName()) ||
            row.control->parent() != form_) {
            row.clipSkip = kClipNever;
            continue;
        }
        if (const auto left = ReadControlProperty(*row.control, ControlProperty::Left)) {
            row.clipLeft = static_cast<float>(*left);
        } else {
            row.clipSkip |= kClipLeft;
        }
        if (const auto top = ReadControlProperty(*row.control, ControlProperty::Top)) {
            row.clipTop = static_cast<float>(*top);
        } else {
            row.clipSkip |= kClipTop;
        }
    }
}

// The bars sit on the right and bottom edges of the client area; the old fixed allowances for
// the window's border and caption are what Qt's client area already leaves out.
void QzResize::LayOutScrollBars() {
    if (form_ == nullptr || form_->isMinimized()) {
        return;
    }
    const ScrollBars bars = RequireScrollBars();
    QAbstractSlider& vertical = *bars.vertical;
    QAbstractSlider& horizontal = *bars.horizontal;
    const double clientWidth = FormWidth();
    const double clientHeight = FormHeight();

    vertical.setVisible(true);
    forms::Move(vertical, clientWidth - forms::Width(vertical), 0, forms::Width(vertical),
                std::max(0.0, clientHeight - forms::Height(horizontal)));
    SetRange(vertical, clipHeight_ - clientHeight);

    horizontal.setVisible(true);
    forms::Move(horizontal, 0, clientHeight - forms::Height(horizontal),
                std::max(0.0, clientWidth - forms::Width(vertical)), forms::Height(horizontal));
    SetRange(horizontal, clipWidth_ - clientWidth);

    if (bars.box != nullptr) {
        QWidget& box = *bars.box;
        box.setVisible(!vertical.isHidden() || !horizontal.isHidden());
        forms::Move(box, forms::Left(horizontal) + forms::Width(horizontal),
                    forms::Top(vertical) + forms::Height(vertical), forms::Width(vertical),
                    forms::Height(horizontal));
        box.raise();
    }
    vertical.raise();
    horizontal.raise();
}

void QzResize::ClipForm() {
    if (!initialised_ || rows_.empty()) {
        return;
    }
    const ScrollBars bars = RequireScrollBars();
    const double down = bars.vertical->value();
    const double across = bars.horizontal->value();
    for (Row& row : rows_) {
        if (row.control == nullptr || row.clipSkip == kClipNever ||
            row.control->parent() != form_) {
            continue;
        }
        if ((row.clipSkip & kClipTop) == 0 &&
            !WriteControlProperty(*row.control, ControlProperty::Top, row.clipTop - down)) {
            row.clipSkip |= kClipTop;
        }
        if ((row.clipSkip & kClipLeft) == 0 &&
            !WriteControlProperty(*row.control, ControlProperty::Left, row.clipLeft - across)) {
            row.clipSkip |= kClipLeft;
        }
    }
}

}  // namespace Qz_Resize
