#include "platform/kinds/MachineKinds.h"

#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/MachineError.h"
#include "platform/wine/WinePrefix.h"

namespace kinds {

std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder) {
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec) ||
        std::filesystem::exists(folder / machine::IniMachineProfile::kFileName, ec)) {
        return machine::Machine::Open(folder);
    }
    if (wine::IsWinePrefix(folder)) {
        return wine::OpenWinePrefix(folder);
    }
    throw machine::MachineError(folder.string() + " is not a Velto machine (no " +
                                machine::IniMachineProfile::kFileName +
                                ") and not a Wine prefix (no system.reg and dosdevices/); "
                                "create one with: velto-machine create " +
                                folder.string());
}

std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location) {
    return machine::OpenChosenMachine(location, &OpenMachine);
}

}  // namespace kinds
