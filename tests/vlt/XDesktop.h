// An X server of a test's own (Xvfb) and the synthetic user at its keyboard and mouse
// (xdotool), for the tests that run the program on a real display; and a window's picture
// taken from the server's frame buffer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/BackgroundProgram.h"

namespace vltdesktop {

// Sets an environment variable for the life of the object.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class Desktop {
  public:
    Desktop();
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    // Empty when the server runs (and $DISPLAY names it); else why there is none.
    std::string Start();
    std::string Xdotool(const std::vector<std::string>& args) const;
    // The id of the window titled exactly `title`, once there is one; "" after the bound.
    std::string WaitForWindow(const std::string& title) const;
    // Waits for the window and gives it the keyboard; false (and a failure) when it never came.
    bool FocusWindow(const std::string& title) const;
    void Keys(const std::vector<std::string>& keys) const;
    void Type(const std::string& text) const;
    void ClickIn(const std::string& title, int x, int y) const;
    std::string Titles() const;
    // The window titled `title` as the screen shows it, written as PNG to `file`; "" when
    // done, else why not.
    std::string Picture(const std::string& title, const std::string& file) const;

  private:
    std::string xdotool_;
    std::string frameBuffers_;
    std::optional<testsupport::BackgroundProgram> server_;
    std::optional<ScopedVariable> display_;
};

}  // namespace vltdesktop
