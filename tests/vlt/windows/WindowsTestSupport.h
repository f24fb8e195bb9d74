// The windows' tests run on Qt's offscreen platform inside the core's test fixture (machine,
// registry, control host, scripted dialogs, manual clock).
#pragma once

#include "platform/forms/Application.h"
#include "tests/vlt/core/CoreTestSupport.h"

namespace windowstest {

// The process's Qt application, made on first use and destroyed when the test run ends.
forms::Application& TestApp();

class WindowsTest : public coretest::CoreTest {
  protected:
    WindowsTest() { TestApp(); }
};

}  // namespace windowstest
