#include "tools/CheckRun.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "platform/automation/Errors.h"
#include "tools/velto-machine-commands.h"
#include "vlt/core/QzBase.h"

namespace velto_machine {

std::vector<std::string> ParseTypes(
    const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> types;
    for (const auto& [option, list] : values) {
        if (option != "--types") {
            continue;
        }
        std::istringstream items(list);
        for (std::string type; std::getline(items, type, ',');) {
            for (char& c : type) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (type.starts_with("*.")) {
                type.erase(0, 2);
            }
            const auto known = std::find(std::begin(velto_check::kFileTypes),
                                         std::end(velto_check::kFileTypes), type);
            if (known == std::end(velto_check::kFileTypes)) {
                throw UsageError("unknown file type '" + type +
                                 "' (the types are acm dll drv exe ocx tlb vbx vxd)");
            }
            types.push_back(type);
        }
    }
    if (types.empty()) {
        throw UsageError("--types needs at least one of acm dll drv exe ocx tlb vbx vxd");
    }
    return types;
}

CheckOutcome RunCheckOnCurrentMachine(const velto_check::Options& options) {
    CheckOutcome outcome;
    try {
        outcome.result = velto_check::RunCheck(options);
    } catch (const velto_check::CheckError& e) {
        outcome.error = e.what();
    } catch (const automation::Error& e) {
        outcome.error = "the scan stopped: run-time error " + std::to_string(e.Number()) + ": " +
                        e.Description();
    } catch (const vlt::ProgramEnded&) {
        outcome.error = "the scan ended the program";
    } catch (const vlt::ProgramAborted& aborted) {
        outcome.error = "the scan was aborted: " + aborted.error.Description();
    }
    return outcome;
}

std::size_t RepairedGroups(const velto_check::Result& result) {
    return static_cast<std::size_t>(
        std::count_if(result.groups.begin(), result.groups.end(),
                      [](const velto_check::Group& group) { return !group.unattended.empty(); }));
}

}  // namespace velto_machine
