// velto-machine restore DIR BACKUP...|--all: schedules backups to be moved back over the files
// they were taken of at the machine's next start, as the restore window does (vlt/core/
// BackupRestore.h, which refuses what the window refuses). A BACKUP is a backup's name, as
// velto-machine backups lists it, or the path it goes back to (its newest backup); --all takes
// the newest backup of every file (older ones kept aside are restored by name only, so that
// two never go back over one file). The start itself is velto-machine boot's.
// Exit status: 0 when every backup asked for is to be restored (or was already), 1 when any is
// not, 2 for wrong arguments or a machine that cannot be changed.

#include <iostream>

#include "platform/automation/Text.h"
#include "tools/BackupReport.h"
#include "tools/check/HeadlessProgram.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

constexpr const char* kUsageText = "DIR BACKUP...|--all";
constexpr int kNotRestored = 1;

// The entry a BACKUP argument names: a backup's name, else the path its newest backup goes
// back to.
std::size_t Named(const vlt::BackupList& list, const std::string& given) {
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        if (automation::EqualsIgnoreCase(list.entries[i].name, given)) {
            return i;
        }
    }
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const vlt::BackupEntry& entry = list.entries[i];
        if (!OlderBackup(entry) && automation::EqualsIgnoreCase(entry.reading.path, given)) {
            return i;
        }
    }
    throw UsageError("no backup named " + given + " is in " + list.folder +
                     " (velto-machine backups DIR lists them)");
}

int Restore(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--all"}, {});
    const bool all = parsed.has("--all");
    if (parsed.positional.empty() || (all && parsed.positional.size() != 1) ||
        (!all && parsed.positional.size() < 2)) {
        throw UsageError(std::string("usage: velto-machine restore ") + kUsageText);
    }
    const auto machine = OpenToChange(parsed.positional[0], "restore");
    velto_check::HeadlessProgram program;
    const vlt::BackupList list = vlt::ListBackups();
    std::vector<std::size_t> chosen;
    if (all) {
        for (std::size_t i = 0; i < list.entries.size(); ++i) {
            if (!OlderBackup(list.entries[i])) {
                chosen.push_back(i);
            }
        }
    } else {
        for (auto given = parsed.positional.begin() + 1; given != parsed.positional.end();
             ++given) {
            chosen.push_back(Named(list, *given));
        }
    }
    if (chosen.empty()) {
        std::cout << "There are no backups to restore in " << list.folder << ".\n";
        return kOk;
    }
    const std::vector<vlt::RestoreStatus> statuses = vlt::ScheduleRestores(list, chosen);
    std::size_t scheduled = 0;
    std::size_t refused = 0;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        const vlt::BackupEntry& entry = list.entries[chosen[i]];
        switch (statuses[i]) {
            case vlt::RestoreStatus::Scheduled:
                ++scheduled;
                std::cout << "to be restored: " << entry.reading.path << " from " << entry.name
                          << "\n";
                break;
            case vlt::RestoreStatus::AlreadyWaiting:
                std::cout << "already to be restored: " << entry.reading.path << " from "
                          << entry.name << "\n";
                break;
            default:
                ++refused;
                std::cout << "not restored: " << entry.name << ": "
                          << vlt::RestoreReason(statuses[i], list, entry) << "\n";
                break;
        }
    }
    if (scheduled > 0) {
        std::cout << scheduled << (scheduled == 1 ? " backup goes" : " backups go")
                  << " back at the machine's next start: velto-machine boot "
                  << parsed.positional[0] << "\n";
    }
    std::cout << std::flush;
    return refused > 0 ? kNotRestored : kOk;
}

const RegisterCommand kRestore({"restore", kUsageText,
                                "schedules backups to be put back at the machine's next start, "
                                "as the restore window does; --all: the newest of each file",
                                Restore});

}  // namespace
}  // namespace velto_machine
