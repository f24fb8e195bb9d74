#include "platform/forms/Application.h"

#include <cstdlib>

#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/forms/QtDialogs.h"

namespace forms {

namespace {

bool Set(const char* value) {
    return value != nullptr && *value != '\0';
}

}  // namespace

std::optional<std::string> HeadlessPlatform(const char* display, const char* waylandDisplay,
                                            const char* qpaPlatform) {
    if (Set(display) || Set(waylandDisplay) || Set(qpaPlatform)) {
        return std::nullopt;
    }
    return "offscreen";
}

Application::Application(int& argc, char** argv) {
    if (const auto platform =
            HeadlessPlatform(std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                             std::getenv("QT_QPA_PLATFORM"))) {
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(*platform));
    }
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QString::fromStdString(dialogs::App().Title()));
    QApplication::setOrganizationName(QString::fromStdString(dialogs::App().CompanyName()));
    const QString platform = QGuiApplication::platformName();
    headless_ = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");

    previousDoEvents_ = dialogs::SetDoEventsHook([] {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents();
        }
    });
    if (!headless_) {
        previousBackend_ = dialogs::SetBackend(std::make_shared<QtDialogs>());
    }
}

Application::~Application() {
    if (previousBackend_) {
        dialogs::SetBackend(*previousBackend_);
    }
    dialogs::SetDoEventsHook(std::move(previousDoEvents_));
}

}  // namespace forms
