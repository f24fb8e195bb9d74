#include "tools/BackupReport.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "platform/automation/Text.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "tools/TextTable.h"
#include "tools/check/CheckReportFacts.h"
#include "tools/check/IsoTime.h"

namespace velto_machine {
namespace {

using ordered_json = nlohmann::ordered_json;

// A word for the table and the JSON document.
const char* StatusName(vlt::RestoreStatus status) {
    switch (status) {
        case vlt::RestoreStatus::Scheduled:
            return "ready";
        case vlt::RestoreStatus::AlreadyWaiting:
            return "waiting";
        case vlt::RestoreStatus::TargetTaken:
            return "target-taken";
        case vlt::RestoreStatus::TwoPlaces:
            return "two-places";
        case vlt::RestoreStatus::NotCertain:
            return "not-certain";
        case vlt::RestoreStatus::NoFolder:
            return "no-folder";
        case vlt::RestoreStatus::Vanished:
            return "vanished";
        case vlt::RestoreStatus::NotScheduled:
            break;
    }
    return "not-scheduled";
}

struct FileFacts {
    std::optional<std::uint64_t> size;
    std::optional<std::string> modified;
};

FileFacts FactsOf(const std::string& windowsPath) {
    FileFacts facts;
    win32::host::FileStat stat;
    const auto host = win32::HostPathOf(windowsPath);
    if (host && win32::host::Stat(*host, stat) == 0) {
        facts.size = stat.size;
        facts.modified = velto_check::IsoTime(stat.writeTime);
    }
    return facts;
}

}  // namespace

bool OlderBackup(const vlt::BackupEntry& entry) {
    return !automation::UCase(entry.name).ends_with(".BACKUP");
}

std::vector<BackupRow> BackupRows(const vlt::BackupList& list,
                                  const std::optional<vlt::ScheduledMoves>& waiting) {
    std::vector<BackupRow> rows;
    for (const vlt::BackupEntry& entry : list.entries) {
        rows.push_back({&entry, vlt::RestoreHindrance(list, entry, waiting)});
    }
    return rows;
}

void WriteBackupsText(const vlt::BackupList& list, const std::vector<BackupRow>& rows,
                      std::ostream& out) {
    const auto host = win32::HostPathOf(list.folder);
    out << "Backups in " << list.folder << (host ? " (" + host->string() + ")" : "") << ": ";
    if (!list.listed) {
        out << "the folder does not exist (yet), so there are none.\n";
        return;
    }
    out << rows.size() << (rows.size() == 1 ? " backup" : " backups") << ".\n";
    if (rows.empty()) {
        return;
    }
    std::vector<std::vector<std::string>> table = {
        {"BACKUP", "RESTORES TO", "SIZE", "MODIFIED", "STATE"}};
    std::vector<std::string> notes;
    for (const BackupRow& row : rows) {
        const vlt::BackupEntry& entry = *row.entry;
        const FileFacts facts = FactsOf(list.Source(entry));
        std::string state = StatusName(row.status);
        if (OlderBackup(entry)) {
            state += ", older";
        }
        table.push_back({entry.name, entry.reading.path,
                         facts.size ? std::to_string(*facts.size) : "?",
                         facts.modified.value_or("?"), state});
        if (row.status != vlt::RestoreStatus::Scheduled) {
            notes.push_back(entry.name + ": " + vlt::RestoreReason(row.status, list, entry));
        }
    }
    out << "\n";
    WriteTable(table, out);
    if (!notes.empty()) {
        out << "\nNot restored now:\n";
        for (const std::string& note : notes) {
            out << "  " << note << "\n";
        }
    }
}

void WriteBackupsJson(const vlt::BackupList& list, const std::vector<BackupRow>& rows,
                      const std::filesystem::path& machine, std::ostream& out) {
    ordered_json backups = ordered_json::array();
    for (const BackupRow& row : rows) {
        const vlt::BackupEntry& entry = *row.entry;
        const std::string source = list.Source(entry);
        const FileFacts facts = FactsOf(source);
        const std::string reason = vlt::RestoreReason(row.status, list, entry);
        backups.push_back(
            {{"name", entry.name},
             {"path", source},
             {"hostPath", velto_check::HostPathJson(source)},
             {"restoresTo", entry.reading.path},
             {"restoresToHost", velto_check::HostPathJson(entry.reading.path)},
             {"size", facts.size ? ordered_json(*facts.size) : ordered_json(nullptr)},
             {"modified", facts.modified ? ordered_json(*facts.modified) : ordered_json(nullptr)},
             {"older", OlderBackup(entry)},
             {"status", StatusName(row.status)},
             {"reason", reason.empty() ? ordered_json(nullptr) : ordered_json(reason)}});
    }
    ordered_json document = ordered_json::object();
    document["schema"] = "velto-backups";
    document["schemaVersion"] = 1;
    document["machine"] = machine.string();
    document["folder"] = list.folder;
    document["folderHost"] = velto_check::HostPathJson(list.folder);
    document["listed"] = list.listed;
    document["backups"] = std::move(backups);
    out << document.dump(2, ' ', false, ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace velto_machine
