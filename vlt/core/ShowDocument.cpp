#include "vlt/core/ShowDocument.h"

#include <chrono>

#include "controls/registry/QzRegistry.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/win32/kernel32/Process.h"
#include "platform/win32/ntdll/Launcher.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace vlt {
namespace {

// An opener that finds nothing for the file ends within a moment; one that found a program
// may run on as long as that program does. Events keep flowing while it is watched.
constexpr int kWatchSteps = 30;
constexpr std::chrono::milliseconds kWatchStep{100};

// Why nothing shows the document, or "" when something (as far as can be told) does.
std::string WhyNotShown(const std::string& commandLine) {
    double processId = 0;
    try {
        processId = win32::Shell(commandLine, win32::vbNormalFocus);
    } catch (const automation::Error& error) {
        return "the program to show it cannot be started (" + error.Description() + ")";
    }
    for (int step = 0; step < kWatchSteps; ++step) {
        if (const auto status = win32::ExitStatusWithin(static_cast<long>(processId), kWatchStep)) {
            if (*status == 0) {
                return {};
            }
            return "no program on this desktop shows it (the opener gave up with status " +
                   std::to_string(*status) + ")";
        }
        dialogs::DoEvents();
    }
    return {};
}

}  // namespace

std::string OpenCommand(const std::string& extension) {
    TraceScope trace("ShowDocument.OpenCommand");
    const std::string registered = QzRegistry1().GetEXTCommandLine(extension);
    return registered.empty() ? std::string("xdg-open") : registered;
}

bool ShowDocument(const std::string& commandLine, const std::string& document,
                  const std::string& title) {
    TraceScope trace("ShowDocument.ShowDocument");
    const std::string why = WhyNotShown(commandLine);
    if (why.empty()) {
        return true;
    }
    Trace("Not shown: " + document + ": " + why);
    dialogs::MsgBox(document + " could not be opened: " + why +
                        ".\r\n\r\nOpen it with a program of your choice.",
                    dialogs::vbExclamation | dialogs::vbOKOnly, title);
    return false;
}

}  // namespace vlt
