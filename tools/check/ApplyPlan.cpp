#include "tools/check/ApplyPlan.h"

#include <algorithm>

#include "vlt/core/modVLTProperties.h"

namespace velto_check {
namespace {

// Two names of one folder; a name that cannot be resolved names no folder the plan was for.
bool SameFolder(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) {
        return true;
    }
    std::error_code ecA;
    std::error_code ecB;
    const auto canonicalA = std::filesystem::weakly_canonical(a, ecA);
    const auto canonicalB = std::filesystem::weakly_canonical(b, ecB);
    return !ecA && !ecB && canonicalA == canonicalB;
}

// Every file of the group that is not as the plan saw it, in words.
std::string WhatChanged(const PlannedGroup& group) {
    std::string changed;
    for (const PlannedFile& file : group.files) {
        std::string error;
        const auto now = FingerprintOf(file.path, error);
        const std::string what = now ? now->ChangesSince(file.print) : error;
        if (!what.empty()) {
            changed += (changed.empty() ? "" : "; ") + file.path + " (" + what + ")";
        }
    }
    return changed;
}

}  // namespace

std::size_t PlanState::ChangedGroups() const {
    return static_cast<std::size_t>(std::count_if(
        groups.begin(), groups.end(), [](const GroupState& g) { return !g.changed.empty(); }));
}

PlanState HoldAgainst(const Plan& plan, const std::filesystem::path& machine) {
    PlanState state;
    if (!SameFolder(plan.machine, machine)) {
        state.refused = "the plan was made for the machine in " + plan.machine + ", not for " +
                        machine.string();
        return state;
    }
    // Backups are taken, or not, by the setting as it stands when the entries run.
    if (modVLTProperties::Backup() != plan.backup) {
        state.refused = std::string("the plan was made with backups ") +
                        (plan.backup ? "on" : "off") + ", and they are " +
                        (plan.backup ? "off" : "on") +
                        " now; make the plan again (velto-machine check DIR --plan FILE)";
        return state;
    }
    for (const PlannedGroup& group : plan.groups) {
        state.groups.push_back({&group, WhatChanged(group)});
    }
    return state;
}

std::string ChangedNote(const GroupState& state) {
    return state.group->name + ": not repaired, changed since the plan was made: " + state.changed;
}

vlt::DecidedRun RunOf(const Plan& plan, const PlanState& state) {
    vlt::DecidedRun run;
    run.listed = plan.listed;
    run.notes = plan.notes;
    bool backup = false;
    for (const GroupState& group : state.groups) {
        const PlannedGroup& planned = *group.group;
        run.notes.insert(run.notes.end(), planned.notes.begin(), planned.notes.end());
        if (!group.changed.empty()) {
            run.notes.push_back({planned.name, "1", ChangedNote(group)});
            continue;
        }
        for (const PlannedEntry& entry : planned.entries) {
            const std::string& kind = entry.decided.entry[0];
            const bool marker = kind == "4" || kind == "5";
            if (!marker && entry.backup != backup) {
                run.entries.push_back({{entry.backup ? "4" : "5", "", ""}, ""});
            }
            backup = entry.backup;
            run.entries.push_back(entry.decided);
        }
    }
    return run;
}

}  // namespace velto_check
