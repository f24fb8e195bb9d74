// velto-machine list DIR [--filter PATTERNS] [--paths PATHS] [--exclude FOLDER]...: the sorted
// listing the file control makes of the machine in DIR, one full Windows path per line, File(0)
// to File(FileCount - 1). Subfolders are walked; the patterns default to *.dll and the folders
// to the root of every fixed drive. Each --exclude leaves out one folder with its subtree.

#include <iostream>
#include <string>

#include "controls/file/QzFile.h"
#include "platform/machine/MachineProfile.h"
#include "tools/velto-machine-commands.h"

namespace velto_machine {
namespace {

std::string FixedDriveRoots(const machine::Machine& machine) {
    std::string roots;
    for (const machine::DriveInfo& drive : machine.paths().drives()) {
        if (drive.type == machine::DriveType::Fixed) {
            roots += std::string{drive.letter, ':', '\\', ';'};
        }
    }
    return roots;
}

int List(const std::vector<std::string>& args) {
    const auto parsed = ParseArgs(args, {}, {"--filter", "--paths", "--exclude"});
    if (parsed.positional.size() != 1) {
        throw UsageError(
            "usage: velto-machine list DIR [--filter PATTERNS] [--paths PATHS] [--exclude "
            "FOLDER]...");
    }
    const auto machine = OpenToRead(parsed.positional[0]);
    TellHolders(*machine, "list", std::cerr);
    Qz_File::QzFile file;
    file.SetFilter(parsed.value("--filter").value_or("*.dll"));
    file.SetPaths(parsed.value("--paths").value_or(FixedDriveRoots(*machine)));
    for (const auto& [option, folder] : parsed.values) {
        if (option == "--exclude") {
            file.AddExclusionPath(folder);
        }
    }
    file.SetIncludeSubDirectories(true);
    if (!file.LoadFileListing(false)) {
        std::cerr << "velto-machine list: no folders to list (the machine has no fixed drive and "
                     "--paths names none)\n";
        return kFailed;
    }
    for (std::int32_t i = 0; i < file.FileCount(); ++i) {
        std::cout << file.File(i) << '\n';
    }
    return std::cout.flush() ? kOk : kFailed;
}

const RegisterCommand kList({"list",
                             "DIR [--filter PATTERNS] [--paths PATHS] [--exclude FOLDER]...",
                             "lists the machine's files that match the patterns, sorted by name "
                             "and folder, as the scan finds them",
                             List});

}  // namespace
}  // namespace velto_machine
