// Test helpers for code that waits in a modal loop: the process's Qt application, and an
// action that runs once the expected modal window is on top.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

#include "platform/forms/Application.h"

namespace forms::test {

// The process's application, made on first use and destroyed when the test run ends (before
// Qt's own globals go, which a function-local static would outlive).
Application& TestApp();

// A fixture whose members may be widgets: the application exists before they are built.
class QtFixture : public testing::Test {
  protected:
    QtFixture() { TestApp(); }
};

// Runs `action` on the top modal window once one of type T is showing. Gives up after about
// five seconds: the test then fails and the window is closed so the test does not hang.
template <typename T>
void OnModal(std::function<void(T*)> action, const char* what = "modal window") {
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, action, what] {
        QWidget* top = QApplication::activeModalWidget();
        if (T* window = dynamic_cast<T*>(top); window != nullptr && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(window);
            return;
        }
        if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "no " << what << " appeared; on top: "
                          << (top ? top->metaObject()->className() : "nothing");
            if (auto* dialog = dynamic_cast<QDialog*>(top)) {
                dialog->reject();
            } else if (top != nullptr) {
                top->close();
            }
        }
    });
    timer->start(10);
}

}  // namespace forms::test
