// modVLTWork, the part that acts: the action list and its execution, the action log, backups,
// copies and removals at the next start of Windows, and the shared-library use counts.
//
// Nothing the user decides touches a file at once. Decisions become entries of
// State().ActionList; the action report runs them one by one through DoNextAction, and every
// effect is recorded in State().ActionLog, from which the report is made. Copies and removals
// never happen while Windows runs: they are scheduled with QzFile's MoveOnRestart.
//
// Action-list entry (three texts): kind, source, target.
//   "1" copy source over target        "2" delete source
//   "4" back up from here on           "5" stop backing up
// Action-log entry (three texts, numbered from 1): a path, the code, a second text.
//   2 failure note (the file or folder, the error)   3 backup (the file, its backup)
//   5 copy scheduled (source, target)                 7 removal scheduled (the file, "")
//   1 note (text in the third field only)             8 use count changed (the file,
//                                                       "{before} to {after}: {why}")
//
// Backup files are named after the full path they save: its first character, "~", the rest
// from the third character with every "\" as "~", then ".backup" (C:\WINDOWS\SYSTEM\FOO.DLL is
// saved as C~~WINDOWS~SYSTEM~FOO.DLL.backup in the backup folder), so that the restore window
// can turn the name back into the path. When a backup of that name already holds different
// content, it is first renamed to the name followed by "." and the first free number (n.backup.1,
// .2, ...), so an older backup is never lost; only the newest keeps the plain name. A row of
// the action log that named the older backup names its new name. The restore window offers
// both kinds.
//
// Shared-library use counts: the values of kSharedDLLsKey below HKEY_LOCAL_MACHINE, value
// name = the file's full path, data = its use count (REG_DWORD); for the 32-bit images of a
// 64-bit Windows, where their setup programs write them, below kSharedDLLsKey32
// (SystemFolders.h). A copy removed because its program will load the copy its group keeps
// from now on hands its use to that copy: its count, or one use when it had none (as a copy
// into the system folder does). Every count changed is a row of the action log (code 8).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace modVLTWork {

inline constexpr const char* kSharedDLLsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
inline constexpr const char* kSharedDLLsKey32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Kinds that AddAction accepts; 3 is stored as a copy followed by a delete.
inline constexpr std::int32_t kActionCopy = 1;
inline constexpr std::int32_t kActionDelete = 2;
inline constexpr std::int32_t kActionMove = 3;

// --- Action list and log ---

// Queues a copy of Source into TargetFolder (ending in "\"), a deletion of Source (TargetFolder
// empty), or both (a move), each preceded by a backup marker when CheckAboutBackup wants one.
// A copy needs a source and a target folder, a deletion a source; otherwise nothing is queued.
void AddAction(std::int32_t kind, const std::string& Source, const std::string& TargetFolder);
// Appends one entry as it is given.
void AddNow(const std::string& kind, const std::string& Source, const std::string& Target);
// Appends a "4" marker when Path exists, backups are wanted and not active, or a "5" marker
// when Path exists, backups are not wanted and active.
void CheckAboutBackup(const std::string& Path);
// Executes entry NextAction; true while entries remain after it. A copy over, or a deletion
// of, the host file its group keeps (reached by another path) is refused and logged. The
// restart-time work of the entries is committed in batches (ActionBatch.h), the last batch
// once no entry is left.
bool DoNextAction();
// Commits the restart-time work the executed entries left in their batch and ends the batch
// (ActionBatch.h); DoNextAction does this after the last entry, the action report when the
// list ends in any other way.
void EndBatch();
// Takes entries First..Last (0-based, inclusive) out of the list; later entries move down.
// Entries already executed (below NextAction) stay: they cannot be undone by dropping them, and
// dropping them would make NextAction skip entries that were never run. A range outside the
// list is cut to the list; an empty range does nothing.
void RemoveActions(std::int32_t First, std::int32_t Last);
void UpdateActionLog(const std::string& first, std::int32_t code, const std::string& second);

// --- Queuing the repair of a group ---

// Queues a copy of Recommended into every other folder, except where the path is the
// recommended file itself (one host file reached by two paths). First is the index of the
// first entry added, Last of the last (First - 1 when none was). A Recommended that names no
// file (empty, "?", a bare folder) queues nothing.
void CopyAround(const std::string& Recommended, std::span<const std::string> Folders,
                std::int32_t& First, std::int32_t& Last);
// Queues moving Recommended into the system folder (unless it lies there, under this path or
// another) and deleting the copies in every other folder, the moved copy once and never the
// file kept in the system folder under another path; same range and refusal rules as
// CopyAround.
void CopyToSystemDir(const std::string& Recommended, std::span<const std::string> Folders,
                     std::int32_t& First, std::int32_t& Last);
void DeleteFile(const std::string& Path);
// The copy that takes over the use of the file the deletion at entry `at` removes: the copy
// its group keeps, which its program loads from now on; "" when the entry is no deletion, keeps
// no copy, removes the kept copy itself, or is the second half of a move (whose copy carried
// the use over).
std::string UseGoesTo(std::int32_t at);

// --- Execution ---

// Backs Path up into the BackupPath folder when backups are on; false when no backup was made
// although one was wanted.
bool BackItUp(const std::string& Path);
std::string SetBackupName(const std::string& Path);
// True when a file can be written in Folder. A missing folder is created; an unusable one is
// replaced (after telling the user) by the program's "Backups" folder, and Folder then holds
// that folder. When that fails too the user is told and the error goes on through DoError.
bool ValidPath(std::string& Folder);
// Schedules replacing Target by a copy of Source at the next start: 1 when scheduled, else 0.
// Into the system folder, the target's shared-library count is raised by the source's.
std::int16_t CopyTo(const std::string& Source, const std::string& Target);
// Drops Path's shared-library count and schedules its deletion at the next start; with
// HandUseTo, the copy Path's program loads from now on, that copy takes over Path's use (its
// count, or one use when it had none and HandUseTo is counted). True when the deletion was
// scheduled.
bool RemoveFile(const std::string& Path, const std::string& HandUseTo = {});
// Schedules the deletion of Path at the next start; true when it was scheduled.
bool RebootForFileKill(const std::string& Path);
// Asks whether to restart now.
bool RebootRequested();

// --- Taking back ---

// Takes back, newest first, what this run scheduled for the restart (each operation withdrawn
// from the restart list, each temporary copy deleted) and the shared-library counts it
// changed (State().RestartChanges, CountChanges), and tells the user: that nothing was
// changed, or which changes stay. Backups already written stay; they change nothing. Called
// when the run ends (Abort, DoError) before the report that names the changes was written.
// True when everything was taken back. Never raises.
bool WithdrawRestartChanges();

}  // namespace modVLTWork
