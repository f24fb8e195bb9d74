#include "vlt/core/modVLTWorkActions.h"

#include <algorithm>

#include "controls/file/QzFile.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "platform/win32/kernel32/FileIdentity.h"
#include "vlt/core/ActionBatch.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/SystemFolders.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"

namespace modVLTWork {
namespace {

Qz_File::QzFile& File() {
    return vlt::QzFile1();
}

// A recommended path the repair may spread: one that names a file in a folder. The matcher
// reports "no recommendation" as "" (company names differ) or "?" (version information
// missing); a path built from those would copy nothing real and delete bare folders or
// wildcard patterns.
bool NamesAFile(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash != std::string::npos && slash + 1 < path.size() &&
           path.find_first_of("?*") == std::string::npos;
}

bool CopyOfSourceFailed(const std::string& path) {
    const auto& failed = vlt::State().UncopiedSources;
    return std::any_of(failed.begin(), failed.end(), [&](const std::string& source) {
        return automation::EqualsIgnoreCase(source, path);
    });
}

// The last look before the restart: a file of the platform is never copied, overwritten or
// removed, whatever queued it; logged as a notation when it would be.
bool RefusedAsPlatformFile(const std::string& path, const std::string& what) {
    if (!File().FileExists(path)) {
        return false;
    }
    const auto platform = PlatformFileOf(path, File().GetWineMark(path));
    if (!platform) {
        return false;
    }
    UpdateActionLog(path, 2, "Error: Not " + what + ", it is " + platform->what);
    return true;
}

// Whether a copy over Target would overwrite the file its group keeps, reached by another
// path (or the source itself); logged as a notation when it would.
bool OverwritesTheKeptFile(const std::string& source, const std::string& target,
                           const std::string& keeps) {
    std::string same;
    if (win32::SameFile(target, source)) {
        same = source;
    } else if (!keeps.empty() && !automation::EqualsIgnoreCase(target, keeps) &&
               win32::SameFile(target, keeps)) {
        same = keeps;
    }
    if (same.empty()) {
        return false;
    }
    UpdateActionLog(target, 2, "Error: Not overwritten, it is the same file as " + same);
    return true;
}

// Whether `path` names the same host file as one of `paths`.
bool SameFileAsAny(const std::string& path, const std::vector<std::string>& paths) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::string& other) { return win32::SameFile(path, other); });
}

// The list's restart-time work goes in batches from its first entry on. When the restart list
// cannot be read to hold it, each entry schedules its own work, as without a batch, and says
// so at the first line it cannot write.
void BeginBatch() {
    vlt::VltState& state = vlt::State();
    try {
        state.Batch = std::make_shared<vlt::ActionBatch>();
    } catch (const automation::Error& error) {
        vlt::Trace("Changes not batched: " + error.Description());
        state.Batch.reset();
    }
}

// While it lives, the entries queued record the copy their group keeps.
class Keeping {
  public:
    explicit Keeping(const std::string& path) { vlt::State().QueuingKeeps = path; }
    ~Keeping() { vlt::State().QueuingKeeps.clear(); }
    Keeping(const Keeping&) = delete;
    Keeping& operator=(const Keeping&) = delete;
};

void NoRange(std::int32_t& First, std::int32_t& Last) {
    First = vlt::State().ActionCount;
    Last = First - 1;
}

}  // namespace

void AddAction(std::int32_t kind, const std::string& Source, const std::string& TargetFolder) {
    vlt::TraceScope trace("modVLTWork.AddAction");
    const std::string target = TargetFolder + File().GrabFilename(Source);
    switch (kind) {
        case kActionCopy:
            if (!Source.empty() && !TargetFolder.empty()) {
                CheckAboutBackup(target);
                AddNow("1", Source, target);
            }
            break;
        case kActionDelete:
            if (!Source.empty()) {
                CheckAboutBackup(Source);
                AddNow("2", Source, "");
            }
            break;
        case kActionMove:
            if (!Source.empty() && !TargetFolder.empty()) {
                CheckAboutBackup(target);
                AddNow("1", Source, target);
                AddNow("2", Source, "");
            }
            break;
        default:
            break;
    }
}

void AddNow(const std::string& kind, const std::string& Source, const std::string& Target) {
    vlt::TraceScope trace("modVLTWork.AddNow");
    vlt::VltState& state = vlt::State();
    const auto at = static_cast<std::size_t>(state.ActionCount);
    // Entries past ActionCount are left-overs of RemoveActions; they are overwritten.
    if (state.ActionList.size() <= at) {
        state.ActionList.resize(at + 1);
    }
    state.ActionKeeps.resize(state.ActionList.size());
    state.ActionList[at] = {kind, Source, Target};
    state.ActionKeeps[at] = state.QueuingKeeps;
    ++state.ActionCount;
}

