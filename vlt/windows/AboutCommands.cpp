#include "vlt/windows/AboutCommands.h"

#include <functional>
#include <string>

#include "controls/about/QzAbout.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/Dialogs.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/WindowInterfaces.h"

namespace vltwindows {
namespace {

void ShowAboutWindow(const char* what, const std::function<void()>& show) {
    try {
        show();
    } catch (const automation::Error& error) {
        vlt::Trace(std::string(what) + " not shown: " + error.Description());
        dialogs::MsgBox(std::string("The ") + what + " cannot be shown:\r\n" + error.Description(),
                        dialogs::vbExclamation);
    }
}

}  // namespace

void ShowAboutBox() {
    ShowAboutWindow("About box", [] { vlt::QzAbout1().ShowAbout(); });
}

void ShowLicenceAgreement() {
    ShowAboutWindow("licence agreement", [] { vlt::QzAbout1().ShowLicense(); });
}

}  // namespace vltwindows
