// velto-machine boot DIR: the machine's start, carrying out the moves and deletions scheduled
// for it (wininit.ini, then the pending list), one line per operation; a Wine prefix starts
// with Wine's wineboot -r, or, without Wine, is told which command carries the moves out; a
// Windows installation on a disk has its pending list carried out as its Session Manager
// would, unless it may only be checked (hibernated, read-only: exit status 2).
// Exit status 1 when any of them failed, or when the start could not run and moves still wait.

#include <iostream>

#include "platform/restart/MachineStart.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

int Boot(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {}, {});
    if (parsed.positional.size() != 1) {
        throw UsageError("usage: velto-machine boot DIR");
    }
    OpenToChange(parsed.positional[0], "boot");
    const win32::BootReport report = win32::StartMachine(
        [](const std::string& line) { std::cout << line << "\n"; }, win32::BootKeep::Summary);
    std::cout << std::flush;
    return report.failed ? kFailed : kOk;
}

const RegisterCommand kBoot({"boot", "DIR",
                             "starts the machine: carries out the moves and deletions "
                             "scheduled for its next start",
                             Boot});

}  // namespace
}  // namespace velto_machine
