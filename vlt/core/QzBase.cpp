#include "vlt/core/QzBase.h"

#include <new>
#include <stdexcept>

#include "controls/debug/QzDebug.h"
#include "platform/automation/Errors.h"
#include "platform/dialogs/Clock.h"
#include "vlt/core/GlobalControls.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

namespace vlt {

void End() {
    throw ProgramEnded{};
}

void RunEventHandler(const std::function<void()>& handler) {
    std::exception_ptr failure;
    try {
        handler();
        return;
    } catch (const ProgramEnded&) {
        // The orderly close has unloaded every form; with none left the event loop ends.
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

}  // namespace QzBase
