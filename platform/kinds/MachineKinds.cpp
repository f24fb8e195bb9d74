#include "platform/kinds/MachineKinds.h"

#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/Text.h"
#include "platform/offline/OfflineInstallation.h"
#include "platform/wine/WinePrefix.h"

namespace kinds {

std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder,
                                              const OpenOptions& options) {
    std::error_code ec;
    const bool directory = std::filesystem::is_directory(folder, ec);
    if (directory && offline::IsOfflineInstallation(folder) &&
        !std::filesystem::exists(folder / machine::IniMachineProfile::kFileName, ec)) {
        return offline::OpenOfflineInstallation(folder, options.user);
    }
    if (options.user) {
        throw machine::MachineError("--user chooses the user of a Windows installation, and " +
                                    folder.string() + " holds none");
    }
    if (!directory || std::filesystem::exists(folder / machine::IniMachineProfile::kFileName, ec)) {
        return machine::Machine::Open(folder);
    }
    if (wine::IsWinePrefix(folder)) {
        return wine::OpenWinePrefix(folder);
    }
    throw machine::MachineError(
        folder.string() + " is not a Velto machine (no " + machine::IniMachineProfile::kFileName +
        "), not a Windows installation (no Windows\\System32\\config\\SYSTEM) and not a Wine "
        "prefix (no system.reg and dosdevices/); create a machine with: velto-machine create " +
        folder.string());
}

std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location,
                                                    const OpenOptions& options) {
    return machine::OpenChosenMachine(location, [&](const std::filesystem::path& folder) {
        return OpenMachine(folder, options);
    });
}

void RefuseIfOnlyCheckable(const machine::Machine& opened) {
    if (const auto why = opened.kind().whyNotWritable()) {
        throw machine::MachineError("nothing may be changed in " + opened.folder().string() + ": " +
                                    *why + ". velto-machine check " +
                                    machine::text::ShellQuoted(opened.folder().string()) +
                                    " shows what a scan finds without changing anything");
    }
}

}  // namespace kinds
