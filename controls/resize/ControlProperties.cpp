#include "controls/resize/ControlProperties.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QFrame>
#include <QMenuBar>
#include <QSize>
#include <QVariant>
#include <QWidget>

#include "platform/automation/Errors.h"
#include "platform/forms/Twips.h"

namespace Qz_Resize {

namespace {

QWidget* GeometryWidget(const QObject& control) {
    auto* widget = qobject_cast<QWidget*>(const_cast<QObject*>(&control));
    if (widget == nullptr || widget->isWindow() || qobject_cast<QMenuBar*>(widget) != nullptr) {
        return nullptr;
    }
    return widget;
}

QWidget* FontWidget(const QObject& control) {
    QWidget* widget = GeometryWidget(control);
    if (widget == nullptr || qobject_cast<QAbstractSlider*>(widget) != nullptr) {
        return nullptr;
    }
    if (const auto* frame = qobject_cast<QFrame*>(widget)) {
        const QFrame::Shape shape = frame->frameShape();
        if (shape == QFrame::HLine || shape == QFrame::VLine) {
            return nullptr;
        }
    }
    return widget;
}

std::optional<QSize> PictureSize(const QObject& control) {
    if (GeometryWidget(control) == nullptr) {
        return std::nullopt;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control);
        button != nullptr && button->icon().isNull()) {
        return std::nullopt;
    }
    const QVariant size = control.property("iconSize");
    if (!size.canConvert<QSize>() || !size.value<QSize>().isValid()) {
        return std::nullopt;
    }
    return size.value<QSize>();
}

// Runs a write through the forms helpers, which refuse bad values with run-time error 380.
template <typename Write>
bool Refusable(Write&& write) {
    try {
        write();
        return true;
    } catch (const automation::Error&) {
        return false;
    }
}

}  // namespace

std::optional<double> ReadControlProperty(const QObject& control, ControlProperty property) {
    switch (property) {
        case ControlProperty::Left:
        case ControlProperty::Top:
        case ControlProperty::Width:
        case ControlProperty::Height: {
            const QWidget* widget = GeometryWidget(control);
            if (widget == nullptr) {
                return std::nullopt;
            }
            switch (property) {
                case ControlProperty::Left:
                    return forms::Left(*widget);
                case ControlProperty::Top:
                    return forms::Top(*widget);
                case ControlProperty::Width:
                    return forms::Width(*widget);
                default:
                    return forms::Height(*widget);
            }
        }
        case ControlProperty::FontSize: {
            const QWidget* widget = FontWidget(control);
            if (widget == nullptr) {
                return std::nullopt;
            }
            return forms::FontSize(*widget);
        }
        case ControlProperty::PictureWidth:
        case ControlProperty::PictureHeight: {
            const auto size = PictureSize(control);
            if (!size) {
                return std::nullopt;
            }
            return forms::PixelsToTwips(property == ControlProperty::PictureWidth ? size->width()
                                                                                  : size->height());
        }
    }
    return std::nullopt;
}

bool WriteControlProperty(QObject& control, ControlProperty property, double value) {
    switch (property) {
        case ControlProperty::Left:
        case ControlProperty::Top:
        case ControlProperty::Width:
        case ControlProperty::Height: {
            QWidget* widget = GeometryWidget(control);
            if (widget == nullptr) {
                return false;
            }
            return Refusable([&] {
                switch (property) {
                    case ControlProperty::Left:
                        forms::SetLeft(*widget, value);
                        break;
                    case ControlProperty::Top:
                        forms::SetTop(*widget, value);
                        break;
                    case ControlProperty::Width:
                        forms::SetWidth(*widget, value);
                        break;
                    default:
                        forms::SetHeight(*widget, value);
                        break;
                }
            });
        }
        case ControlProperty::FontSize: {
            QWidget* widget = FontWidget(control);
            return widget != nullptr && Refusable([&] { forms::SetFontSize(*widget, value); });
        }
        case ControlProperty::PictureWidth:
        case ControlProperty::PictureHeight: {
            auto size = PictureSize(control);
            if (!size || !(value >= 0)) {
                return false;
            }
            const int pixels = forms::TwipsToPixels(value);
            if (property == ControlProperty::PictureWidth) {
                size->setWidth(pixels);
            } else {
                size->setHeight(pixels);
            }
            return control.setProperty("iconSize", *size);
        }
    }
    return false;
}

bool MoveControl(QObject& control, double left, double top, double width, double height) {
    QWidget* widget = GeometryWidget(control);
    return widget != nullptr && Refusable([&] { forms::Move(*widget, left, top, width, height); });
}

void KeepOwnFontSize(QObject& control) {
    QWidget* widget = FontWidget(control);
    if (widget == nullptr) {
        return;
    }
    QFont font = widget->font();
    font.setPointSizeF(forms::FontSize(*widget));
    widget->setFont(font);
}

}  // namespace Qz_Resize
