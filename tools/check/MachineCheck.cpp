#include "tools/check/MachineCheck.h"

#include <algorithm>
#include <memory>

#include "controls/file/QzFile.h"
#include "controls/registry/QzRegistry.h"
#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/Text.h"
#include "platform/restart/StartupMoves.h"
#include "platform/win32/advapi32/RegistryCopy.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "tools/check/CheckWindows.h"
#include "tools/check/HeadlessProgram.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"
#include "vlt/core/modVLTWork.h"
#include "vlt/core/modVLTWorkActions.h"

namespace velto_check {
namespace {

namespace props = modVLTProperties;

void ChooseTypes(const std::vector<std::string>& types) {
    const auto chosen = [&](const char* type) {
        return std::find(types.begin(), types.end(), type) != types.end();
    };
    props::ACM(chosen("acm"));
    props::DLL(chosen("dll"));
    props::DRV(chosen("drv"));
    props::EXE(chosen("exe"));
    props::OCX(chosen("ocx"));
    props::TLB(chosen("tlb"));
    props::VBX(chosen("vbx"));
    props::VXD(chosen("vxd"));
}

// The groups of the review tree: a group node, its copies (the recommended one marked with
// its picture) and its notes.
std::vector<Group> GroupsOf(const RecordingReview& review) {
    std::vector<Group> groups;
    for (const TreeNode& node : review.nodes) {
        if (node.parent.empty()) {
            groups.emplace_back().name = node.key;
            continue;
        }
        Group& group = groups.back();
        if (node.note) {
            group.notes.push_back(node.text);
            continue;
        }
        const bool recommended = node.image == modVLTWork::kImageRecommended;
        if (recommended) {
            group.recommended = node.key;
        }
        group.copies.push_back({node.key, recommended, modVLTWork::GetFileProps(node.key)});
    }
    for (Group& group : groups) {
        std::vector<std::string> paths;
        for (const Copy& copy : group.copies) {
            paths.push_back(copy.path);
        }
        group.loading = modVLTWork::LibraryChoiceOf(paths);
    }
    return groups;
}

Group* GroupNamed(std::vector<Group>& groups, const std::string& name) {
    const auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& group) {
        return automation::EqualsIgnoreCase(group.name, name);
    });
    return it == groups.end() ? nullptr : &*it;
}

// The group an action touches: the one holding the file as a copy, else the first whose
// copies bear its name (a copy reached there by another path).
Group* GroupOfFile(std::vector<Group>& groups, const std::string& path) {
    Qz_File::QzFile& file = vlt::QzFile1();
    const std::string name = file.GrabFilename(path);
    Group* named = nullptr;
    for (Group& group : groups) {
        for (const Copy& copy : group.copies) {
            if (automation::EqualsIgnoreCase(copy.path, path)) {
                return &group;
            }
            if (named == nullptr &&
                automation::EqualsIgnoreCase(file.GrabFilename(copy.path), name)) {
                named = &group;
            }
        }
    }
    return named;
}

// The unattended run's action list and log, laid out by group. Backup markers ("4" on, "5"
// off) hold for every entry after them; each goes with the entry that follows it.
void AddUnattendedRun(Result& result) {
    const vlt::VltState& state = vlt::State();
    Qz_File::QzFile& file = vlt::QzFile1();
    bool backup = false;
    std::vector<vlt::DecidedEntry> markers;
    for (std::int32_t i = 0; i < state.ActionCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const vlt::ActionEntry& entry = state.ActionList[at];
        vlt::DecidedEntry decided{entry,
                                  at < state.ActionKeeps.size() ? state.ActionKeeps[at] : ""};
        const std::string& kind = entry[0];
        if (kind == "4" || kind == "5") {
            backup = kind == "4";
            markers.push_back(std::move(decided));
            continue;
        }
        Action action;
        action.kind = kind == "1" ? Action::Kind::Copy : Action::Kind::Delete;
        action.source = entry[1];
        action.target = action.kind == Action::Kind::Copy ? entry[2] : "";
        action.backup = backup;
        action.waiting = action.kind == Action::Kind::Copy
                             ? file.CopyPendingOnRestart(action.source, action.target)
                             : file.MoveWaitsOnRestart(action.source, "");
        action.useGoesTo = modVLTWork::UseGoesTo(i);
        const std::string& affected = action.kind == Action::Kind::Copy ? entry[2] : entry[1];
        if (Group* group = GroupOfFile(result.groups, affected)) {
            group->unattended.push_back(std::move(action));
            group->entries.insert(group->entries.end(), markers.begin(), markers.end());
            group->entries.push_back(std::move(decided));
        } else {
            result.otherActions.push_back(std::move(action));
        }
        markers.clear();
    }
    for (std::int32_t k = 0; k < state.LogCount; ++k) {
        const vlt::LogEntry& entry = state.ActionLog[static_cast<std::size_t>(k)];
        Group* group = entry[1] == "1" ? GroupNamed(result.groups, entry[0]) : nullptr;
        if (group == nullptr) {
            result.otherLog.push_back(entry);
            continue;
        }
        group->log.push_back(entry);
        const std::string prefix = entry[0] + ": ";
        group->leftAlone = entry[2].starts_with(prefix) ? entry[2].substr(prefix.size()) : entry[2];
    }
}

