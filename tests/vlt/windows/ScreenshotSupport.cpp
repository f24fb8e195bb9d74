#include "tests/vlt/windows/ScreenshotSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace windowstest {
namespace {

std::string Describe(const QWidget& control, const std::string& what) {
    std::string name = control.objectName().toStdString();
    const QVariant index = control.property("Index");
    if (index.isValid()) {
        name += "(" + std::to_string(index.toInt()) + ")";
    }
    return name + ": " + what;
}

std::string SizeText(const QSize& size) {
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// What a control's caption needs, or an invalid size for a control without one.
QSize CaptionNeeds(const QWidget& control) {
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        if (label->text().isEmpty()) {
            return {};
        }
        if (label->wordWrap()) {
            return {control.width(), label->heightForWidth(control.width())};
        }
        return label->sizeHint();
    }
    // A control that wraps its caption says how tall it must be at its width.
    if (control.hasHeightForWidth()) {
        return {0, control.heightForWidth(control.width())};
    }
    // A push button's size hint keeps the style's preferred least width, which is no caption.
    if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
        const QFontMetrics metrics = button->fontMetrics();
        QSize needs(metrics.horizontalAdvance(QString(button->text()).remove('&')),
                    metrics.height());
        if (!button->icon().isNull()) {
            needs.rwidth() += button->iconSize().width() + 4;
            needs.setHeight(std::max(needs.height(), button->iconSize().height()));
        }
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        return needs + QSize(2 * margin, 4);
    }
    if (const auto* tool = qobject_cast<const QToolButton*>(&control);
        tool != nullptr && tool->toolButtonStyle() == Qt::ToolButtonIconOnly &&
        !tool->icon().isNull()) {
        return tool->iconSize() + QSize(4, 4);
    }
    if (qobject_cast<const QAbstractButton*>(&control) != nullptr) {
        return control.sizeHint();
    }
    if (qobject_cast<const QGroupBox*>(&control) != nullptr) {
        return {control.minimumSizeHint().width(), 0};
    }
    if (qobject_cast<const QLineEdit*>(&control) != nullptr) {
        return {0, control.minimumSizeHint().height()};
    }
    return {};
}

}  // namespace

std::vector<std::string> ClippedControls(const QWidget& window) {
    std::vector<std::string> clipped;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith("qt_") || control->isWindow() ||
            !control->isVisibleTo(&window)) {
            continue;
        }
        const QWidget* container = control->parentWidget();
        // What a scroll area holds is meant to reach beyond its view: it scrolls.
        const bool scrolls = container->objectName() == "qt_scrollarea_viewport";
        if (!scrolls && !container->rect().contains(control->geometry())) {
            clipped.push_back(Describe(*control, "lies outside its container"));
        }
        const QSize needs = CaptionNeeds(*control);
        if (needs.isValid() &&
            (needs.width() > control->width() || needs.height() > control->height())) {
            clipped.push_back(Describe(
                *control, "needs " + SizeText(needs) + ", has " + SizeText(control->size())));
        }
    }
    return clipped;
}

std::string SaveScreenshot(QWidget& window, const std::string& name) {
    const char* folder = std::getenv("VELTO_SCREENSHOTS");
    if (folder == nullptr || *folder == '\0') {
        return {};
    }
    QDir().mkpath(QString::fromLocal8Bit(folder));
    const std::string path = std::string(folder) + "/" + name + ".png";
    if (!window.grab().save(QString::fromStdString(path), "PNG")) {
        throw std::runtime_error("cannot write " + path);
    }
    return path;
}

}  // namespace windowstest
