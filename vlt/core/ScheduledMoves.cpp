#include "vlt/core/ScheduledMoves.h"

#include <algorithm>

#include "platform/automation/Text.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/ntdll/LastError.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/TraceScope.h"

namespace vlt {

std::optional<ScheduledMoves> ScheduledMoves::Read() {
    TraceScope trace("ScheduledMoves.Read");
    // What the running action list holds back is part of what the restart will do.
    CommitCurrentBatch();
    auto moves = win32::ScheduledStartupMoves();
    if (!moves) {
        Trace("The moves scheduled for the restart cannot be read: " +
              win32::DescribeWin32Error(win32::GetLastError()));
        return std::nullopt;
    }
    return ScheduledMoves(std::move(*moves));
}

bool ScheduledMoves::MovesAway(const std::string& path) const {
    return std::any_of(moves_.begin(), moves_.end(), [&](const win32::BootOperation& move) {
        return move.target && automation::EqualsIgnoreCase(move.source, path);
    });
}

std::optional<std::string> ScheduledMoves::MovedOntoFrom(const std::string& path) const {
    for (const win32::BootOperation& move : moves_) {
        if (move.target && automation::EqualsIgnoreCase(*move.target, path)) {
            return move.source;
        }
    }
    return std::nullopt;
}

std::optional<std::string> ScheduledMoves::Waits(const std::string& name,
                                                 std::span<const std::string> folders) const {
    for (const std::string& folder : folders) {
        const std::string path = folder + name;
        for (const win32::BootOperation& move : moves_) {
            if (automation::EqualsIgnoreCase(move.source, path) ||
                (move.target && automation::EqualsIgnoreCase(*move.target, path))) {
                return "a move waiting for the machine's next start changes " + path +
                       ", so the copies are judged again after the start";
            }
        }
    }
    return std::nullopt;
}

}  // namespace vlt
