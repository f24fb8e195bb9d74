// The small shared procedures of start-up and shut-down: loading the control host, a pause
// that keeps the windows alive, folder-name normalising, the update-check glue and the
// orderly close.
//
// Ending the program. The old runtime's End statement stopped the program where it stood:
// nothing after it ran. End() does the same by throwing ProgramEnded, which is deliberately
// not a std::exception, so no error handling of the program's own (Steps) ever catches it.
// Whatever runs the program's code catches it at the top: main for the start-up, and
// RunEventHandler for every event handler of a window, so that it never unwinds through the
// window system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/automation/Errors.h"

namespace vlt {

struct ProgramEnded {};

// Stops the program here (see above).
[[noreturn]] void End();

// The user chose Abort, or DoError explained an error the program cannot go on from: the
// program ends with that run-time error. Like ProgramEnded it is no std::exception, so no
// enclosing step offers the error a second time on its way up (each would ask again, and an
// Ignore there would carry on a run the user had ended).
struct ProgramAborted {
    automation::Error error;
};

// QzDebug's DoError for the program's own code: explains the error, offers the problem
// report, seals the trace file, then ends the program (ProgramAborted).
[[noreturn]] void DoError(std::int32_t number, const std::string& text, const std::string& function,
                          const std::string& location);

// Runs a window's event handler: an End inside it stops the handler (the forms are already
// unloaded, so the event loop ends); an aborted program or an unhandled run-time error shows
// the platform's run-time error box and marks the run as abended, which ends the event loop
// with a non-zero exit status.
void RunEventHandler(const std::function<void()>& handler);

}  // namespace vlt

namespace QzBase {

// Shows the splash window when asked, stores the program abbreviation and loads the control
// host GlobalControls.
void LoadControlHost(const std::string& abbreviation, bool showSplash);
// Waits `seconds` while the windows keep processing their events.
void Pause(double seconds);
// The path with a trailing "\" (unchanged when it has one).
std::string LastSlash(const std::string& path);
// Finds out whether HTTP transfers are possible and, if so, creates the update-check control
// (State().UpdateCheck) for the program's PAD file and version. Otherwise explains why not,
// shows the About window (whose button leads to the maker's web site) and returns False.
bool PrepareUpdateCheck();
// Releases the update-check control.
void ReleaseUpdateCheck();
// The orderly close: unloads the control host and every form, then ends the program. A
// second call returns at once.
void CloseProgram();
// Windows is going down (a shut down, power off, log off or restart was asked for): the
// program closes in order, as it does when Windows ends the session. The event loop calls it;
// it does nothing while no such request is pending.
void EndIfWindowsIsEnding();

}  // namespace QzBase
