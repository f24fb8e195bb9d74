#pragma once
// The registry functions' process-wide state: the current machine's open store and the table
// of key handles. Internal to platform/win32.

#include <memory>

#include "platform/registry/RegistryStore.h"
#include "platform/win32/advapi32/Registry.h"

namespace win32::registry_handles {

struct OpenKey {
    std::shared_ptr<registry::RegistryStore> store;
    registry::KeyId id = 0;
};

// The key a handle stands for. Roots resolve on the current machine's store, which is opened
// on first use and again whenever the current machine changes. Returns ERROR_INVALID_HANDLE
// for a handle that is not open, or the code of a store that cannot be used.
LSTATUS Resolve(HKEY handle, OpenKey& key);

// A new handle for `key`; handles stay valid (on the store they were opened on) until closed.
HKEY Add(OpenKey key);
// False when `handle` is not an open handle.
bool Remove(HKEY handle);

// The result code for a failure of the store; the reason goes to stderr, once while it
// repeats.
LSTATUS Failure(const registry::StoreError& error);

}  // namespace win32::registry_handles
