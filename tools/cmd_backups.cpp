// velto-machine backups DIR [--json]: every backup in the machine's backup folder, with the
// place it goes back to as the restore window reads it, and whether a restore would be
// scheduled now (tools/BackupReport.h). Nothing is written. Exit status: 0, or 2.

#include <iostream>

#include "platform/win32/advapi32/RegistryCopy.h"
#include "tools/BackupReport.h"
#include "tools/check/HeadlessProgram.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

int Backups(const std::vector<std::string>& args) {
    const ParsedArgs parsed = ParseArgs(args, {"--json"}, {});
    if (parsed.positional.size() != 1) {
        throw UsageError("usage: velto-machine backups DIR [--json]");
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    TellHolders(*machine, "backups", std::cerr);
    // The settings are read through the program's own controls, which may store what they
    // read; the copy keeps the machine as it is.
    std::string error;
    if (!win32::UseRegistryCopy(error)) {
        throw UsageError(error);
    }
    velto_check::HeadlessProgram program;
    const vlt::BackupList list = vlt::ListBackups();
    const std::vector<BackupRow> rows = BackupRows(list, vlt::ScheduledMoves::Read());
    if (parsed.has("--json")) {
        WriteBackupsJson(list, rows, machine->folder(), std::cout);
    } else {
        WriteBackupsText(list, rows, std::cout);
    }
    if (!std::cout.flush()) {
        std::cerr << "velto-machine backups: cannot write the output\n";
        return kUsage;
    }
    return kOk;
}

const RegisterCommand kBackups({"backups", "DIR [--json]",
                                "lists the backups Velto made, with the place each goes back "
                                "to, and changes nothing",
                                Backups});

}  // namespace
}  // namespace velto_machine
