#include "platform/offline/OfflineMachineProfile.h"

#include "platform/machine/Text.h"
#include "platform/registry/RegistryStore.h"

namespace offline {

OfflineMachineProfile::OfflineMachineProfile(const std::filesystem::path& root,
                                             InstallationFacts facts, InstallationFolders folders,
                                             InstallationUser user)
    : facts_(std::move(facts)), folders_(std::move(folders)), user_(std::move(user)) {
    drive_.letter = 'C';
    drive_.type = machine::DriveType::Fixed;
    drive_.hostFolder = root;
}

std::optional<std::string> OfflineMachineProfile::specialFolder(std::string_view shellName) const {
    const auto it = user_.shellFolders.find(registry::FoldName(shellName));
    if (it == user_.shellFolders.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> OfflineMachineProfile::value(std::string_view section,
                                                        std::string_view key) const {
    using machine::text::EqualsNoCase;
    if (EqualsNoCase(section, "Folders")) {
        return specialFolder(key);
    }
    if (!EqualsNoCase(section, "Machine")) {
        return std::nullopt;
    }
    const std::pair<std::string_view, const std::string*> facts[] = {
        {"ProductName", &facts_.productName},
        {"Architecture", &facts_.architecture},
        {"UserSid", &user_.sid},
        {"ProfileFolder", &user_.profileFolder},
        {"Wow64SystemDir", &folders_.wow64System}};
    for (const auto& [name, text] : facts) {
        if (EqualsNoCase(key, name)) {
            return text->empty() ? std::nullopt : std::optional<std::string>(*text);
        }
    }
    return std::nullopt;
}

std::optional<machine::ProcessorView> OfflineMachineProfile::processorView(
    std::uint16_t peMachine) const {
    if (folders_.wow64System.empty()) {
        return MachineProfile::processorView(peMachine);
    }
    return X64WindowsView(peMachine, folders_.wow64System);
}

}  // namespace offline
