#pragma once
// The check of the current machine as the check command runs it, for one machine or for each
// prefix in turn: its options from the command line, and whatever stops it as one line.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/check/MachineCheck.h"

namespace velto_machine {

// The file types of every --types option ("dll,OCX", "*.vxd"); a UsageError for a type the
// main window does not offer.
std::vector<std::string> ParseTypes(const std::vector<std::pair<std::string, std::string>>& values);

struct CheckOutcome {
    std::optional<velto_check::Result> result;
    // Why the check stopped, when it did.
    std::string error;
};
CheckOutcome RunCheckOnCurrentMachine(const velto_check::Options& options);

// Groups the unattended run would repair: those it queues anything for.
std::size_t RepairedGroups(const velto_check::Result& result);

}  // namespace velto_machine