// Leaves each folder and everything below it out of the scan, as the stored exclusions a user
// marks "with subfolders" do. The registry is the check's copy, so nothing is stored.
void ExcludeForThisCheck(const std::vector<std::string>& folders) {
    Qz_Registry::QzRegistry& registry = vlt::QzRegistry1();
    const std::string system = automation::UCase(QzBase::LastSlash(vlt::Sys1().SystemDir()));
    for (const std::string& folder : folders) {
        const std::int32_t attributes = win32::GetFileAttributesA(folder);
        if (attributes == win32::INVALID_FILE_ATTRIBUTES ||
            (attributes & win32::FILE_ATTRIBUTE_DIRECTORY) == 0) {
            throw CheckError("--exclude " + folder + ": there is no such folder on the machine");
        }
        // Without the system folder's copies the repair could not tell where a file belongs.
        if (system.starts_with(automation::UCase(QzBase::LastSlash(folder)))) {
            throw CheckError("--exclude " + folder +
                             ": the system folder cannot be left out of the scan");
        }
        registry.SaveRegSetting(folder + "  ***", automation::Variant(std::string()),
                                registry.RegKey() + "\\Exclusions");
    }
}

void KeepOnly(Result& result, const std::vector<std::string>& names) {
    std::erase_if(result.groups, [&](const Group& group) {
        return std::none_of(names.begin(), names.end(),
                            [&](const std::string& name) { return NamesGroup(name, group); });
    });
}

}  // namespace

bool NamesGroup(const std::string& name, const Group& group) {
    return automation::EqualsIgnoreCase(group.name, name) ||
           automation::EqualsIgnoreCase(group.name.substr(0, group.name.find(" (")), name);
}

Result RunCheck(const Options& options) {
    std::string error;
    if (!win32::UseRegistryCopy(error)) {
        throw CheckError(error);
    }
    HeadlessProgram program(options.progress);
    // The unattended run compares every group and lists *.exe only when asked (its EXE
    // choice holds for one run and is never stored).
    props::AllDups(false);
    props::Auto(false);
    props::EXE(false);
    if (options.types) {
        ChooseTypes(*options.types);
    }
    ExcludeForThisCheck(options.exclude);
    modVLTWork::StartScan();
    if (!vlt::State().ScanSucceeded) {
        throw CheckError("the machine has no fixed drive to list");
    }
    Result result;
    Qz_File::QzFile& file = vlt::QzFile1();
    result.filter = file.Filter();
    result.listed = file.FileCount();
    result.groups = GroupsOf(program.review());

    // The unattended run's matching over the same listing: it queues the repair of each
    // group on the action list, which nothing here executes. Automatic mode is the unattended
    // run's alone: AutoScan stored on and "-S" on the command line.
    props::Auto(true);
    vlt::State().CommandLine = "-S";
    result.backup = props::Backup();
    modVLTWork::LoadDups();
    AddUnattendedRun(result);
    if (!options.only.empty()) {
        KeepOnly(result, options.only);
    }
    result.waiting = win32::ScheduledStartupMoves();
    return result;
}

}  // namespace velto_check
