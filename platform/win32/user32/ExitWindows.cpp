#include "platform/win32/user32/ExitWindows.h"

#include <mutex>

#include "platform/restart/MachineStart.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

struct State {
    std::mutex mutex;
    std::optional<ExitRequest> request;
};

State& Shared() {
    static State state;
    return state;
}

}  // namespace

bool ExitWindowsEx(UINT uFlags, DWORD) {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    const bool restartBefore = state.request && state.request->restart;
    state.request = ExitRequest{uFlags, restartBefore || (uFlags & EWX_REBOOT) != 0};
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::optional<ExitRequest> PendingExitRequest() {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    return state.request;
}

void ClearExitRequest() {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    state.request.reset();
}

std::optional<BootReport> RunPendingRestart(const BootPrinter& print, BootKeep keep) {
    {
        State& state = Shared();
        std::lock_guard lock(state.mutex);
        if (!state.request || !state.request->restart) {
            return std::nullopt;
        }
        state.request.reset();
    }
    return RestartMachine(print, keep);
}

}  // namespace win32