void CheckAboutBackup(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.CheckAboutBackup");
    if (!File().FileExists(Path)) {
        return;
    }
    const std::optional<bool> read = vlt::State().PassBackup;
    const bool wanted = read ? *read : modVLTProperties::Backup();
    const bool active = vlt::State().BackupActive;
    if (wanted && !active) {
        AddNow("4", "", "");
    } else if (!wanted && active) {
        AddNow("5", "", "");
    }
}

bool DoNextAction() {
    vlt::TraceScope trace("modVLTWork.DoNextAction");
    vlt::VltState& state = vlt::State();
    vlt::frmStandBy().Show();
    if (state.NextAction >= state.ActionCount) {
        EndBatch();
        return false;
    }
    if (state.NextAction == 0) {
        state.BackupActive = false;
        state.UncopiedSources.clear();
        BeginBatch();
    }
    const auto at = static_cast<std::size_t>(state.NextAction);
    const vlt::ActionEntry entry = state.ActionList[at];
    const std::string keeps = at < state.ActionKeeps.size() ? state.ActionKeeps[at] : "";
    const std::string& kind = entry[0];
    const std::string& source = entry[1];
    const std::string& target = entry[2];
    if (kind == "1" && OverwritesTheKeptFile(source, target, keeps)) {
        state.UncopiedSources.push_back(source);
    } else if (kind == "1" && (RefusedAsPlatformFile(source, "copied") ||
                               RefusedAsPlatformFile(target, "overwritten"))) {
        state.UncopiedSources.push_back(source);
    } else if (kind == "2" && RefusedAsPlatformFile(source, "removed")) {
        // Nothing to do: the refusal is logged.
    } else if (kind == "2" && !keeps.empty() && win32::SameFile(source, keeps)) {
        // The last look before the restart is told: the file is the copy its group keeps.
        UpdateActionLog(source, 2, "Error: Not removed, it is the same file as " + keeps);
    } else if (kind == "1") {
        if (File().FileExists(target) && state.BackupActive) {
            vlt::frmStandBy().SetScanItem("Backing up " + target);
            BackItUp(target);
        }
        vlt::frmStandBy().SetScanItem("Copying " + source + " to " + target);
        if (CopyTo(source, target) == 0 && !automation::EqualsIgnoreCase(source, target)) {
            state.UncopiedSources.push_back(source);
        }
    } else if (kind == "2" && CopyOfSourceFailed(source)) {
        // The second half of a move whose copy failed: the file stays where it is.
        UpdateActionLog(source, 2, "Error: Not removed, its copy was not scheduled");
    } else if (kind == "2") {
        if (File().FileExists(source) && state.BackupActive) {
            vlt::frmStandBy().SetScanItem("Backing up " + source);
            BackItUp(source);
        }
        vlt::frmStandBy().SetScanItem("Deleting " + source);
        RemoveFile(source, UseGoesTo(state.NextAction));
    } else if (kind == "4") {
        state.BackupActive = true;
    } else if (kind == "5") {
        state.BackupActive = false;
    }
    ++state.NextAction;
    if (state.NextAction < state.ActionCount) {
        if (vlt::ActionBatch* batch = vlt::CurrentBatch(); batch != nullptr && batch->Due()) {
            batch->Commit();
        }
        return true;
    }
    EndBatch();
    vlt::frmStandBy().Unload();
    return false;
}

void EndBatch() {
    vlt::VltState& state = vlt::State();
    if (!state.Batch) {
        return;
    }
    vlt::CommitCurrentBatch();
    state.Batch.reset();
}

void RemoveActions(std::int32_t First, std::int32_t Last) {
    vlt::TraceScope trace("modVLTWork.RemoveActions");
    vlt::VltState& state = vlt::State();
    First = std::max(First, state.NextAction);
    Last = std::min(Last, state.ActionCount - 1);
    if (First > Last) {
        return;
    }
    const std::int32_t removed = Last - First + 1;
    auto& list = state.ActionList;
    std::move(list.begin() + Last + 1, list.begin() + state.ActionCount, list.begin() + First);
    auto& keeps = state.ActionKeeps;
    keeps.resize(list.size());
    std::move(keeps.begin() + Last + 1, keeps.begin() + state.ActionCount, keeps.begin() + First);
    state.ActionCount -= removed;
}

