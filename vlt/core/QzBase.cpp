#include "vlt/core/QzBase.h"

#include <new>
#include <stdexcept>

#include "controls/about/QzAbout.h"
#include "controls/debug/QzDebug.h"
#include "controls/upgrade/QzUpgrade.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/App.h"
#include "platform/dialogs/Clock.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/inet/Inet.h"
#include "platform/win32/user32/ExitWindows.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace vlt {

void End() {
    throw ProgramEnded{};
}

void DoError(std::int32_t number, const std::string& text, const std::string& function,
             const std::string& location) {
    try {
        QzDebug1().DoError(number, text, function, location);
    } catch (const automation::Error& error) {
        throw ProgramAborted{error};
    }
}

void RunEventHandler(const std::function<void()>& handler) {
    std::exception_ptr failure;
    try {
        handler();
        return;
    } catch (const ProgramEnded&) {
        // The orderly close has unloaded every form; with none left the event loop ends.
        return;
    } catch (const ProgramAborted& aborted) {
        State().Abended = true;
        Qz_Debug::RunTimeErrorExit(aborted.error);
        return;
    } catch (const automation::Error&) {
        failure = std::current_exception();
    } catch (const std::runtime_error&) {
        failure = std::current_exception();
    } catch (const std::bad_alloc&) {
        failure = std::current_exception();
    }
    State().Abended = true;
    Qz_Debug::RunTimeErrorExit(AsRunTimeError(failure));
}

}  // namespace vlt

namespace QzBase {

void LoadControlHost(const std::string& abbreviation, bool showSplash) {
    vlt::TraceScope trace("QzBase.LoadControlHost");
    if (showSplash) {
        vlt::frmSplash().Show();
    }
    vlt::State().ProgramAbbreviation = abbreviation;
    vlt::TheGlobalControls().Load();
}

void Pause(double seconds) {
    vlt::TraceScope trace("QzBase.Pause");
    dialogs::Pause(seconds);
}

std::string LastSlash(const std::string& path) {
    vlt::TraceScope trace("QzBase.LastSlash");
    vlt::Trace("Adding Slash to: " + path);
    if (!path.empty() && path.back() == '\\') {
        return path;
    }
    return path + "\\";
}

bool PrepareUpdateCheck() {
    vlt::TraceScope trace("QzBase.PrepareUpdateCheck");
    const dialogs::AppObject& app = dialogs::App();
    try {
        // Created only to learn whether HTTP transfers can be made at all.
        automation::CreateObject(InetCtls::Inet::kProgID);
        auto upgrade =
            automation::CreateObjectAs<Qz_Upgrade::QzUpgrade>(Qz_Upgrade::QzUpgrade::kProgID);
        upgrade->SetPADFile(vlt::QzAbout1().PADFile());
        upgrade->SetMajor(std::to_string(app.Major()));
        upgrade->SetMinor(std::to_string(app.Minor()));
        upgrade->SetRevision(std::to_string(app.Revision()));
        vlt::State().UpdateCheck = std::move(upgrade);
        return true;
    } catch (const automation::Error& error) {
        vlt::Trace("Update check not possible: " + error.Description());
    }
    dialogs::MsgBox(
        "Microsoft Internet Explorer 5.0 or above does not appear to be installed or there is "
        "some other problem with a component.\r\n\r\nUnable to automatically update.\r\n\r\n"
        "Please Click on the " +
            app.CompanyName() + " button on the next screen to check the website directly.",
        dialogs::vbInformation, std::string("Cannot automatically check for update."));
    vlt::QzAbout1().ShowAbout();
    return false;
}

void ReleaseUpdateCheck() {
    vlt::TraceScope trace("QzBase.ReleaseUpdateCheck");
    vlt::State().UpdateCheck.reset();
}

void CloseProgram() {
    vlt::TraceScope trace("QzBase.CloseProgram");
    vlt::VltState& state = vlt::State();
    if (state.Closing) {
        return;
    }
    state.Closing = true;
    if (state.globalControls) {
        state.globalControls->Unload();
    }
    if (state.windows.unloadAllForms) {
        state.windows.unloadAllForms();
    }
    vlt::End();
}

void EndIfWindowsIsEnding() {
    if (vlt::State().Closing || !win32::PendingExitRequest()) {
        return;
    }
    vlt::Trace("Windows is ending the session: closing");
    CloseProgram();
}

}  // namespace QzBase
