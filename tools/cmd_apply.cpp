// velto-machine apply DIR FILE [--dry-run]: carries out a plan that check --plan wrote, through
// the unattended run's own action code (vlt/core/DecidedRun.h): backups, the work scheduled
// for the machine's start, shared-library counts, the report, then the start itself, as
// `vlt -S` ends. A group whose files changed since the plan was made is left alone and said so
// (tools/check/ApplyPlan.h). --dry-run says what would be done and writes nothing.
// Exit status: 0 when the whole plan was carried out, 1 when a group was left alone because
// its files changed, 2 when the plan or the machine cannot be used, 3 as vlt's: the run closed
// in order but the start did not carry out every move it was to.

#include <cstring>
#include <iostream>

#include "platform/restart/Boot.h"
#include "platform/win32/advapi32/RegistryCopy.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tools/check/ApplyPlan.h"
#include "tools/check/CheckReport.h"
#include "tools/check/HeadlessProgram.h"
#include "tools/velto-machine-commands.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/RunSummary.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "DIR FILE [--dry-run]";
constexpr int kLeftAlone = 1;
constexpr int kStartFailed = 3;

velto_check::Plan ReadPlanFile(const std::string& file) {
    std::string text;
    if (const int err = win32::host::ReadWholeFile(file, text); err != 0) {
        throw UsageError(file + " cannot be read (" + std::strerror(err) + ")");
    }
    try {
        return velto_check::ReadPlan(text);
    } catch (const velto_check::PlanError& e) {
        throw UsageError(file + ": " + e.what());
    }
}

void SayWhatIsDone(const velto_check::PlanState& state, std::ostream& out) {
    for (const velto_check::GroupState& group : state.groups) {
        const velto_check::PlannedGroup& planned = *group.group;
        out << planned.name << ": ";
        if (!group.changed.empty()) {
            out << "left alone, changed since the plan was made: " << group.changed << "\n";
            continue;
        }
        if (!planned.leftAlone.empty()) {
            out << "vlt -S leaves it alone: " << planned.leftAlone << "\n";
            continue;
        }
        out << (planned.entries.empty() ? "nothing to do\n" : "repaired:\n");
        for (const velto_check::PlannedEntry& entry : planned.entries) {
            const vlt::ActionEntry& e = entry.decided.entry;
            if (e[0] == "1" || e[0] == "2") {
                velto_check::Action action;
                action.kind = e[0] == "1" ? velto_check::Action::Kind::Copy
                                          : velto_check::Action::Kind::Delete;
                action.source = e[1];
                action.target = e[2];
                action.backup = entry.backup;
                out << "    " << velto_check::ActionText(action) << "\n";
            }
        }
    }
}

// The plan's run with the program loaded as the unattended run has it after its matching;
// false when the run ended on an error it could not go on from.
bool CarryOut(const velto_check::Plan& plan, const velto_check::PlanState& state) {
    vlt::State().CommandLine = "-S";
    try {
        vlt::CarryOut(velto_check::RunOf(plan, state));
    } catch (const vlt::ProgramEnded&) {
        // The report closes the program as it ends (with nothing to do, at once).
    } catch (const vlt::ProgramAborted& aborted) {
        std::cerr << "velto-machine apply: the run was aborted: " << aborted.error.Description()
                  << "\n";
        return false;
    }
    for (const std::string& line : vlt::RunSummary()) {
        std::cout << line << "\n";
    }
    return true;
}

int Apply(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--dry-run"}, {});
    if (parsed.positional.size() != 2) {
        throw UsageError(std::string("usage: velto-machine apply ") + kUsageText);
    }
    const bool dryRun = parsed.has("--dry-run");
    const velto_check::Plan plan = ReadPlanFile(parsed.positional[1]);
    // A dry run writes nothing, not even the lock.
    const auto machine =
        dryRun ? OpenToRead(parsed.positional[0]) : OpenToChange(parsed.positional[0], "apply");
    std::string error;
    if (dryRun && !win32::UseRegistryCopy(error)) {
        throw UsageError(error);
    }
    bool carried = true;
    std::size_t changed = 0;
    {
        velto_check::HeadlessProgram program;
        const velto_check::PlanState state = velto_check::HoldAgainst(plan, machine->folder());
        if (!state.refused.empty()) {
            throw UsageError(state.refused);
        }
        changed = state.ChangedGroups();
        std::cout << "Plan of " << plan.made << " for " << plan.machine << ": "
                  << plan.groups.size() << (plan.groups.size() == 1 ? " group" : " groups") << ", "
                  << changed << " of them changed since.\n";
        SayWhatIsDone(state, std::cout);
        if (dryRun) {
            std::cout << "Nothing was changed (--dry-run). apply backs up and schedules the "
                         "entries above as vlt -S does, writes the report, and starts the "
                         "machine to carry them out.\n";
            return changed > 0 ? kLeftAlone : kOk;
        }
        std::cout << std::flush;
        carried = CarryOut(plan, state);
    }
    std::cout << std::flush;
    // The start the run asked for, as vlt ends.
    const auto restart = win32::RunPendingRestart(
        [](const std::string& line) { std::cout << "restart: " << line << std::endl; },
        win32::BootKeep::Summary);
    if (!carried) {
        return kFailed;
    }
    if (restart && restart->failed) {
        std::cerr << "velto-machine apply: "
                  << (restart->failures > 0 ? "some of the moves scheduled for the start failed\n"
                                            : "the start did not carry out the moves scheduled "
                                              "for it; they still wait\n");
        return kStartFailed;
    }
    return changed > 0 ? kLeftAlone : kOk;
}

const RegisterCommand kApply({"apply", kUsageText,
                              "carries out a plan of check --plan as vlt -S would, leaving alone "
                              "each group whose files changed since; --dry-run: says what it "
                              "would do",
                              Apply});

}  // namespace
}  // namespace velto_machine
