// Control arrays: several controls sharing one name, told apart by their Index (ckComp(0)
// to ckComp(11)). They are std::arrays of widgets; each carries the shared name as its
// objectName and its index in the dynamic property "Index", which generic code (scaling,
// traces) reads back.
#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>
#include <array>
#include <cstddef>
#include <optional>

namespace forms {

template <typename Control, std::size_t N>
std::array<Control*, N> CreateControlArray(QWidget* parent, const QString& name) {
    std::array<Control*, N> controls{};
    for (std::size_t i = 0; i < N; ++i) {
        controls[i] = new Control(parent);
        controls[i]->setObjectName(name);
        controls[i]->setProperty("Index", static_cast<int>(i));
    }
    return controls;
}

// The control's Index, or std::nullopt when it is not part of a control array.
inline std::optional<int> ControlIndex(const QWidget& control) {
    const QVariant index = control.property("Index");
    if (!index.isValid()) {
        return std::nullopt;
    }
    return index.toInt();
}

}  // namespace forms
