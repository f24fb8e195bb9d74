#include "vlt/core/BackupRestore.h"

#include <algorithm>

#include "controls/file/QzFile.h"
#include "platform/automation/Text.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "vlt/core/QzBase.h"
#include "vlt/core/Steps.h"
#include "vlt/core/TraceScope.h"
#include "vlt/core/VltState.h"
#include "vlt/core/modVLTProperties.h"

namespace vlt {
namespace {

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('\\') + 1);
}

bool Among(const std::vector<std::string>& paths, const std::string& path) {
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& other) {
        return automation::EqualsIgnoreCase(other, path);
    });
}

}  // namespace

BackupList ListBackups() {
    TraceScope trace("BackupRestore.ListBackups");
    BackupList list;
    // The stored folder ends in "\", but the default (the program's folder) does not.
    list.folder = QzBase::LastSlash(modVLTProperties::BackupPath());
    const auto found = win32::FindFiles(list.folder + "*.backup*", 0);
    list.listed = found.has_value();
    if (!found) {
        Trace("No backup folder to list: " + list.folder);
        return list;
    }
    for (const win32::WIN32_FIND_DATAA& entry : *found) {
        BackupReading reading = ReadBackupName(list.folder, entry.cFileName);
        if (reading.path.empty()) {
            Trace("Not a backup this program made: " + entry.cFileName);
            continue;
        }
        list.entries.push_back({entry.cFileName, std::move(reading)});
    }
    return list;
}

RestoreStatus RestoreHindrance(const BackupList& list, const BackupEntry& entry,
                               const std::optional<ScheduledMoves>& waiting,
                               const std::vector<std::string>& taken) {
    const std::string source = list.Source(entry);
    const std::string& target = entry.reading.path;
    if (waiting && waiting->MovesAway(source)) {
        return RestoreStatus::AlreadyWaiting;
    }
    const auto onto = waiting ? waiting->MovedOntoFrom(target) : std::nullopt;
    const bool anotherBackup =
        onto && automation::UCase(*onto).starts_with(automation::UCase(list.folder));
    if (anotherBackup || Among(taken, target)) {
        return RestoreStatus::TargetTaken;
    }
    if (!entry.reading.alsoFits.empty()) {
        return RestoreStatus::TwoPlaces;
    }
    if (!entry.reading.problem.empty()) {
        return RestoreStatus::NotCertain;
    }
    if (!IsMachineEntry(FolderOf(target), true)) {
        return RestoreStatus::NoFolder;
    }
    return RestoreStatus::Scheduled;
}

std::string RestoreReason(RestoreStatus status, const BackupList& list, const BackupEntry& entry) {
    const std::string& target = entry.reading.path;
    switch (status) {
        case RestoreStatus::Scheduled:
            return "";
        case RestoreStatus::Vanished:
            return list.Source(entry) + " no longer exists";
        case RestoreStatus::AlreadyWaiting:
            return "it is already to be restored at the machine's next start";
        case RestoreStatus::TargetTaken:
            return "another backup of " + target +
                   " is to be restored at the next start; restoring both would lose one of "
                   "them";
        case RestoreStatus::TwoPlaces:
            return "its name fits " + target + " and " + entry.reading.alsoFits +
                   ", and nothing tells which one it was taken from";
        case RestoreStatus::NotCertain:
            return entry.reading.problem;
        case RestoreStatus::NoFolder:
            return "the folder " + FolderOf(target) + " does not exist on this machine";
        case RestoreStatus::NotScheduled:
            return "its move could not be scheduled";
    }
    return "";
}

std::vector<RestoreStatus> ScheduleRestores(const BackupList& list,
                                            const std::vector<std::size_t>& chosen) {
    TraceScope trace("BackupRestore.ScheduleRestores");
    Steps steps("BackupRestore.ScheduleRestores");
    // Read once, before anything is added: a backup scheduled by an earlier visit (or by
    // another run) must not be scheduled again, or the second move fails at the start.
    const std::optional<ScheduledMoves> waiting = ScheduledMoves::Read();
    Qz_File::QzFile& file = QzFile1();
    std::vector<std::string> taken;
    std::vector<RestoreStatus> statuses;
    for (const std::size_t index : chosen) {
        const BackupEntry& entry = list.entries.at(index);
        const std::string source = list.Source(entry);
        RestoreStatus status = file.FileExists(source)
                                   ? RestoreHindrance(list, entry, waiting, taken)
                                   : RestoreStatus::Vanished;
        if (status == RestoreStatus::Scheduled &&
            !steps.run("Scheduling restore of " + entry.reading.path,
                       [&] { file.MoveOnRestart(source, entry.reading.path); })) {
            status = RestoreStatus::NotScheduled;
        }
        if (status == RestoreStatus::Scheduled) {
            taken.push_back(entry.reading.path);
        }
        statuses.push_back(status);
    }
    return statuses;
}

}  // namespace vlt
