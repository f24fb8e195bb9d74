#include "platform/kinds/MachineKinds.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/MachineError.h"
#include "platform/wine/WinePrefix.h"

namespace kinds {
namespace {

enum class Kind { Emulated, Wine };

Kind Tell(const std::filesystem::path& folder) {
    machine::CheckMachineFolder(folder);
    std::error_code ec;
    if (std::filesystem::exists(folder / machine::IniMachineProfile::kFileName, ec)) {
        return Kind::Emulated;
    }
    if (wine::IsWinePrefix(folder)) {
        return Kind::Wine;
    }
    throw machine::MachineError(folder.string() + " is not a Velto machine (no " +
                                machine::IniMachineProfile::kFileName +
                                ") and not a Wine prefix (no system.reg and dosdevices/); "
                                "create one with: velto-machine create " +
                                folder.string());
}

std::shared_ptr<machine::Machine> Open(const std::filesystem::path& folder, Kind kind,
                                       machine::Access access) {
    return kind == Kind::Emulated ? machine::Machine::Open(folder, access)
                                  : wine::OpenWinePrefix(folder, access);
}

// A registry file the user may not write would fail the run half-way.
void CheckRegistryWritable(const machine::Machine& m) {
    std::error_code ec;
    for (const auto& file : m.kind().registryFiles()) {
        if (std::filesystem::exists(file, ec) &&
            ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0) {
            throw machine::MachineError(
                "the machine in " + m.folder().string() + " cannot be written (" +
                std::strerror(errno) + ": its registry " + file.string() +
                "); commands that only read it still work (velto-machine check, info, list, "
                "reg export)");
        }
    }
}

}  // namespace

std::shared_ptr<machine::Machine> OpenMachine(const std::filesystem::path& folder,
                                              machine::Access access) {
    return Open(folder, Tell(folder), access);
}

std::shared_ptr<machine::Machine> OpenToRead(const std::filesystem::path& folder) {
    return OpenMachine(folder, machine::Access::Read);
}

std::shared_ptr<machine::Machine> OpenToChange(const std::filesystem::path& folder,
                                               const std::string& holder) {
    const Kind kind = Tell(folder);
    std::error_code ec;
    auto lock = std::make_shared<const machine::MachineLock>(
        std::filesystem::absolute(folder, ec).lexically_normal(), holder);
    auto opened = Open(folder, kind, machine::Access::Change);
    opened->Keep(std::move(lock));
    CheckRegistryWritable(*opened);
    return opened;
}

std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location,
                                                    const std::string& holder) {
    return machine::OpenChosenMachine(location, [&holder](const std::filesystem::path& folder) {
        return OpenToChange(folder, holder);
    });
}

}  // namespace kinds
