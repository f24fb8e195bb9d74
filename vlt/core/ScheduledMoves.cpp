#include "vlt/core/ScheduledMoves.h"

#include <algorithm>

#include "controls/file/QzFile.h"
#include "platform/automation/Text.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/ntdll/LastError.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"

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

std::optional<std::string> ScheduledMoves::Unforeseen(
    const std::string& name, std::span<const std::string> folders,
    std::span<const std::array<std::string, 3>> queued) const {
    Qz_File::QzFile& file = QzFile1();
    const auto foreseen = [&](const win32::BootOperation& move) {
        return std::any_of(queued.begin(), queued.end(), [&](const auto& entry) {
            if (move.target) {
                return entry[0] == "1" && automation::EqualsIgnoreCase(entry[2], *move.target) &&
                       file.CopyPendingOnRestart(entry[1], entry[2]);
            }
            return entry[0] == "2" && automation::EqualsIgnoreCase(entry[1], move.source);
        });
    };
    for (const std::string& folder : folders) {
        const std::string path = folder + name;
        for (const win32::BootOperation& move : moves_) {
            const bool touches = automation::EqualsIgnoreCase(move.source, path) ||
                                 (move.target && automation::EqualsIgnoreCase(*move.target, path));
            if (touches && !foreseen(move)) {
                return "a move waiting for the machine's next start changes " + path +
                       ", so the copies are judged again after the start";
            }
        }
    }
    return std::nullopt;
}

}  // namespace vlt
