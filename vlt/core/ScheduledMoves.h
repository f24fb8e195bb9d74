// What the machine's next start will do: the moves and deletions waiting in wininit.ini and in
// the pending-rename list. A backup that the restore window scheduled is moved back over its
// original then, so it must neither be scheduled a second time nor be sent to the Recycle Bin
// before. And the automatic repair of a group whose copies the start will change otherwise
// than the repair itself would (a restore waits, or the user's own choices of a run that was
// not restarted) is not queued: it would be decided on files about to be replaced. A waiting
// move the repair makes too (an interrupted run's) is taken as its own: not scheduled twice,
// and carried out by the restart the run ends with.
#pragma once

#include <array>
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
    // Why the automatic repair that queued `queued` for the group of `name` in `folders` must
    // leave it alone: the first of its copies that a scheduled move or deletion will change
    // and that no queued entry changes alike (a copy of the same bytes onto it, its deletion).
    // nullopt when there is none.
    std::optional<std::string> Unforeseen(const std::string& name,
                                          std::span<const std::string> folders,
                                          std::span<const std::array<std::string, 3>> queued) const;

  private:
    std::vector<win32::BootOperation> moves_;
};

}  // namespace vlt
