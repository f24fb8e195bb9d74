#pragma once
// The emulated machine that `velto-machine create` makes: machine.ini, registry.db (SQLite,
// opened anew for every user so that several processes share it; read-only for a machine
// opened only to read) and Velto's own start.

#include <filesystem>

#include "platform/machine/MachineKind.h"

namespace machine {

class EmulatedKind final : public MachineKind {
  public:
    static constexpr const char* kRegistryFileName = "registry.db";

    explicit EmulatedKind(std::filesystem::path folder, bool readOnly = false)
        : folder_(std::move(folder)), readOnly_(readOnly) {}

    std::string_view name() const override { return "emulated machine"; }
    std::shared_ptr<registry::RegistryStore> OpenRegistry() const override;
    std::vector<std::filesystem::path> registryFiles() const override {
        return {folder_ / kRegistryFileName};
    }
    std::optional<bool> StartOnHost(const Printer&) const override { return std::nullopt; }
    std::string startCommand() const override;
    bool opensDocumentsWithItsPrograms() const override { return true; }

  private:
    std::filesystem::path folder_;
    bool readOnly_;
};

}  // namespace machine
