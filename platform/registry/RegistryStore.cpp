#include "platform/registry/RegistryStore.h"

#include <algorithm>
#include <array>
#include <utility>

namespace registry {

namespace {

struct RootNames {
    Root root;
    std::string_view name;
    std::string_view alias;
};

constexpr std::array<RootNames, 7> kRootNames = {{
    {Root::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {Root::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {Root::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {Root::Users, "HKEY_USERS", "HKU"},
    {Root::PerformanceData, "HKEY_PERFORMANCE_DATA", "HKPD"},
    {Root::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
    {Root::DynData, "HKEY_DYN_DATA", "HKDD"},
}};

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsStringType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

std::optional<std::uint32_t> DwordOf(std::uint32_t type, std::span<const std::uint8_t> data) {
    if (type != REG_DWORD || data.size() != 4) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(data[0] | (data[1] << 8) | (data[2] << 16)) |
           (static_cast<std::uint32_t>(data[3]) << 24);
}

std::string_view RootName(Root root) {
    for (const auto& entry : kRootNames) {
        if (entry.root == root) {
            return entry.name;
        }
    }
    return {};
}

std::optional<Root> ParseRootName(std::string_view name) {
    for (const auto& entry : kRootNames) {
        if (NamesEqual(name, entry.name) || NamesEqual(name, entry.alias)) {
            return entry.root;
        }
    }
    return std::nullopt;
}

std::optional<Root> RootFromHandleValue(std::uint32_t value) {
    if (value >= static_cast<std::uint32_t>(Root::ClassesRoot) &&
        value <= static_cast<std::uint32_t>(Root::DynData)) {
        return static_cast<Root>(value);
    }
    return std::nullopt;
}

std::string FoldName(std::string_view name) {
    std::string folded;
    folded.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // U+00C0..U+00DE are encoded as C3 80..C3 9E; their lower-case forms are 0x20 higher.
        // U+00D7 (multiplication sign) has no case.
        const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
        if (c == 0xC3 && next >= 0x80 && next <= 0xBF) {
            folded.push_back(name[i]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                folded.push_back(static_cast<char>(next + 0x20));
            } else {
                folded.push_back(name[i + 1]);
            }
            ++i;
            continue;
        }
        folded.push_back(FoldAscii(name[i]));
    }
    return folded;
}

std::size_t NameLength(std::string_view name) {
    std::size_t count = 0;
    for (char c : name) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++count;
        }
    }
    return count;
}

std::vector<std::string> SplitKeyNames(std::string_view path) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) {
            names.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && FoldName(a) == FoldName(b);
}

}  // namespace registry
