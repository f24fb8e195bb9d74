#pragma once
// velto-machine check: the scan's findings on a machine, without changing it.
//
// The check is the program's own scan, run without windows: the core lists the machine's
// files and matches them exactly as the main window's Scan command does, feeding a review
// window that only records the tree. The same matching is then run once more as the
// unattended run (-S) runs it, and the repairs it queues on the action list are read back,
// never executed. The registry is a copy in memory for the whole check (settings the scan
// stores as it goes, and the modes switched on for it, never reach the machine), nothing is
// traced, and no file is written.
//
// The check compares copies as the unattended run does: "show all duplicates" is not used,
// and *.exe files are listed only when asked for. Every other setting (smart checking,
// recommendations, the compared fields, the file types, the excluded folders) is the
// machine's own.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/restart/Boot.h"
#include "vlt/core/DecidedRun.h"
#include "vlt/core/modVLTWork.h"

namespace velto_check {

// The file types, as the main window offers them (exe is never stored).
inline constexpr const char* kFileTypes[] = {"acm", "dll", "drv", "exe",
                                             "ocx", "tlb", "vbx", "vxd"};

struct Copy {
    std::string path;
    bool recommended = false;
    // The texts the review window shows for the copy (with, for a file of the platform, who
    // keeps it and what it is: kPlatformOwner, kPlatformFile).
    modVLTWork::FileProps props;
};

// One entry the unattended run would queue for the group.
struct Action {
    enum class Kind { Copy, Delete };
    Kind kind = Kind::Copy;
    std::string source;
    std::string target;  // "" for a deletion
    // Whether the file it replaces or deletes is backed up first (backups are on).
    bool backup = false;
    // The same waits for the machine's next start already (an interrupted run's): the
    // unattended run neither schedules it again nor takes it back, and its restart carries it
    // out.
    bool waiting = false;
    // For a deletion: the copy that takes over the deleted copy's use (its shared-library
    // count), the one its program loads from now on; "" for none.
    std::string useGoesTo;
};

// A group the review window would show: copies of one file name that differ (or, on a
// machine with a system folder per processor, those of one processor: "NAME (x86)").
struct Group {
    std::string name;
    // The copy the matching recommends; "" when it recommends none.
    std::string recommended;
    // The notes below the group in the review window ("COMPANY NAME DOES NOT MATCH", ...).
    std::vector<std::string> notes;
    std::vector<Copy> copies;
    // What the unattended run would schedule for the group, in order.
    std::vector<Action> unattended;
    // Why the unattended run leaves the group alone; "" when it repairs it.
    std::string leftAlone;
    // The unattended run's own entries for the group as it queued them (its backup markers
    // among them, each marker with the entry after it), and the notes it logged for the group:
    // what a plan records, to be carried out later exactly so (vlt/core/DecidedRun.h).
    std::vector<vlt::DecidedEntry> entries;
    std::vector<vlt::LogEntry> log;
    // Where the platform provides the library itself: what it loads (information only).
    std::optional<machine::LibraryChoice> loading;
};

struct Result {
    // The patterns listed ("*.dll;*.ocx").
    std::string filter;
    std::int32_t listed = 0;
    std::vector<Group> groups;
    // Entries of the unattended run that belong to no group shown (none is expected).
    std::vector<Action> otherActions;
    // Notes the unattended run logged of no group shown.
    std::vector<vlt::LogEntry> otherLog;
    // The Backup setting the entries were queued with.
    bool backup = false;
    // The moves and deletions that wait for the machine's next start, in the order it carries
    // them out; nullopt when they cannot be read.
    std::optional<std::vector<win32::BootOperation>> waiting;
};

struct Options {
    // The file types to list (of kFileTypes); the machine's stored choice when absent.
    std::optional<std::vector<std::string>> types;
    // Gets the progress window's item text as the work goes on.
    std::function<void(const std::string&)> progress;
    // Folders (Windows paths) left out of this check with everything below them, on top of
    // the machine's stored exclusions; never stored.
    std::vector<std::string> exclude;
    // When not empty: only the groups of these file names (any case) are reported, and only
    // their entries planned.
    std::vector<std::string> only;
};

// Whether `name` (any case) names the group: its whole name, or the file name of a group of one
// processor's copies ("A.DLL" names "A.DLL (x86)").
bool NamesGroup(const std::string& name, const Group& group);

// The scan could not run (no drive to list, a registry that cannot be read).
class CheckError : public std::runtime_error {
  public:
    explicit CheckError(const std::string& message) : std::runtime_error(message) {}
};

// Checks the current machine. Throws CheckError, or the run-time error that stopped the scan.
Result RunCheck(const Options& options);

}  // namespace velto_check
