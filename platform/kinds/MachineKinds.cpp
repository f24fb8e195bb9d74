#include "platform/kinds/MachineKinds.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/machine/IniMachineProfile.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/Text.h"
#include "platform/offline/OfflineInstallation.h"
#include "platform/wine/WinePrefix.h"

namespace kinds {
namespace {

enum class Kind { Emulated, Wine, Offline };

Kind Tell(const std::filesystem::path& folder, const OpenOptions& options) {
    machine::CheckMachineFolder(folder);
    std::error_code ec;
    Kind kind = Kind::Offline;
    if (std::filesystem::exists(folder / machine::IniMachineProfile::kFileName, ec)) {
        kind = Kind::Emulated;
    } else if (offline::IsOfflineInstallation(folder)) {
        return Kind::Offline;
    } else if (wine::IsWinePrefix(folder)) {
        kind = Kind::Wine;
    } else {
        throw machine::MachineError(
            folder.string() + " is not a Velto machine (no " +
            machine::IniMachineProfile::kFileName +
            "), not a Windows installation (no Windows\\System32\\config\\SYSTEM) and not a Wine "
            "prefix (no system.reg and dosdevices/); create a machine with: velto-machine "
            "create " +
            folder.string());
    }
    if (options.user) {
        throw machine::MachineError("--user chooses the user of a Windows installation, and " +
                                    folder.string() + " holds none");
    }
    return kind;
}

std::shared_ptr<machine::Machine> Open(const std::filesystem::path& folder, Kind kind,
                                       machine::Access access, const OpenOptions& options) {
    switch (kind) {
        case Kind::Emulated:
            return machine::Machine::Open(folder, access);
        case Kind::Wine:
            return wine::OpenWinePrefix(folder, access);
        case Kind::Offline:
            break;
    }
    return offline::OpenOfflineInstallation(folder, options.user, access);
}

// A machine that may only be checked (Windows on it hibernated, mounted read-only).
void RefuseIfOnlyCheckable(const machine::Machine& opened) {
    if (const auto why = opened.kind().whyNotWritable()) {
        throw machine::MachineError("nothing may be changed in " + opened.folder().string() + ": " +
                                    *why + ". velto-machine check " +
                                    machine::text::ShellQuoted(opened.folder().string()) +
                                    " shows what a scan finds without changing anything");
    }
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
                                              machine::Access access, const OpenOptions& options) {
    return Open(folder, Tell(folder, options), access, options);
}

std::shared_ptr<machine::Machine> OpenToRead(const std::filesystem::path& folder,
                                             const OpenOptions& options) {
    return OpenMachine(folder, machine::Access::Read, options);
}

std::shared_ptr<machine::Machine> OpenToChange(const std::filesystem::path& folder,
                                               const std::string& holder,
                                               const OpenOptions& options) {
    const Kind kind = Tell(folder, options);
    // An installation that may not be changed is its drive: not even the lock file may go
    // there, so it is looked at first.
    if (kind == Kind::Offline) {
        RefuseIfOnlyCheckable(*Open(folder, kind, machine::Access::Read, options));
    }
    std::error_code ec;
    auto lock = std::make_shared<const machine::MachineLock>(
        std::filesystem::absolute(folder, ec).lexically_normal(), holder);
    auto opened = Open(folder, kind, machine::Access::Change, options);
    opened->Keep(std::move(lock));
    RefuseIfOnlyCheckable(*opened);
    CheckRegistryWritable(*opened);
    return opened;
}

std::shared_ptr<machine::Machine> OpenChosenMachine(const machine::MachineLocation& location,
                                                    const std::string& holder,
                                                    const OpenOptions& options) {
    return machine::OpenChosenMachine(location, [&](const std::filesystem::path& folder) {
        return OpenToChange(folder, holder, options);
    });
}

}  // namespace kinds
