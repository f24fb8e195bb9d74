// Screenshots of the program's windows, and the check that a window shows all of its
// controls whole.
//
// The screenshot tests always check the windows; they write PNG files only when the
// environment variable VELTO_SCREENSHOTS names a folder (the committed pictures in docs/ are
// made with VELTO_SCREENSHOTS=docs), so a test run never rewrites them.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

namespace windowstest {

// The controls of `window` that are cut off: a visible control that does not lie inside its
// container (the contents of a scroll area, which scroll, excepted), or a caption (button, check
// box, option button, label, frame title) wider or taller than its control. Each entry names the
// control and what is wrong.
std::vector<std::string> ClippedControls(const QWidget& window);

// Writes window.grab() as `name`.png into $VELTO_SCREENSHOTS when that is set; the path
// written, or "" when no folder was asked for. Throws std::runtime_error when the file cannot
// be written.
std::string SaveScreenshot(QWidget& window, const std::string& name);

}  // namespace windowstest
