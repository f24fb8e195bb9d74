// The restart-time work of the action list, done in batches. While the list runs, each entry
// makes its backup and temporary copy without a flush of its own (the backup beside its
// place), its line for the restart is held by QzFile, its shared-library count is kept here,
// and its log rows are written as if all of it had happened. A commit then, in this order:
//   1. makes every backup and temporary copy durable (one flush per file system), puts the
//      backups in place and flushes their folders;
//   2. writes the held lines in one write of wininit.ini or the pending list: the commit
//      point, before which the next start changes nothing and after which it finds complete
//      lines that name durable copies;
//   3. stores the counts in one registry transaction.
// A batch is committed when QzFile finds it as large as the restart list (so that the list is
// rewritten a number of times that grows with the logarithm of its size, and the whole run
// stays linear), when the list ends, and before anything reads the restart list.
//
// A commit that fails before its commit point (the user answers Ignore) schedules nothing of
// the batch: its log rows are corrected to the failures they are, its temporary copies
// deleted, its counts left as they were. A failure of the counts after the commit point
// leaves the lines (they are scheduled) and the counts unchanged, as a count that cannot be
// written did before. A run that ends before its report (Abort, DoError, Windows ending) drops
// what is held (Drop) and withdraws what was committed (WithdrawRestartChanges): the user sees
// the same as when every change was written at once.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "controls/file/QzFile.h"
#include "platform/restart/WriteBatch.h"
#include "platform/win32/advapi32/Registry.h"

namespace vlt {

class ActionBatch {
  public:
    // Holds the restart moves (raises when the restart list cannot be read) and reads the
    // pass's settings.
    ActionBatch();
    // Drops what was not committed.
    ~ActionBatch();
    ActionBatch(const ActionBatch&) = delete;
    ActionBatch& operator=(const ActionBatch&) = delete;

    // The Backup and BackupPath settings, read once for the pass.
    bool backup() const { return backup_; }
    const std::string& backupPath() const { return backupPath_; }
    // The folder ValidPath settled on for `asked` in this pass, when it was checked.
    std::optional<std::string> ValidFolder(const std::string& asked) const;
    void FolderValid(const std::string& asked, const std::string& settled);
    // After a backup failed, each folder is checked again.
    void ForgetValidFolders() { validFolders_.clear(); }

    win32::WriteBatch& files() { return files_; }

    // Shared-library counts changed in this batch, by key (below HKEY_LOCAL_MACHINE) and
    // value name: the value a count holds now (nullopt: deleted), or nothing when the batch
    // did not change it.
    std::optional<std::optional<std::int32_t>> Count(const std::string& key,
                                                     const std::string& path) const;
    void SetCount(const std::string& key, const std::string& path,
                  std::optional<std::int32_t> count);

    // Log rows (0-based) that say what the commit makes true.
    void ClaimBackup(std::size_t row, const std::string& backup);
    void ClaimCopy(std::size_t row, const std::string& target);
    void ClaimRemoval(std::size_t row);
    void ClaimCount(std::size_t row);
    // An operation for the restart was held: once committed, the machine needs a restart.
    void RestartScheduled() { restartScheduled_ = true; }
    // A temporary copy this batch made, deleted when the batch is dropped.
    void TemporaryCopy(const std::string& path) { temporaryCopies_.push_back(path); }

    // Whether the batch should be committed now.
    bool Due() const;
    // False once the restart list could no longer be held (after a failed commit).
    bool holding() const { return holding_; }
    // Commits what the batch holds (see above); errors are offered to the user as the steps'
    // errors are. Only an Abort leaves it (ProgramAborted).
    void Commit();
    // Drops what the batch holds: held lines forgotten, staged backups and temporary copies
    // removed, counts not stored.
    void Drop();

  private:
    enum class Claim { Backup, Copy, Removal, Count };
    struct ClaimedRow {
        std::size_t row;
        Claim claim;
        std::string path;
    };
    bool Empty() const;
    // The batch's changes did not happen: rows corrected, records of them forgotten.
    void Fail();
    // The counts of the batch were not stored: their rows say so.
    void CountsNotStored(const std::string& why);
    win32::LSTATUS StoreCounts();
    void Forget();

    // A QzFile of the batch's own: the control host may be gone when the batch is dropped.
    Qz_File::QzFile file_;
    win32::WriteBatch files_;
    bool backup_ = false;
    std::string backupPath_;
    std::map<std::string, std::string> validFolders_;
    // Count writes in their order, and the latest value of each (by folded key and name).
    struct CountWrite {
        std::string key;
        std::string path;
        std::optional<std::int32_t> count;
    };
    std::vector<CountWrite> countWrites_;
    std::map<std::pair<std::string, std::string>, std::optional<std::int32_t>> counts_;
    std::vector<ClaimedRow> claims_;
    std::vector<std::string> temporaryCopies_;
    bool restartScheduled_ = false;
    bool holding_ = true;
};

// The batch of the action list that runs now; nullptr outside one.
ActionBatch* CurrentBatch();
// Commits the batch of the running action list, if there is one (before something reads the
// restart list, and when the list ends).
void CommitCurrentBatch();

}  // namespace vlt
