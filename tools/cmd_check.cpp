// velto-machine check DIR [--json] [--types LIST]: what a scan of the machine would flag and
// what the unattended run would schedule, without changing anything (tools/check).
// velto-machine check --all ...: the same on every Wine prefix the user has (CheckAll.h).
// Exit status: 0 when nothing is flagged, 1 when groups are flagged, 2 on errors.

#include <iostream>

#include "tools/CheckAll.h"
#include "tools/CheckRun.h"
#include "tools/TerminalProgress.h"
#include "tools/check/CheckReport.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "DIR|--all [--json] [--types TYPE,...]";
// Groups were flagged: the check itself went well.
constexpr int kFlagged = 1;

int Check(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--json", "--all"}, {"--types"});
    if (parsed.positional.size() != (parsed.has("--all") ? 0u : 1u)) {
        throw UsageError(std::string("usage: velto-machine check ") + kUsageText);
    }
    velto_check::Options options;
    if (parsed.value("--types")) {
        options.types = ParseTypes(parsed.values);
    }
    if (parsed.has("--all")) {
        return CheckAllPrefixes(options, parsed.has("--json"));
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    TellHolders(*machine, "check", std::cerr);
    TerminalProgress progress;
    if (progress.shown()) {
        options.progress = [&progress](const std::string& item) { progress.Show(item); };
    }
    const CheckOutcome outcome = RunCheckOnCurrentMachine(options);
    progress.Clear();
    if (!outcome.result) {
        std::cerr << "velto-machine check: " << outcome.error << "\n";
        return kUsage;
    }
    if (parsed.has("--json")) {
        velto_check::WriteJson(*outcome.result, machine->folder(), std::cout);
    } else {
        velto_check::WriteText(*outcome.result, machine->folder(), std::cout);
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine check: cannot write the output\n";
        return kUsage;
    }
    return outcome.result->groups.empty() ? kOk : kFlagged;
}

const RegisterCommand kCheck({"check", kUsageText,
                              "shows what a scan flags and what the unattended run would "
                              "schedule, and changes nothing; --all: on every Wine prefix found",
                              Check});

}  // namespace
}  // namespace velto_machine
