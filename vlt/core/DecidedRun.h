// The unattended run's second half for an action list decided earlier: what the matching of a
// `vlt -S` run would leave behind (its entries on the action list, each with the copy its group
// keeps, and its notes in the action log) is put back, and the action report then runs exactly
// as it runs after that matching: backups, restart-time work, counts, the report, the time of
// the run and the restart. velto-machine apply carries out a plan this way, so that a plan
// applied later does what `vlt -S` would have done when the plan was made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vlt/core/VltState.h"

namespace vlt {

struct DecidedEntry {
    ActionEntry entry;
    // The copy its group keeps, which no entry may delete or overwrite by another path; "" for
    // none.
    std::string keeps;
};

struct DecidedRun {
    // The files the listing held.
    std::int32_t listed = 0;
    // What the matching wrote to the log, in its order (notes on groups left alone).
    std::vector<LogEntry> notes;
    std::vector<DecidedEntry> entries;
};

// Queues the run on the program's empty action list and runs the action report as the
// unattended run does (the command line must hold "-S"). Ends as DoActionReport ends: with
// nothing logged, it closes the program (ProgramEnded).
void CarryOut(const DecidedRun& run);

}  // namespace vlt
