#include "platform/wine/WinePrefix.h"

#include "platform/machine/MachineError.h"
#include "platform/machine/Text.h"
#include "platform/wine/DllOverrides.h"
#include "platform/wine/WineMachineProfile.h"
#include "platform/wine/WineServer.h"

namespace wine {

bool IsWinePrefix(const std::filesystem::path& folder) {
    std::error_code ec;
    return std::filesystem::is_regular_file(folder / WineRegistryStore::kMachineFile, ec) &&
           std::filesystem::is_directory(folder / "dosdevices", ec);
}

std::shared_ptr<machine::Machine> OpenWinePrefix(const std::filesystem::path& folder,
                                                 machine::Access access) {
    std::error_code ec;
    const auto prefix = std::filesystem::absolute(folder, ec).lexically_normal();
    // What a reader sees while Wine runs is said by the kind (heldByItsOwnPrograms).
    const ServerCheck server =
        access == machine::Access::Read ? ServerCheck{} : CheckServer(prefix);
    if (server.state == ServerState::Running) {
        throw machine::MachineError(WineRunningMessage(prefix));
    }
    if (server.state == ServerState::Unknown) {
        throw machine::MachineError("cannot tell whether Wine is running in " + prefix.string() +
                                    " (" + server.detail + ")");
    }
    // Taken before anything is read, so that Proton cannot change the prefix meanwhile; a
    // reader never holds it (Steam would wait for a window left open), it only says when
    // Proton is at work (heldByItsOwnPrograms).
    auto protonLock =
        access == machine::Access::Read ? nullptr : std::make_shared<ProtonLock>(prefix);
    std::shared_ptr<WineRegistryStore> store;
    try {
        store = WineRegistryStore::Open(prefix);
    } catch (const registry::StoreError& e) {
        throw machine::MachineError(std::string("the prefix's registry cannot be used: ") +
                                    e.what());
    }
    auto profile =
        std::make_unique<WineMachineProfile>(prefix, *store, store->architecture() == "win64");
    return std::make_shared<machine::Machine>(
        prefix, std::move(profile),
        std::make_shared<WineKind>(prefix, store, ProtonFiles::Read(prefix),
                                   std::move(protonLock)));
}

std::optional<machine::LibraryChoice> WineKind::LibraryChoiceFor(std::string_view fileName,
                                                                 bool providedPrefersNative) const {
    return ChooseLibrary(*store_, fileName, providedPrefersNative);
}

std::vector<std::filesystem::path> WineKind::registryFiles() const {
    return {prefix_ / WineRegistryStore::kMachineFile, prefix_ / WineRegistryStore::kUserFile,
            prefix_ / WineRegistryStore::kDefaultUserFile};
}

std::optional<std::string> WineKind::heldByItsOwnPrograms() const {
    const ServerCheck server = CheckServer(prefix_);
    if (server.state == ServerState::Running) {
        return "Wine is running in this prefix: its programs hold the registry in memory, so "
               "the registry files read here may lag behind";
    }
    if (server.state == ServerState::Unknown) {
        return "Wine may be running in this prefix (" + server.detail +
               "): the registry files read here may lag behind";
    }
    // Probed only by a reader: a machine opened to change holds Proton's lock itself.
    if (protonLock_ == nullptr) {
        return ProtonAtWork(prefix_);
    }
    return std::nullopt;
}

std::string WineKind::startCommand() const {
    return "WINEPREFIX=" + machine::text::ShellQuoted(prefix_.string()) + " wineboot -r";
}

}  // namespace wine
