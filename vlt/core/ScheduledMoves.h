// What the machine's next start will do: the moves and deletions waiting in wininit.ini and in
// the pending-rename list. A backup that the restore window scheduled is moved back over its
// original then, so it must neither be scheduled a second time nor be sent to the Recycle Bin
// before; and a group of copies that the start will change is not repaired again by the
// automatic mode, which would decide on files that are about to be replaced.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/restart/Boot.h"

namespace vlt {

class ScheduledMoves {
  public:
    // The moves waiting in wininit.ini and in the pending-rename list; nullopt (and a trace
    // line) when they cannot be read, so that nobody takes "unknown" for "none".
    static std::optional<ScheduledMoves> Read();

    explicit ScheduledMoves(std::vector<win32::BootOperation> moves) : moves_(std::move(moves)) {}

    // Whether a scheduled move takes this file (a Windows path, any case) somewhere else.
    bool MovesAway(const std::string& path) const;
    // The source of a scheduled move that replaces this file, when one does.
    std::optional<std::string> MovedOntoFrom(const std::string& path) const;
    // Why the automatic repair leaves the group of `name` in `folders` alone: the first of its
    // copies that a scheduled move or deletion will change. nullopt when none will.
    std::optional<std::string> Waits(const std::string& name,
                                     std::span<const std::string> folders) const;

    const std::vector<win32::BootOperation>& moves() const { return moves_; }

  private:
    std::vector<win32::BootOperation> moves_;
};

}  // namespace vlt
