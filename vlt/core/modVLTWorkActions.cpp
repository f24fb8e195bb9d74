#include "vlt/core/modVLTWorkActions.h"

#include <algorithm>

#include "controls/file/QzFile.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Errors.h"
#include "platform/automation/Text.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

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
    state.ActionList[at] = {kind, Source, Target};
    ++state.ActionCount;
}

void CheckAboutBackup(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.CheckAboutBackup");
    if (!File().FileExists(Path)) {
        return;
    }
    const bool wanted = modVLTProperties::Backup();
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
        return false;
    }
    if (state.NextAction == 0) {
        state.BackupActive = false;
        state.UncopiedSources.clear();
    }
    const vlt::ActionEntry entry = state.ActionList[static_cast<std::size_t>(state.NextAction)];
    const std::string& kind = entry[0];
    const std::string& source = entry[1];
    const std::string& target = entry[2];
    if (kind == "1") {
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
        RemoveFile(source);
    } else if (kind == "4") {
        state.BackupActive = true;
    } else if (kind == "5") {
        state.BackupActive = false;
    }
    ++state.NextAction;
    if (state.NextAction < state.ActionCount) {
        return true;
    }
    vlt::frmStandBy().Unload();
    return false;
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
    for (const std::string& folder : Folders) {
        if (!automation::EqualsIgnoreCase(folder + name, Recommended)) {
            AddAction(kActionCopy, Recommended, folder);
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
    const std::string systemDir = QzBase::LastSlash(vlt::Sys1().SystemDir());
    const auto inSystemDir = [&](const std::string& folder) {
        return automation::EqualsIgnoreCase(QzBase::LastSlash(folder), systemDir);
    };
    const std::string recommendedFolder = File().GrabFilePath(Recommended);
    const bool move = !inSystemDir(recommendedFolder);
    if (move) {
        AddAction(kActionMove, Recommended, systemDir);
    }
    const std::string name = File().GrabFilename(Recommended);
    for (const std::string& folder : Folders) {
        // The move has queued the deletion of the recommended copy already; a second one
        // would list the file twice in the report and fail at the restart.
        const bool moved = move && automation::EqualsIgnoreCase(folder + name, Recommended);
        if (!inSystemDir(folder) && !moved) {
            AddAction(kActionDelete, folder + name, "");
        }
    }
    Last = vlt::State().ActionCount - 1;
}

void DeleteFile(const std::string& Path) {
    vlt::TraceScope trace("modVLTWork.DeleteFile");
    AddAction(kActionDelete, Path, "");
}

}  // namespace modVLTWork
