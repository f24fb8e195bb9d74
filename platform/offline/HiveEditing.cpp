#include "platform/offline/HiveEditing.h"

#include <string>

#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"

namespace offline {

NodeRef MakeKey(Hive& hive, NodeRef from, std::string_view path) {
    NodeRef key = from;
    for (const std::string& name : registry::SplitKeyNames(path)) {
        const auto child = hive.Child(key, name);
        key = child ? *child : hive.AddChild(key, name);
    }
    return key;
}

void PutValue(Hive& hive, NodeRef key, std::string_view name, std::uint32_t type,
              std::span<const std::uint8_t> data) {
    hive.SetValue(key, RawValue{std::string(name), type, registry::WindowsData(type, data)});
}

void PutText(Hive& hive, NodeRef key, std::string_view name, std::string_view text,
             std::uint32_t type) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    PutValue(hive, key, name, type, data);
}

void PutDword(Hive& hive, NodeRef key, std::string_view name, std::uint32_t value) {
    const std::uint8_t data[4] = {
        static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    PutValue(hive, key, name, registry::REG_DWORD, data);
}

}  // namespace offline
