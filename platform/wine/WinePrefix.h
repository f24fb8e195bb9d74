#pragma once
// A Wine prefix as a machine: a folder holding system.reg and dosdevices/.

#include <filesystem>
#include <memory>

#include "platform/machine/Machine.h"
#include "platform/wine/ProtonPrefix.h"
#include "platform/wine/WineRegistryStore.h"

namespace wine {

bool IsWinePrefix(const std::filesystem::path& folder);

// Opens the prefix in `folder`. Throws machine::MachineError when its registry cannot be read,
// while Proton sets it up (kProtonBusyMessage) and, unless it is opened only to read, while a
// wineserver runs for it (WineRunningMessage). A Proton prefix stays locked for Proton until the
// machine is closed.
std::shared_ptr<machine::Machine> OpenWinePrefix(
    const std::filesystem::path& folder, machine::Access access = machine::Access::Unlocked);

class WineKind final : public machine::MachineKind {
  public:
    WineKind(std::filesystem::path prefix, std::shared_ptr<WineRegistryStore> store,
             ProtonFiles protonFiles = {}, std::shared_ptr<ProtonLock> protonLock = nullptr)
        : prefix_(std::move(prefix)),
          store_(std::move(store)),
          protonFiles_(std::move(protonFiles)),
          protonLock_(std::move(protonLock)) {}

    std::string_view name() const override { return "Wine prefix"; }
    std::shared_ptr<registry::RegistryStore> OpenRegistry() const override { return store_; }
    std::vector<std::filesystem::path> registryFiles() const override;
    // wineboot -r, then the check of every move it was to carry out (WineStart.cpp).
    std::optional<bool> StartOnHost(const Printer& print) const override;
    std::string startCommand() const override;
    // While a wineserver runs, the registry files may lag behind what it holds in memory.
    std::optional<std::string> heldByItsOwnPrograms() const override;
    bool opensDocumentsWithItsPrograms() const override { return false; }
    // The files Proton placed and tracks (ProtonPrefix.h).
    std::optional<machine::PlatformFile> PlatformFileAt(
        const std::filesystem::path& host) const override {
        return protonFiles_.Owner(host);
    }
    // From the prefix's DllOverrides (DllOverrides.h).
    std::optional<machine::LibraryChoice> LibraryChoiceFor(
        std::string_view fileName, bool providedPrefersNative) const override;

  private:
    std::filesystem::path prefix_;
    std::shared_ptr<WineRegistryStore> store_;
    ProtonFiles protonFiles_;
    std::shared_ptr<ProtonLock> protonLock_;
};

}  // namespace wine
