#include "platform/registry/RegistryCopy.h"

#include <span>
#include <string>
#include <vector>

#include "platform/registry/SqliteRegistryStore.h"

namespace registry {
namespace {

void Expect(Outcome outcome, RegistryStore& store) {
    if (outcome != Outcome::Ok) {
        throw StoreError(StoreError::Kind::ReadFailed,
                         "registry " + store.location() + " changed while it was copied");
    }
}

void CopyKey(RegistryStore& from, KeyId source, RegistryStore& to, KeyId target) {
    std::vector<Value> values;
    Expect(from.values(source, values), from);
    for (const Value& value : values) {
        Expect(to.setValue(target, value.name, value.type, value.data), to);
    }
    std::vector<Subkey> subkeys;
    Expect(from.subkeys(source, subkeys), from);
    for (const Subkey& subkey : subkeys) {
        KeyId created = 0;
        Expect(to.createKey(target, std::span<const std::string>(&subkey.name, 1), created), to);
        CopyKey(from, subkey.id, to, created);
    }
}

}  // namespace

std::unique_ptr<RegistryStore> RegistryStore::copyIntoMemory() {
    return CopyIntoMemory(*this);
}

std::unique_ptr<RegistryStore> CopyIntoMemory(RegistryStore& source) {
    auto copy = SqliteRegistryStore::CreateInMemory("a copy of " + source.location());
    copy->transaction([&] {
        for (Root root : kAllRoots) {
            CopyKey(source, source.rootKey(root), *copy, copy->rootKey(root));
        }
    });
    return copy;
}

}  // namespace registry
