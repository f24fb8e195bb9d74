#pragma once
// Ending Windows on the emulated machine. Nothing here ever reaches the host's own power
// state: ExitWindowsEx only records what was asked. A restart is carried out as a start of
// the machine (MachineStart.h) when the program ends and calls RunPendingRestart; shutting down,
// powering off and logging off only tell the program that it must end.
//
// The NT family refuses a shutdown or restart to a process that has not enabled the shutdown
// privilege. The emulated machine grants it: the program's only reason to restart is to carry
// out the moves it scheduled, and refusing would leave them undone without a word.

#include <optional>

#include "platform/restart/Boot.h"
#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr UINT EWX_LOGOFF = 0x00;
inline constexpr UINT EWX_SHUTDOWN = 0x01;
inline constexpr UINT EWX_REBOOT = 0x02;
inline constexpr UINT EWX_FORCE = 0x04;
inline constexpr UINT EWX_POWEROFF = 0x08;
inline constexpr UINT EWX_FORCEIFHUNG = 0x10;

// Records the request (process-wide) and succeeds, as the real call does before the system
// goes down. The reserved argument is ignored, as Windows ignores it.
bool ExitWindowsEx(UINT uFlags, DWORD dwReserved);

struct ExitRequest {
    // The flags of the latest call.
    UINT flags = EWX_LOGOFF;
    // Any call asked for a restart; a later shut down or log off does not take that back,
    // because the scheduled moves still have to be carried out.
    bool restart = false;
};

// What was asked since the program started (or since the last ClearExitRequest); nullopt when
// nothing was: the program need not end.
std::optional<ExitRequest> PendingExitRequest();
void ClearExitRequest();

// The program calls this as it ends: when a restart was requested, the current machine is
// started (its scheduled moves carried out; RestartMachine) and the report comes back;
// otherwise nothing happens. The request is used up either way, so a second call does nothing.
std::optional<BootReport> RunPendingRestart(const BootPrinter& print = {},
                                            BootKeep keep = BootKeep::Everything);

}  // namespace win32
