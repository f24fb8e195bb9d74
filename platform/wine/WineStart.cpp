// The start of a Wine prefix: Wine's own wineboot -r carries out the moves scheduled for it
// (the [Rename] lines of C:\windows\wininit.ini, then PendingFileRenameOperations), as
// Windows does at its start. Wine says nothing about each move, so every move is checked
// afterwards on the files: a move is done when its source is gone and its target is there, a
// deletion when its source is gone.
#include <string>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/restart/Boot.h"
#include "platform/restart/RestartMoves.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/ntdll/LastError.h"
#include "platform/wine/WineCommands.h"
#include "platform/wine/WinePrefix.h"

namespace wine {
namespace {

bool Exists(const std::string& path) {
    return win32::GetFileAttributesA(path) != win32::INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::optional<bool> WineKind::StartOnHost(const Printer& print) const {
    const auto current = machine::CurrentMachine();
    if (!current) {
        print("no machine to start");
        return true;
    }
    const auto scheduled = win32::ScheduledStartupMoves();
    if (!scheduled) {
        print("cannot tell what waits for the start: " +
              win32::DescribeWin32Error(win32::GetLastError()));
        return true;
    }
    const std::vector<win32::BootOperation>& planned = *scheduled;
    if (planned.empty()) {
        print("nothing to carry out");
        return false;
    }
    // A start that could not run has left every move undone: a failure, said with what waits.
    if (!WineProgramInstalled("wineboot")) {
        const std::string moves =
            planned.size() == 1
                ? std::string("the scheduled move still waits")
                : "the " + std::to_string(planned.size()) + " scheduled moves still wait";
        print("Wine is not installed here, so the prefix was not started: " + moves +
              "; they are carried out at the prefix's next start, or with: " + startCommand());
        for (const win32::BootOperation& move : planned) {
            print(move.What() + ": waits");
        }
        return true;
    }
    print("starting the prefix: " + startCommand());
    const WineRun run = RunInPrefix(prefix_, {"wineboot", "-r"});
    WaitForWineserver(prefix_);
    bool failed = false;
    if (run.status != 0) {
        print("wineboot -r ended with status " + std::to_string(run.status));
        failed = true;
    }
    for (const win32::BootOperation& move : planned) {
        std::string problem;
        if (Exists(move.source)) {
            problem = move.source + " is still there";
        } else if (move.target && !Exists(*move.target)) {
            problem = *move.target + " is missing";
        }
        failed = failed || !problem.empty();
        print(move.What() + (problem.empty() ? ": done" : ": not carried out (" + problem + ")"));
    }
    if (const auto left = win32::ReadPendingRenames(); left && !left->empty()) {
        print(std::string(win32::kPendingFileRenameOperations) + " still lists " +
              std::to_string(left->size()) + " operations");
        failed = true;
    }
    return failed;
}

}  // namespace wine
