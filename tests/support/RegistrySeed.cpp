#include "tests/support/RegistrySeed.h"

#include <stdexcept>

#include "platform/registry/RegText.h"
#include "platform/registry/SqliteRegistryStore.h"

namespace testsupport {

void SeedRegistry(const MachineBuilder& machine, std::string_view regText) {
    const auto path = machine.machine()->registryPath();
    if (!std::filesystem::exists(path)) {
        registry::SqliteRegistryStore::Create(path);
    }
    if (!regText.empty()) {
        auto store = registry::SqliteRegistryStore::Open(path);
        registry::ImportRegText(*store, regText);
    }
}

std::string RegistryText(const MachineBuilder& machine, std::string_view key) {
    auto store = registry::SqliteRegistryStore::Open(machine.machine()->registryPath());
    if (key.empty()) {
        return registry::ExportRegText(*store);
    }
    const auto path = registry::ParseKeyPath(key);
    if (!path) {
        throw std::invalid_argument("not a registry key: " + std::string(key));
    }
    return registry::ExportRegText(*store, path);
}

}  // namespace testsupport
