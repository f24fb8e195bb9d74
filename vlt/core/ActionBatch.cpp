#include "vlt/core/ActionBatch.h"

#include <algorithm>

#include "controls/registry/QzRegistry.h"
#include "platform/automation/Conversion.h"
#include "platform/automation/Errors.h"
#include "platform/registry/RegistryStore.h"
#include "platform/win32/advapi32/RegistryTransaction.h"
#include "platform/win32/kernel32/Files.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWorkActions.h"

namespace vlt {
namespace {

constexpr const char* kProcedure = "modVLTWork.CommitChanges";

}  // namespace

ActionBatch::ActionBatch()
    : backup_(modVLTProperties::Backup()), backupPath_(modVLTProperties::BackupPath()) {
    file_.HoldRestartMoves();
}

ActionBatch::~ActionBatch() {
    try {
        Drop();
    } catch (const automation::Error& error) {
        Trace("Changes not committed, not dropped either: " + error.Description());
    }
}

std::optional<std::string> ActionBatch::ValidFolder(const std::string& asked) const {
    const auto found = validFolders_.find(asked);
    return found == validFolders_.end() ? std::nullopt : std::optional(found->second);
}

void ActionBatch::FolderValid(const std::string& asked, const std::string& settled) {
    validFolders_[asked] = settled;
}

std::optional<std::optional<std::int32_t>> ActionBatch::Count(const std::string& key,
                                                              const std::string& path) const {
    using Pending = std::optional<std::optional<std::int32_t>>;
    const auto found = counts_.find({registry::FoldName(key), registry::FoldName(path)});
    return found == counts_.end() ? Pending() : Pending(found->second);
}

void ActionBatch::SetCount(const std::string& key, const std::string& path,
                           std::optional<std::int32_t> count) {
    counts_[{registry::FoldName(key), registry::FoldName(path)}] = count;
    countWrites_.push_back({key, path, count});
}

void ActionBatch::ClaimBackup(std::size_t row, const std::string& backup) {
    claims_.push_back({row, Claim::Backup, backup});
}

void ActionBatch::ClaimCopy(std::size_t row, const std::string& target) {
    claims_.push_back({row, Claim::Copy, target});
}

void ActionBatch::ClaimRemoval(std::size_t row) {
    claims_.push_back({row, Claim::Removal, {}});
}

void ActionBatch::ClaimCount(std::size_t row) {
    claims_.push_back({row, Claim::Count, {}});
}

void ActionBatch::CountsNotStored(const std::string& why) {
    VltState& state = State();
    for (const ClaimedRow& claimed : claims_) {
        if (claimed.claim == Claim::Count) {
            LogEntry& entry = state.ActionLog[claimed.row];
            entry = {entry[0], "2", "Error: Use count not changed (" + entry[2] + "), " + why};
        }
    }
}

bool ActionBatch::Due() const {
    return file_.RestartMovesDue();
}

bool ActionBatch::Empty() const {
    return files_.empty() && file_.HeldRestartMoves() == 0 && countWrites_.empty() &&
           claims_.empty() && temporaryCopies_.empty();
}

void ActionBatch::Commit() {
    if (Empty()) {
        return;
    }
    TraceScope trace(kProcedure);
    Steps steps(kProcedure);
    VltState& state = State();
    const bool durable = steps.run("Making backups and copies durable", [&] {
        if (const int err = files_.Commit(); err != 0) {
            automation::Raise(automation::RunTimeErrorFromErrno(err), kProcedure);
        }
    });
    if (!durable || !steps.run("Scheduling on restart", [&] { file_.CommitRestartMoves(); })) {
        Fail();
        return;
    }
    // The commit point is passed: the next start carries the batch's lines out.
    for (RestartChange& change : state.RestartChanges) {
        change.committed = true;
    }
    if (restartScheduled_) {
        state.RestartNeeded = true;
    }
    if (!countWrites_.empty()) {
        const bool stored = steps.run("Changing DLL Count", [&] {
            if (const win32::LSTATUS rc = StoreCounts(); rc != win32::ERROR_SUCCESS) {
                automation::Raise(automation::DeviceIOError, kProcedure,
                                  "The shared-library counts could not be stored (registry "
                                  "error " +
                                      std::to_string(rc) + ")");
            }
        });
        auto& counts = state.CountChanges;
        if (stored) {
            for (CountChange& count : counts) {
                count.committed = true;
            }
        } else {
            // Not stored: there is nothing to take back either, and the report must not say
            // they changed.
            CountsNotStored("the registry could not be written");
            counts.erase(std::remove_if(counts.begin(), counts.end(),
                                        [](const CountChange& c) { return !c.committed; }),
                         counts.end());
        }
    }
    Forget();
}

win32::LSTATUS ActionBatch::StoreCounts() {
    Qz_Registry::QzRegistry& registry = QzRegistry1();
    return win32::RegistryTransaction([&] {
        for (const auto& [key, path, count] : countWrites_) {
            const std::int32_t rc =
                count ? registry.SaveRegSetting(path, automation::Variant(*count), key,
                                                Qz_Registry::HKEY_LOCAL_MACHINE)
                      : registry.DeleteValue(path, key, Qz_Registry::HKEY_LOCAL_MACHINE);
            // A count dropped that the registry no longer holds is dropped.
            if (rc != 0 && (count || rc != 2)) {
                return static_cast<win32::LSTATUS>(rc);
            }
        }
        return win32::ERROR_SUCCESS;
    });
}

void ActionBatch::Fail() {
    VltState& state = State();
    for (const ClaimedRow& claimed : claims_) {
        LogEntry& entry = state.ActionLog[claimed.row];
        switch (claimed.claim) {
            case Claim::Backup:
                if (!files_.Placed(claimed.path)) {
                    entry = {entry[0], "2", "Error: Backup to " + claimed.path + " failed"};
                }
                break;
            case Claim::Copy:
                // A move whose copy is not scheduled keeps its source.
                state.UncopiedSources.push_back(entry[0]);
                entry = {entry[0], "2",
                         "Error: Copy to " + claimed.path + " failed; nothing was scheduled"};
                break;
            case Claim::Removal:
                entry = {entry[0], "2", "Error: Removal could not be scheduled"};
                break;
            case Claim::Count:
                break;
        }
    }
    CountsNotStored("nothing of its batch was scheduled");
    auto& changes = state.RestartChanges;
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [](const RestartChange& c) { return !c.committed; }),
                  changes.end());
    auto& counts = state.CountChanges;
    counts.erase(std::remove_if(counts.begin(), counts.end(),
                                [](const CountChange& c) { return !c.committed; }),
                 counts.end());
    Drop();
    try {
        file_.HoldRestartMoves();
    } catch (const automation::Error& error) {
        // The rest of the list schedules each change on its own, as without a batch.
        Trace("Changes no longer held: " + error.Description());
        holding_ = false;
    }
}

void ActionBatch::Drop() {
    file_.ReleaseRestartMoves();
    files_.Clear();
    for (const std::string& temp : temporaryCopies_) {
        if (!win32::DeleteFileA(temp)) {
            Trace("Temporary copy not removed: " + temp);
        }
    }
    Forget();
}

void ActionBatch::Forget() {
    countWrites_.clear();
    counts_.clear();
    claims_.clear();
    temporaryCopies_.clear();
    restartScheduled_ = false;
}

ActionBatch* CurrentBatch() {
    ActionBatch* batch = State().Batch.get();
    return batch != nullptr && batch->holding() ? batch : nullptr;
}

void CommitCurrentBatch() {
    if (ActionBatch* batch = CurrentBatch()) {
        batch->Commit();
    }
}

}  // namespace vlt
