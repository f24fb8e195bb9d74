#pragma once
// A plan held against the machine as it is now, and the unattended run's action list made of
// what still holds (velto-machine apply).
//
// A plan is carried out only on the machine it was made for, with backups on or off as they
// were then. A group any of whose files changed since (size, modification time or content;
// gone, or there now) is left alone whole: its entries are not queued, and a note in the
// report says why, where the unattended run's note on a group it leaves alone stands. Every
// other group's entries go on the action list as they are, with a backup marker added where a
// left-out group's marker no longer stands before an entry that was to be backed up.

#include <filesystem>
#include <string>
#include <vector>

#include "tools/check/Plan.h"
#include "vlt/core/DecidedRun.h"

namespace velto_check {

struct GroupState {
    const PlannedGroup* group = nullptr;
    // What changed since the plan was made ("C:\X\A.DLL (its content)"); "" when nothing did.
    std::string changed;
};

struct PlanState {
    // Why the plan cannot be carried out on this machine at all; "" when it can.
    std::string refused;
    std::vector<GroupState> groups;

    // Groups left alone because their files changed.
    std::size_t ChangedGroups() const;
};

// Holds the plan against the current machine (its folder `machine`, its settings, its files).
PlanState HoldAgainst(const Plan& plan, const std::filesystem::path& machine);

// The run to carry out: the notes and the entries of every group that still holds.
vlt::DecidedRun RunOf(const Plan& plan, const PlanState& state);

// The note of a group left alone because its files changed, as the report shows it.
std::string ChangedNote(const GroupState& state);

}  // namespace velto_check
