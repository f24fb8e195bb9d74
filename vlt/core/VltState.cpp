#include "vlt/core/VltState.h"

#include "platform/automation/Errors.h"

namespace vlt {
namespace {

// A window the program asks for but nobody installed: the old runtime's "Object variable not
// set", so the caller's error handling sees what it would have seen.
template <class T>
T& Installed(const std::shared_ptr<T>& window, const char* name) {
    if (!window) {
        automation::Raise(automation::ObjectVariableNotSet, name);
    }
    return *window;
}

template <class T>
T& Referenced(T* control, const char* name) {
    if (control == nullptr) {
        automation::Raise(automation::ObjectVariableNotSet, name);
    }
    return *control;
}

}  // namespace

VltState& State() {
    static VltState state;
    return state;
}

void ResetState() {
    State() = VltState{};
}

SplashWindow& frmSplash() {
    return Installed(State().windows.splash, "frmSplash");
}

ProgressWindow& frmStandBy() {
    return Installed(State().windows.standBy, "frmStandBy");
}

MainWindow& frmVelto() {
    return Installed(State().windows.main, "frmVelto");
}

ReviewWindow& frmDupSys() {
    return Installed(State().windows.review, "frmDupSys");
}

SaveDialog& CommonDialog() {
    return Installed(State().windows.commonDialog, "CommonDialog");
}

Qz_System_Info::QzSystemInfo& Sys1() {
    return Installed(State().windows.sysInfo, "QzSysInfo").Sys1();
}

Qz_About::QzAbout& QzAbout1() {
    return Referenced(State().QzAbout1, "QzAbout1");
}

Qz_File::QzFile& QzFile1() {
    return Referenced(State().QzFile1, "QzFile1");
}

Qz_Registry::QzRegistry& QzRegistry1() {
    return Referenced(State().QzRegistry1, "QzRegistry1");
}

Qz_Debug::QzDebug& QzDebug1() {
    return Referenced(State().QzDebug1, "QzDebug1");
}

}  // namespace vlt
