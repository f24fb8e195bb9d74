// Placing the controls of the About and licence forms, which are designed in twips.
#pragma once

#include <QWidget>

#include "platform/forms/Twips.h"

namespace Qz_About {

// A named child control at its design position.
template <class Widget>
Widget* Child(QWidget* parent, const char* name, double left, double top, double width,
              double height) {
    auto* widget = new Widget(parent);
    widget->setObjectName(name);
    forms::Move(*widget, left, top, width, height);
    return widget;
}

}  // namespace Qz_About
