// Creating a form's controls with the names the forms refer to them by: each control carries
// its name as objectName, so scaling, traces and tests find it.
#pragma once

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QString>
#include <QToolButton>
#include <QWidget>

#include "platform/forms/Twips.h"

namespace forms {

// A control of type Control whose text is caption (buttons, check boxes, option buttons,
// frames, labels: every widget constructed from a text and a parent).
template <typename Control>
Control* NamedControl(const char* name, const QString& caption, QWidget* parent) {
    auto* control = new Control(caption, parent);
    control->setObjectName(name);
    return control;
}

// A control of type Control without a caption, placed on `form` in twips.
template <typename Control>
Control* PlacedControl(QWidget* form, const char* name, double left, double top, double width,
                       double height) {
    auto* control = new Control(form);
    control->setObjectName(name);
    Move(*control, left, top, width, height);
    return control;
}

// A button that shows a picture instead of a caption, with its tool tip.
inline QToolButton* PictureButton(const char* name, const QPixmap& picture, const QString& tip,
                                  QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(QIcon(picture));
    button->setIconSize(picture.size());
    button->setToolTip(tip);
    return button;
}

// A menu entry; "&" marks its access key as in a caption.
inline QAction* MenuItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    return item;
}

}  // namespace forms
