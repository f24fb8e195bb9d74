#include "vlt/core/DecidedRun.h"

#include "vlt/core/TraceScope.h"
#include "vlt/core/modVLTFinalize.h"
#include "vlt/core/modVLTWorkActions.h"

namespace vlt {

void CarryOut(const DecidedRun& run) {
    TraceScope trace("DecidedRun.CarryOut");
    VltState& state = State();
    state.DecidedListing = run.listed;
    for (const LogEntry& note : run.notes) {
        modVLTWork::UpdateActionLog(note[0], std::stoi(note[1]), note[2]);
    }
    for (const DecidedEntry& decided : run.entries) {
        state.QueuingKeeps = decided.keeps;
        modVLTWork::AddNow(decided.entry[0], decided.entry[1], decided.entry[2]);
    }
    state.QueuingKeeps.clear();
    modVLTFinalize::DoActionReport();
}

}  // namespace vlt
