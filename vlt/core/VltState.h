// The program's shared state: everything the core modules and the windows hand to each other
// during one run. It is one struct so that a test can start from a clean program with
// ResetState() instead of chasing globals through several files.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/automation/Variant.h"
#include "vlt/core/WindowInterfaces.h"

namespace automation {
class Object;
}
namespace Qz_About {
class QzAbout;
}
namespace Qz_Debug {
class QzDebug;
}
namespace Qz_File {
class QzFile;
}
namespace Qz_Registry {
class QzRegistry;
}

namespace vlt {

class ActionBatch;
class GlobalControls;

// One action-list entry: the kind as decimal text ("1" copy, "2" delete, "4" backups on,
// "5" backups off), the source, the target.
using ActionEntry = std::array<std::string, 3>;
// One action-log entry: a path, the code as decimal text, a second path or a message.
using LogEntry = std::array<std::string, 3>;

// One operation this run scheduled for the restart, as handed to QzFile's MoveOnRestart: the
// source is moved over the target (an empty target: deleted). A copy's source is its
// temporary copy, which goes too when the operation is taken back.
struct RestartChange {
    std::string source;
    std::string target;
    bool temporarySource = false;
    // False while it is held in the batch of the running action list (ActionBatch.h), not
    // yet written.
    bool committed = true;
};

// A shared-library count this run changed: its key below HKEY_LOCAL_MACHINE, the value name
// and what was stored before (Empty: nothing).
struct CountChange {
    std::string key;
    std::string path;
    automation::Variant before;
    // False while the batch of the running action list keeps the new count, not yet stored.
    bool committed = true;
};

struct VltState {
    // --- Start-up and control host ---
    // The controls of GlobalControls; set while it is loaded, null before and after, so a
    // control call after the orderly close is a fault that shows at once.
    Qz_About::QzAbout* QzAbout1 = nullptr;
    Qz_Debug::QzDebug* QzDebug1 = nullptr;
    Qz_Registry::QzRegistry* QzRegistry1 = nullptr;
    Qz_File::QzFile* QzFile1 = nullptr;
    // The control host; it keeps the controls the references above point to.
    std::shared_ptr<GlobalControls> globalControls;
    // "VLT": names the trace file.
    std::string ProgramAbbreviation;
    // The program's own command line (what the old runtime called Command$): the arguments
    // left after the host options, joined by blanks.
    std::string CommandLine;
    // QzDebug's CommandLineList() as it was at start-up: upper-cased parameters.
    std::vector<std::string> CommandLineList;
    // The update-check control while a check runs.
    std::shared_ptr<automation::Object> UpdateCheck;
    // Set by the orderly close so that it runs once.
    bool Closing = false;
    // An unhandled run-time error ended the program (its exit status is then non-zero).
    bool Abended = false;
    // The run could not do its work on this machine (its registry cannot be used): it ended
    // without changing anything, with exit status 2.
    bool MachineUnusable = false;

    // --- Scan and matching ---
    // Whether *.exe files are scanned: chosen anew in every run, never stored.
    bool EXE = false;
    bool ScanSucceeded = false;
    // When the action list was decided by an earlier run (a plan, DecidedRun.h): the files its
    // listing held, which the report gives as scanned; QzFile's own count otherwise.
    std::optional<std::int32_t> DecidedListing;
    // "|path||path|...": the recommended copy of every matched group, between bars.
    std::string RecommendedList;

    // --- Action list and log ---
    // Entries numbered from 0; only the first ActionCount are live.
    std::vector<ActionEntry> ActionList;
    // Beside each entry of ActionList: the copy its group keeps (the recommended copy, or the
    // target of its move), which no entry may delete or overwrite by another path; empty for
    // an entry that keeps none (a deletion the user asked for).
    std::vector<std::string> ActionKeeps;
    // What CopyAround and CopyToSystemDir keep while they queue a group's entries.
    std::string QueuingKeeps;
    std::int32_t ActionCount = 0;
    std::int32_t NextAction = 0;
    bool BackupActive = false;
    // The Backup setting as a matching pass read it, once, while that pass queues entries
    // untraced (traced, each entry reads it, and the trace shows each reading).
    std::optional<bool> PassBackup;
    // Sources whose copy could not be scheduled during this execution: a move must not then
    // delete its only source.
    std::vector<std::string> UncopiedSources;
    // Entries numbered from 1: entry k is ActionLog[k - 1]; LogCount entries are live.
    std::vector<LogEntry> ActionLog;
    std::int32_t LogCount = 0;
    bool RestartNeeded = false;
    // What this run changed for the restart and in the counts, oldest first: a run that ends
    // before its report is written takes back exactly these (modVLTWork's
    // WithdrawRestartChanges).
    std::vector<RestartChange> RestartChanges;
    std::vector<CountChange> CountChanges;
    bool ChangesApplied = false;
    // The action report this run wrote and offered (a Windows path); empty until then.
    std::string ReportFile;
    // While the action list runs: its restart-time work not yet committed (ActionBatch.h).
    std::shared_ptr<ActionBatch> Batch;

    // --- Windows, as the core sees them ---
    Windows windows;
};

// The state of this run.
VltState& State();
// Back to the state of a program that has just started (windows and controls forgotten).
void ResetState();

}  // namespace vlt
