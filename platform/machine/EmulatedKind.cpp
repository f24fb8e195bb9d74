#include "platform/machine/EmulatedKind.h"

#include "platform/machine/Text.h"
#include "platform/registry/SqliteRegistryStore.h"

namespace machine {

std::shared_ptr<registry::RegistryStore> EmulatedKind::OpenRegistry() const {
    if (readOnly_) {
        return registry::SqliteRegistryStore::OpenReadOnly(folder_ / kRegistryFileName);
    }
    return registry::SqliteRegistryStore::Open(folder_ / kRegistryFileName);
}

std::string EmulatedKind::startCommand() const {
    return "velto-machine boot " + text::ShellQuoted(folder_.string());
}

}  // namespace machine
