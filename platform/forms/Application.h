// Qt start-up for the program and the tests. Without a display ($DISPLAY and
// $WAYLAND_DISPLAY both unset, and no platform chosen in $QT_QPA_PLATFORM) Qt runs on its
// offscreen platform, so the unattended run needs no X server. The application object
// installs the DoEvents pump and, when there is a screen somebody can look at, the Qt dialogs
// backend; headless, boxes stay on the console. Both are put back when it goes.
#pragma once

#include <QApplication>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/dialogs/Dialogs.h"

namespace forms {

// "offscreen" when the environment offers no display and names no Qt platform, else
// std::nullopt (Qt's own choice stands). Arguments are the variables' values, nullptr when
// unset.
std::optional<std::string> HeadlessPlatform(const char* display, const char* waylandDisplay,
                                            const char* qpaPlatform);

// Make it in main (or another scope that ends before main returns): a QApplication torn down
// by static destructors outlives Qt's own globals and crashes.
class Application {
  public:
    Application(int& argc, char** argv);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    QApplication& qt() { return *app_; }
    // True on the offscreen (or minimal) platform, where nobody sees a window.
    bool Headless() const { return headless_; }

  private:
    std::unique_ptr<QApplication> app_;
    bool headless_ = false;
    std::function<void()> previousDoEvents_;
    std::optional<std::shared_ptr<dialogs::DialogsBackend>> previousBackend_;
};

}  // namespace forms