void UpdateActionLog(const std::string& first, std::int32_t code, const std::string& second) {
    vlt::TraceScope trace("modVLTWork.UpdateActionLog");
    vlt::VltState& state = vlt::State();
    ++state.LogCount;
    const auto count = static_cast<std::size_t>(state.LogCount);
    if (state.ActionLog.size() < count) {
        state.ActionLog.resize(count);
    }
    state.ActionLog[count - 1] = {first, std::to_string(code), second};
}

void CopyAround(const std::string& Recommended, std::span<const std::string> Folders,
                std::int32_t& First, std::int32_t& Last) {
    vlt::TraceScope trace("modVLTWork.CopyAround");
    NoRange(First, Last);
    if (!NamesAFile(Recommended)) {
        vlt::Trace("No file to copy around: \"" + Recommended + "\"");
        return;
    }
    const std::string name = File().GrabFilename(Recommended);
    const Keeping keeping(Recommended);
    // The recommended copy itself, under whatever path reaches it, is never copied over, and
    // a file reached by two paths is copied over once.
    std::vector<std::string> done = {Recommended};
    for (const std::string& folder : Folders) {
        const std::string path = folder + name;
        if (!automation::EqualsIgnoreCase(path, Recommended) && !SameFileAsAny(path, done)) {
            AddAction(kActionCopy, Recommended, folder);
            done.push_back(path);
        }
    }
    Last = vlt::State().ActionCount - 1;
}

void CopyToSystemDir(const std::string& Recommended, std::span<const std::string> Folders,
                     std::int32_t& First, std::int32_t& Last) {
    vlt::TraceScope trace("modVLTWork.CopyToSystemDir");
    NoRange(First, Last);
    if (!NamesAFile(Recommended)) {
        vlt::Trace("No file to move to the system folder: \"" + Recommended + "\"");
        return;
    }
    // The system folder of the copy's processor: a 32-bit copy on a 64-bit Windows goes into
    // SysWOW64.
    const std::string systemDir = SystemFolderOf(Recommended);
    const auto inSystemDir = [&](const std::string& folder) {
        return automation::EqualsIgnoreCase(QzBase::LastSlash(folder), systemDir);
    };
    const std::string recommendedFolder = File().GrabFilePath(Recommended);
    const std::string name = File().GrabFilename(Recommended);
    const std::string systemCopy = systemDir + name;
    // A recommended copy reached through a link may be the system folder's file itself: it
    // is there already, and moving it would delete it.
    const bool move = !inSystemDir(recommendedFolder) && !win32::SameFile(systemCopy, Recommended);
    const Keeping keeping(move ? systemCopy : Recommended);
    if (move) {
        AddAction(kActionMove, Recommended, systemDir);
    }
    // The move has queued the deletion of the recommended copy already; a second one would
    // list the file twice in the report and fail at the restart. Neither it, nor the copy
    // kept in the system folder, nor a file deleted already is deleted under another path.
    std::vector<std::string> done = {Recommended, systemCopy};
    for (const std::string& folder : Folders) {
        const std::string path = folder + name;
        const bool moved = move && automation::EqualsIgnoreCase(path, Recommended);
        if (!inSystemDir(folder) && !moved && !SameFileAsAny(path, done)) {
            AddAction(kActionDelete, path, "");
            done.push_back(path);
        }
    }
    Last = vlt::State().ActionCount - 1;
}

std::string UseGoesTo(std::int32_t at) {
    const vlt::VltState& state = vlt::State();
    if (at < 0 || at >= state.ActionCount ||
        static_cast<std::size_t>(at) >= state.ActionKeeps.size()) {
        return {};
    }
    const vlt::ActionEntry& entry = state.ActionList[static_cast<std::size_t>(at)];
    const std::string& keeps = state.ActionKeeps[static_cast<std::size_t>(at)];
    if (entry[0] != "2" || keeps.empty() || automation::EqualsIgnoreCase(keeps, entry[1])) {
        return {};
    }
    // The second half of a move (AddAction queues its copy right before it): the copy carried
    // the use over already.
    if (at > 0) {
        const vlt::ActionEntry& before = state.ActionList[static_cast<std::size_t>(at - 1)];
        if (before[0] == "1" && automation::EqualsIgnoreCase(before[1], entry[1])) {
            return {};
        }
    }
    return keeps;
}

void DeleteFile(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.DeleteFile");
    AddAction(kActionDelete, Path, "");
}

}  // namespace modVLTWork
