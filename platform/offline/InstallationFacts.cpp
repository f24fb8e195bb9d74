#include "platform/offline/InstallationFacts.h"

#include <cstdio>

#include "platform/machine/NtVersion.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"

namespace offline {
namespace {

bool IsSystemAccount(std::string_view sid) {
    return sid == "S-1-5-18" || sid == "S-1-5-19" || sid == "S-1-5-20";
}

void ReadVersion(const Hive& software, InstallationFacts& facts) {
    const auto key = FindKey(software, software.root(), kCurrentVersionKey);
    if (!key) {
        return;
    }
    facts.version = machine::NtVersionFrom(
                        {[&](std::string_view name) { return StringValue(software, *key, name); },
                         [&](std::string_view name) { return DwordValue(software, *key, name); }})
                        .value_or(machine::WindowsVersion{});
    facts.servicePack = StringValue(software, *key, "CSDVersion").value_or("");
    facts.productName = StringValue(software, *key, "ProductName").value_or("");
    const auto profiles = FindKey(software, *key, "ProfileList");
    if (!profiles) {
        return;
    }
    for (const auto& [node, sid] : software.Children(*profiles)) {
        if (IsSystemAccount(sid)) {
            continue;
        }
        if (auto path = StringValue(software, node, "ProfileImagePath"); path && !path->empty()) {
            facts.users.push_back({sid, std::move(*path)});
        }
    }
}

void ReadControlSet(const Hive& system, InstallationFacts& facts) {
    const auto set = CurrentControlSet(system);
    if (!set) {
        return;
    }
    facts.controlSet = set->name;
    if (const auto key = FindKey(system, set->node, "Control\\ComputerName\\ComputerName")) {
        facts.computerName = StringValue(system, *key, "ComputerName").value_or("");
    }
    if (const auto key = FindKey(system, set->node, "Control\\Session Manager\\Environment")) {
        facts.architecture = StringValue(system, *key, "PROCESSOR_ARCHITECTURE").value_or("");
    }
}

}  // namespace

std::optional<NodeRef> FindKey(const Hive& hive, NodeRef from, std::string_view path) {
    NodeRef key = from;
    for (const std::string& name : registry::SplitKeyNames(path)) {
        const auto child = hive.Child(key, name);
        if (!child) {
            return std::nullopt;
        }
        key = *child;
    }
    return key;
}

std::optional<std::string> TextOf(const RawValue& value) {
    if (!registry::IsStringType(value.type)) {
        return std::nullopt;
    }
    const auto data = registry::StoreData(value.type, value.data);
    std::string text(data.begin(), data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

std::optional<std::string> StringValue(const Hive& hive, NodeRef key, std::string_view name) {
    const auto value = hive.Value(key, name);
    return value ? TextOf(*value) : std::nullopt;
}

std::optional<std::uint32_t> DwordValue(const Hive& hive, NodeRef key, std::string_view name) {
    const auto value = hive.Value(key, name);
    return value ? registry::DwordOf(value->type, value->data) : std::nullopt;
}

std::optional<ControlSet> CurrentControlSet(const Hive& system) {
    const auto select = FindKey(system, system.root(), "Select");
    const auto current = select ? DwordValue(system, *select, "Current") : std::nullopt;
    // Windows numbers its sets from 1 and keeps a handful; anything else is no set of its.
    if (!current || *current == 0 || *current > 999) {
        return std::nullopt;
    }
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03u", *current);
    const auto set = system.Child(system.root(), name);
    if (!set) {
        return std::nullopt;
    }
    return ControlSet{name, *set};
}

InstallationFacts ReadInstallationFacts(const Hive& software, const Hive& system) {
    InstallationFacts facts;
    ReadVersion(software, facts);
    ReadControlSet(system, facts);
    return facts;
}

std::map<std::string, std::string> ReadShellFolders(const Hive& user) {
    std::map<std::string, std::string> folders;
    const auto key = FindKey(
        user, user.root(), "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    if (!key) {
        return folders;
    }
    for (const RawValue& value : user.Values(*key)) {
        if (auto text = TextOf(value); text && !text->empty()) {
            folders[registry::FoldName(value.name)] = std::move(*text);
        }
    }
    return folders;
}

}  // namespace offline
