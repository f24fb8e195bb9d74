#pragma once
// What velto-machine backups prints: every backup of the machine's backup folder with the
// place it goes back to (the restore window's own reading, vlt/core/BackupRestore.h) and
// whether a restore would be scheduled now, as a table for people or one JSON document:
//   {
//     "schema": "velto-backups", "schemaVersion": 1,
//     "machine": "/home/me/win98",
//     "folder": "C:\\Program Files\\Velto\\", "folderHost": "/home/...",
//     "listed": true,                       false when the folder cannot be listed
//     "backups": [{
//       "name": "C~~APPS2~A.DLL.backup", "path": "C:\\...", "hostPath": "/...",
//       "restoresTo": "C:\\APPS2\\A.DLL", "restoresToHost": "/...",  null when not resolved
//       "size": 2048, "modified": "2026-03-05T14:07:09+01:00",
//       "older": false,                     a backup kept aside (".backup.1"): --all skips it
//       "status": "ready",                  or waiting, target-taken, two-places, not-certain,
//                                           no-folder
//       "reason": null                      why it would not be restored, in words
//     }]
//   }

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <vector>

#include "vlt/core/BackupRestore.h"

namespace velto_machine {

struct BackupRow {
    const vlt::BackupEntry* entry = nullptr;
    vlt::RestoreStatus status = vlt::RestoreStatus::Scheduled;
};

// A backup kept aside when a newer one of the same file was made ("name.backup.1").
bool OlderBackup(const vlt::BackupEntry& entry);

std::vector<BackupRow> BackupRows(const vlt::BackupList& list,
                                  const std::optional<vlt::ScheduledMoves>& waiting);
void WriteBackupsText(const vlt::BackupList& list, const std::vector<BackupRow>& rows,
                      std::ostream& out);
void WriteBackupsJson(const vlt::BackupList& list, const std::vector<BackupRow>& rows,
                      const std::filesystem::path& machine, std::ostream& out);

}  // namespace velto_machine
