#include "platform/win32/advapi32/RegistryHandles.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/machine/Machine.h"
#include "platform/win32/advapi32/RegistryCopy.h"
#include "platform/win32/advapi32/RegistryTransaction.h"

namespace win32::registry_handles {

namespace {

// Handle values look like Windows' (multiples of 4, far below the roots at 0x80000000).
constexpr std::uint32_t kFirstHandle = 0x1000;
constexpr std::uint32_t kLastHandle = 0x7FFFFFFC;

struct State {
    std::mutex mutex;
    std::shared_ptr<machine::Machine> machine;  // the machine `store` belongs to
    std::shared_ptr<registry::RegistryStore> store;
    std::unordered_map<std::uint32_t, OpenKey> handles;
    std::uint32_t next = kFirstHandle;
};

State& Shared() {
    static State state;
    return state;
}

// A caller looping over a broken registry would otherwise print the same line every call.
// An empty message forgets the last one, so that a failure coming back is told again.
void Report(const std::string& message) {
    static std::mutex mutex;
    static std::string last;
    std::lock_guard lock(mutex);
    if (!message.empty() && message != last) {
        std::fprintf(stderr, "velto: %s\n", message.c_str());
    }
    last = message;
}

}  // namespace

LSTATUS Failure(const registry::StoreError& error) {
    Report(error.what());
    switch (error.kind()) {
        case registry::StoreError::Kind::Corrupt:
            return ERROR_BADDB;
        case registry::StoreError::Kind::CannotOpen:
            return ERROR_REGISTRY_IO_FAILED;
        case registry::StoreError::Kind::ReadFailed:
            return ERROR_CANTREAD;
        case registry::StoreError::Kind::WriteFailed:
            return ERROR_CANTWRITE;
    }
    return ERROR_REGISTRY_IO_FAILED;
}

LSTATUS Resolve(HKEY handle, OpenKey& key) {
    State& state = Shared();
    const auto value = static_cast<std::uint32_t>(handle);
    if (const auto root = registry::RootFromHandleValue(value)) {
        std::shared_ptr<registry::RegistryStore> store;
        {
            std::lock_guard lock(state.mutex);
            const auto current = machine::CurrentMachine();
            if (!current) {
                Report("the registry cannot be used: no machine is chosen");
                return ERROR_REGISTRY_IO_FAILED;
            }
            if (!state.store || state.machine != current) {
                try {
                    state.store = current->kind().OpenRegistry();
                } catch (const registry::StoreError& e) {
                    state.store.reset();
                    return Failure(e);
                }
                state.machine = current;
                Report({});
            }
            store = state.store;
        }
        key = {store, store->rootKey(*root)};
        return ERROR_SUCCESS;
    }
    std::lock_guard lock(state.mutex);
    const auto it = state.handles.find(value);
    if (it == state.handles.end()) {
        return ERROR_INVALID_HANDLE;
    }
    key = it->second;
    return ERROR_SUCCESS;
}

HKEY Add(OpenKey key) {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    while (state.handles.contains(state.next)) {
        state.next = state.next >= kLastHandle ? kFirstHandle : state.next + 4;
    }
    const std::uint32_t value = state.next;
    state.handles.emplace(value, std::move(key));
    state.next = state.next >= kLastHandle ? kFirstHandle : state.next + 4;
    return HKEY{value};
}

bool Remove(HKEY handle) {
    State& state = Shared();
    std::lock_guard lock(state.mutex);
    return state.handles.erase(static_cast<std::uint32_t>(handle)) > 0;
}

}  // namespace win32::registry_handles

namespace win32 {

bool UseRegistryCopy(std::string& error) {
    registry_handles::OpenKey root;
    if (registry_handles::Resolve(HKEY_LOCAL_MACHINE, root) != ERROR_SUCCESS) {
        error = "the machine's registry cannot be read";
        return false;
    }
    try {
        std::shared_ptr<registry::RegistryStore> copy = root.store->copyIntoMemory();
        registry_handles::State& state = registry_handles::Shared();
        std::lock_guard lock(state.mutex);
        // Handles opened before stay on the original; there are none in a run that starts
        // with the copy.
        state.store = std::move(copy);
    } catch (const registry::StoreError& e) {
        error = e.what();
        return false;
    }
    return true;
}

namespace {

// Carries a body's result out of the store's transaction, which undoes the body's changes.
struct BodyFailed {
    LSTATUS code;
};

}  // namespace

LSTATUS RegistryTransaction(const std::function<LSTATUS()>& body) {
    registry_handles::OpenKey root;
    if (const LSTATUS rc = registry_handles::Resolve(HKEY_LOCAL_MACHINE, root);
        rc != ERROR_SUCCESS) {
        return rc;
    }
    try {
        root.store->transaction([&] {
            if (const LSTATUS rc = body(); rc != ERROR_SUCCESS) {
                throw BodyFailed{rc};
            }
        });
    } catch (const BodyFailed& failed) {
        return failed.code;
    } catch (const registry::StoreError& e) {
        return registry_handles::Failure(e);
    }
    return ERROR_SUCCESS;
}

}  // namespace win32
