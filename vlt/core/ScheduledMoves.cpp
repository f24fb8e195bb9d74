#include "vlt/core/ScheduledMoves.h"

#include <algorithm>

#include "platform/automation/Text.h"
#include "platform/restart/Boot.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/ntdll/LastError.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/TraceScope.h"

namespace vlt {

std::optional<ScheduledMoves> ScheduledMoves::Read() {
    TraceScope trace("ScheduledMoves.Read");
    // What the running action list holds back is part of what the restart will do.
    CommitCurrentBatch();
    const auto moves = win32::ScheduledStartupMoves();
    if (!moves) {
        Trace("The moves scheduled for the restart cannot be read: " +
              win32::DescribeWin32Error(win32::GetLastError()));
        return std::nullopt;
    }
    std::vector<std::string> sources;
    for (const win32::BootOperation& move : *moves) {
        if (move.target) {
            sources.push_back(move.source);
        }
    }
    return ScheduledMoves(std::move(sources));
}

bool ScheduledMoves::MovesAway(const std::string& path) const {
    return std::any_of(sources_.begin(), sources_.end(), [&](const std::string& source) {
        return automation::EqualsIgnoreCase(source, path);
    });
}

}  // namespace vlt
