#pragma once
// A Windows installation that is not running (the Windows partition of a dual-boot machine, a
// virtual machine's disk image, an old computer's disk) as a machine: a folder holding
// Windows\System32\config\SYSTEM and SOFTWARE, names compared without case. The folder is its
// drive C:. Its registry is its hives (OfflineRegistryStore.h); the moves scheduled for its
// next start go to SYSTEM's PendingFileRenameOperations, which Windows' Session Manager
// carries out when that Windows starts (or `velto-machine boot`, in its manner, for a user
// who will not start it). On Windows Vista and later, the files its component store (WinSxS)
// holds are Windows' own (ComponentStore.h).
//
// The user whose HKEY_CURRENT_USER the program uses is the one ProfileList names, when it
// names one; of several, the one chosen by name (or SID) when the folder is opened, else the
// one the folder's velto.ini names:
//     [Machine]
//     User=alice

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/machine/Machine.h"
#include "platform/offline/ComponentStore.h"
#include "platform/offline/OfflineRegistryStore.h"

namespace offline {

inline constexpr const char* kSettingsFile = "velto.ini";

bool IsOfflineInstallation(const std::filesystem::path& folder);

// Throws machine::MachineError when its registry cannot be read, or when its user cannot be
// told (several profiles and none chosen, or a chosen one it does not have). Opened to read
// (machine::Access::Read), its registry takes no write.
std::shared_ptr<machine::Machine> OpenOfflineInstallation(
    const std::filesystem::path& folder, const std::optional<std::string>& user,
    machine::Access access = machine::Access::Unlocked);

class OfflineKind final : public machine::MachineKind {
  public:
    // `componentStore`: the store of Windows Vista and later, when the installation has one.
    OfflineKind(std::filesystem::path root, std::shared_ptr<OfflineRegistryStore> store,
                std::vector<std::filesystem::path> hiveFiles,
                std::unique_ptr<ComponentStore> componentStore)
        : root_(std::move(root)),
          store_(std::move(store)),
          hiveFiles_(std::move(hiveFiles)),
          componentStore_(std::move(componentStore)) {}

    std::string_view name() const override { return "Windows installation"; }
    std::shared_ptr<registry::RegistryStore> OpenRegistry() const override { return store_; }
    std::vector<std::filesystem::path> registryFiles() const override { return hiveFiles_; }
    // Velto's own start, done as Windows' Session Manager does it (startReadsWininit).
    std::optional<bool> StartOnHost(const Printer&) const override { return std::nullopt; }
    std::string startCommand() const override;
    // Its registry names the installation's Windows programs.
    bool opensDocumentsWithItsPrograms() const override { return false; }
    bool startReadsWininit() const override { return false; }
    std::optional<std::string> startedLaterBy() const override;
    std::optional<std::string> whyNotWritable() const override { return store_->writeRefusal(); }
    bool folderIsItsDrive() const override { return true; }
    // The component store's files (ComponentStore.h).
    std::optional<machine::PlatformFile> PlatformFileAt(
        const std::filesystem::path& host) const override {
        return componentStore_ ? componentStore_->Owner(host) : std::nullopt;
    }

  private:
    std::filesystem::path root_;
    std::shared_ptr<OfflineRegistryStore> store_;
    std::vector<std::filesystem::path> hiveFiles_;
    std::unique_ptr<ComponentStore> componentStore_;
};

}  // namespace offline
