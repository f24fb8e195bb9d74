// The backups of the backup folder and their restore at the machine's next start: what the
// restore window shows and schedules, and what velto-machine lists and restores from a
// terminal. Both go through here, so that a backup the one refuses the other refuses too.
//
// A restore is never done at once: the backup is scheduled to be moved over the path its name
// reads as (BackupNames.h) when the machine next starts. It is not scheduled when
//   - the backup no longer exists;
//   - a move of it waits already (scheduled twice, the second move would fail at the start);
//   - another backup is to be moved over the same file, already or earlier in the same request
//     (the second would destroy the first, which the start moves and then replaces);
//   - its name fits two places, or is a shortened name nothing reads back with certainty
//     (restored to the wrong place, it would overwrite another file);
//   - the folder it goes back into does not exist (the start makes no folders).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "vlt/core/BackupNames.h"
#include "vlt/core/ScheduledMoves.h"

namespace vlt {

struct BackupEntry {
    // The backup's file name in the backup folder.
    std::string name;
    // How the name reads on this machine.
    BackupReading reading;
};

struct BackupList {
    // The backup folder, ending in "\".
    std::string folder;
    // False when the folder cannot be listed (it does not exist yet, say).
    bool listed = false;
    // In the order the folder lists them; names this program never makes are left out.
    std::vector<BackupEntry> entries;

    std::string Source(const BackupEntry& entry) const { return folder + entry.name; }
};

// The backups in the folder of the BackupPath setting ("*.backup" and the older ones kept
// aside as "*.backup.1", ...).
BackupList ListBackups();

enum class RestoreStatus {
    Scheduled,
    Vanished,
    AlreadyWaiting,
    TargetTaken,
    TwoPlaces,
    NotCertain,
    NoFolder,
    // Scheduling failed and the user chose to go on (the step's error was offered).
    NotScheduled,
};

// What stands in the way of restoring `entry` now, given what waits for the start; Scheduled
// when nothing does. `taken` are the paths earlier backups of the same request go back to.
RestoreStatus RestoreHindrance(const BackupList& list, const BackupEntry& entry,
                               const std::optional<ScheduledMoves>& waiting,
                               const std::vector<std::string>& taken = {});

// One sentence for a backup that was not scheduled ("its folder C:\X\ does not exist on this
// machine"); "" for Scheduled.
std::string RestoreReason(RestoreStatus status, const BackupList& list, const BackupEntry& entry);

// Schedules the restore of the chosen entries (indexes into list.entries), in that order, each
// through QzFile's MoveOnRestart as its own step. One status per chosen entry.
std::vector<RestoreStatus> ScheduleRestores(const BackupList& list,
                                            const std::vector<std::size_t>& chosen);

}  // namespace vlt
