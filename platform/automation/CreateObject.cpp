#include "platform/automation/CreateObject.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/automation/Text.h"

namespace automation {
namespace {

// Libraries register while they are loaded, possibly before main and from any thread that
// loads them, so the table is created on first use and guarded.
struct Registry {
    std::mutex mutex;
    std::map<std::string, ObjectFactory> factories;  // keyed by the upper-cased ProgID
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

void RegisterProgID(std::string progId, ObjectFactory factory) {
    Registry& r = TheRegistry();
    const std::lock_guard lock(r.mutex);
    r.factories[UCase(progId)] = std::move(factory);
}

void UnregisterProgID(std::string_view progId) {
    Registry& r = TheRegistry();
    const std::lock_guard lock(r.mutex);
    r.factories.erase(UCase(progId));
}

bool IsProgIDRegistered(std::string_view progId) {
    Registry& r = TheRegistry();
    const std::lock_guard lock(r.mutex);
    return r.factories.count(UCase(progId)) != 0;
}

std::shared_ptr<Object> CreateObject(std::string_view progId) {
    ObjectFactory factory;
    {
        Registry& r = TheRegistry();
        const std::lock_guard lock(r.mutex);
        const auto found = r.factories.find(UCase(progId));
        if (found != r.factories.end()) {
            factory = found->second;
        }
    }
    // The factory runs unlocked: a constructor may create further objects by name.
    std::shared_ptr<Object> object = factory ? factory() : nullptr;
    if (!object) {
        Raise(CannotCreateObject, std::string(progId));
    }
    return object;
}

ProgIDRegistration::ProgIDRegistration(std::string progId, ObjectFactory factory) {
    RegisterProgID(std::move(progId), std::move(factory));
}

}  // namespace automation
