// velto-machine check DIR [--json] [--types LIST] [--exclude FOLDER]... [--only NAME]...
// [--plan FILE] [-q|-v]: what a scan of the machine would flag and what the unattended run
// would schedule, without changing anything (tools/check); --plan keeps what the unattended
// run would do as a plan for velto-machine apply (tools/check/Plan.h).
// velto-machine check --all ...: the same on every Wine prefix the user has (CheckAll.h).
// Exit status: 0 when nothing is flagged, 1 when groups are flagged, 2 on errors.

#include <algorithm>
#include <cstring>
#include <iostream>

#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/Paths.h"
#include "tools/CheckAll.h"
#include "tools/CheckRun.h"
#include "tools/TerminalProgress.h"
#include "tools/check/CheckReport.h"
#include "tools/check/Plan.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText =
    "DIR|--all [--json] [--types TYPE,...] [--exclude FOLDER]... [--only NAME]... "
    "[--plan FILE] [-q|-v]";
// Groups were flagged: the check itself went well.
constexpr int kFlagged = 1;

std::vector<std::string> ValuesOf(const ParsedArgs& parsed, const std::string& option) {
    std::vector<std::string> values;
    for (const auto& [name, value] : parsed.values) {
        if (name == option) {
            values.push_back(value);
        }
    }
    return values;
}

// A folder to leave out, given as a Windows path of the machine (C:\APPS) or as a host path
// on one of its drives (one with a "/" in it).
std::string MachineFolderOf(const std::string& given) {
    if (given.find('/') == std::string::npos) {
        return given;
    }
    const auto windows = win32::WindowsPathOf(std::filesystem::absolute(given));
    if (!windows) {
        throw UsageError("--exclude " + given + ": the folder is on none of the machine's drives");
    }
    return *windows;
}

void WritePlan(const velto_check::Result& result, const std::filesystem::path& machine,
               const velto_check::Options& options, const std::string& file) {
    const velto_check::Plan plan = velto_check::MakePlan(result, machine, options.exclude);
    if (const int err = win32::WriteHostFileAtomically(file, velto_check::PlanJson(plan));
        err != 0) {
        throw std::runtime_error("the plan cannot be written to " + file + " (" +
                                 std::strerror(err) + ")");
    }
}

int Check(const std::vector<std::string>& args) {
    const ParsedArgs parsed =
        ParseArgs(args, {"--json", "--all", "-q", "--quiet", "-v", "--verbose"},
                  {"--types", "--exclude", "--only", "--plan"});
    const bool all = parsed.has("--all");
    const bool quiet = parsed.has("-q") || parsed.has("--quiet");
    const bool verbose = parsed.has("-v") || parsed.has("--verbose");
    const bool json = parsed.has("--json");
    if (parsed.positional.size() != (all ? 0u : 1u)) {
        throw UsageError(std::string("usage: velto-machine check ") + kUsageText);
    }
    if (quiet && (verbose || json)) {
        throw UsageError("-q prints nothing but errors: it goes with neither -v nor --json");
    }
    const auto plan = parsed.value("--plan");
    if (all && (plan || parsed.value("--exclude"))) {
        throw UsageError("--plan and --exclude are for one machine, not for --all");
    }
    if (all && (quiet || verbose)) {
        throw UsageError("-q and -v are for one machine: --all shows each prefix as check does");
    }
    velto_check::Options options;
    if (parsed.value("--types")) {
        options.types = ParseTypes(parsed.values);
    }
    options.only = ValuesOf(parsed, "--only");
    if (all) {
        return CheckAllPrefixes(options, json);
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    for (const std::string& folder : ValuesOf(parsed, "--exclude")) {
        options.exclude.push_back(MachineFolderOf(folder));
    }
    TellHolders(*machine, "check", std::cerr);
    TerminalProgress progress;
    if (progress.shown() && !quiet) {
        options.progress = [&progress](const std::string& item) { progress.Show(item); };
    }
    const CheckOutcome outcome = RunCheckOnCurrentMachine(options);
    progress.Clear();
    if (!outcome.result) {
        std::cerr << "velto-machine check: " << outcome.error << "\n";
        return kUsage;
    }
    const velto_check::Result& result = *outcome.result;
    for (const std::string& name : options.only) {
        if (!std::any_of(result.groups.begin(), result.groups.end(),
                         [&](const auto& group) { return velto_check::NamesGroup(name, group); })) {
            std::cerr << "velto-machine check: note: no group named " << name << " is flagged\n";
        }
    }
    if (plan) {
        try {
            WritePlan(result, machine->folder(), options, *plan);
        } catch (const velto_check::CheckError& e) {
            std::cerr << "velto-machine check: " << e.what() << "\n";
            return kUsage;
        }
    }
    if (json) {
        velto_check::WriteJson(result, machine->folder(), std::cout);
    } else if (!quiet) {
        velto_check::WriteText(result, machine->folder(), std::cout, verbose);
        if (plan) {
            std::cout << "\nPlan written to " << *plan << " (" << result.groups.size()
                      << (result.groups.size() == 1 ? " group" : " groups")
                      << "); carry it out with: velto-machine apply " << parsed.positional[0] << " "
                      << *plan << "\n";
        }
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine check: cannot write the output\n";
        return kUsage;
    }
    return result.groups.empty() ? kOk : kFlagged;
}

const RegisterCommand kCheck({"check", kUsageText,
                              "shows what a scan flags and what the unattended run would "
                              "schedule, and changes nothing; --plan: keeps that as a plan for "
                              "apply; --all: on every Wine prefix found",
                              Check});

}  // namespace
}  // namespace velto_machine
