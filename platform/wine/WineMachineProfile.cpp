#include "platform/wine/WineMachineProfile.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/machine/IniDocument.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/NtVersion.h"
#include "platform/machine/Text.h"
#include "platform/win32/ntdll/HostFiles.h"

namespace wine {
namespace {

namespace fs = std::filesystem;
using machine::DriveType;

struct NineX {
    std::string_view name;
    machine::WindowsVersion version;
    std::string_view servicePack;
};
constexpr std::array<NineX, 3> kNineX = {{
    {"win95", {4, 0, 950}, ""},
    {"win98", {4, 10, 2222}, "A"},
    {"winme", {4, 90, 3000}, ""},
}};

constexpr std::array<std::pair<std::string_view, DriveType>, 6> kWineDriveTypes = {{
    {"hd", DriveType::Fixed},
    {"cdrom", DriveType::CdRom},
    {"floppy", DriveType::Removable},
    {"network", DriveType::Remote},
    {"ramdisk", DriveType::RamDisk},
    {"ram", DriveType::RamDisk},
}};

std::optional<registry::ValueData> Query(registry::RegistryStore& store, registry::Root root,
                                         std::string_view key, std::string_view name) {
    registry::KeyId id = 0;
    registry::ValueData value;
    if (store.openKey(store.rootKey(root), registry::SplitKeyNames(key), id) !=
            registry::Outcome::Ok ||
        store.queryValue(id, name, value) != registry::Outcome::Ok) {
        return std::nullopt;
    }
    return value;
}

// A text value (without its closing NULs), or nullopt.
std::optional<std::string> Text(registry::RegistryStore& store, registry::Root root,
                                std::string_view key, std::string_view name) {
    const auto value = Query(store, root, key, name);
    if (!value || !registry::IsStringType(value->type)) {
        return std::nullopt;
    }
    std::string text(value->data.begin(), value->data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

std::vector<registry::Value> Values(registry::RegistryStore& store, registry::Root root,
                                    std::string_view key) {
    registry::KeyId id = 0;
    std::vector<registry::Value> values;
    if (store.openKey(store.rootKey(root), registry::SplitKeyNames(key), id) ==
        registry::Outcome::Ok) {
        store.values(id, values);
    }
    return values;
}

bool Inside(const fs::path& path, const fs::path& folder) {
    const auto relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

machine::IniDocument ReadSettings(const fs::path& prefix) {
    std::string text;
    const fs::path file = prefix / WineMachineProfile::kSettingsFile;
    const int err = win32::host::ReadWholeFile(file, text);
    if (err == ENOENT) {
        return {};
    }
    if (err != 0) {
        throw machine::MachineError(file.string() + " cannot be read");
    }
    return machine::IniDocument::Parse(machine::text::DecodeFileText(text));
}

}  // namespace

WineMachineProfile::WineMachineProfile(const fs::path& prefix, registry::RegistryStore& store,
                                       bool win64)
    : win64_(win64) {
    ReadVersion(store);
    ReadDrives(prefix, store);
    computerName_ =
        Text(store, registry::Root::LocalMachine,
             "System\\CurrentControlSet\\Control\\ComputerName\\ComputerName", "ComputerName")
            .value_or("");
    for (const auto& value : Values(store, registry::Root::CurrentUser,
                                    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                    "Shell Folders")) {
        if (registry::IsStringType(value.type)) {
            std::string text(value.data.begin(), value.data.end());
            text.resize(std::min(text.size(), text.find('\0')));
            folders_[machine::text::FoldCase(value.name)] = text;
        }
    }
}

void WineMachineProfile::ReadVersion(registry::RegistryStore& store) {
    wineVersion_ = machine::text::FoldCase(
        Text(store, registry::Root::CurrentUser, "Software\\Wine", "Version").value_or(""));
    for (const NineX& release : kNineX) {
        if (wineVersion_ == machine::text::FoldCase(release.name)) {
            platform_ = machine::Platform::Win9x;
            const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion";
            const auto number = Text(store, registry::Root::LocalMachine, key, "VersionNumber");
            const auto parsed =
                number ? machine::ParseWindowsVersion(machine::text::Trim(*number)) : std::nullopt;
            version_ = parsed.value_or(release.version);
            servicePack_ = std::string(machine::text::Trim(
                Text(store, registry::Root::LocalMachine, key, "SubVersionNumber")
                    .value_or(std::string(release.servicePack))));
            return;
        }
    }
    const std::string key = "Software\\Microsoft\\Windows NT\\CurrentVersion";
    const auto text = [&](std::string_view name) {
        return Text(store, registry::Root::LocalMachine, key, name);
    };
    const auto dword = [&](std::string_view name) {
        const auto value = Query(store, registry::Root::LocalMachine, key, name);
        return value ? registry::DwordOf(value->type, value->data) : std::nullopt;
    };
    if (const auto version = machine::NtVersionFrom({text, dword})) {
        version_ = *version;
        servicePack_ = text("CSDVersion").value_or("");
    }
}

void WineMachineProfile::ReadDrives(const fs::path& prefix, registry::RegistryStore& store) {
    std::map<char, DriveType> types;
    for (const auto& value :
         Values(store, registry::Root::LocalMachine, "Software\\Wine\\Drives")) {
        if (value.name.size() != 2 || value.name[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(value.name[0]))) {
            continue;
        }
        std::string text(value.data.begin(), value.data.end());
        text.resize(std::min(text.size(), text.find('\0')));
        for (const auto& [name, type] : kWineDriveTypes) {
            if (machine::text::EqualsNoCase(text, name)) {
                types[static_cast<char>(std::toupper(static_cast<unsigned char>(value.name[0])))] =
                    type;
            }
        }
    }
    const machine::IniDocument settings = ReadSettings(prefix);
    std::error_code ec;
    const fs::path ownFolder = fs::weakly_canonical(fs::absolute(prefix), ec);
    const fs::path devices = fs::absolute(prefix) / "dosdevices";
    for (const auto& entry : fs::directory_iterator(devices, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() != 2 || name[1] != ':' ||
            !std::isalpha(static_cast<unsigned char>(name[0]))) {
            continue;
        }
        machine::DriveInfo drive;
        drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        const auto type = types.find(drive.letter);
        drive.type = type != types.end() ? type->second : DriveType::Fixed;
        std::error_code linkError;
        fs::path target = fs::read_symlink(entry.path(), linkError);
        if (linkError) {
            target = entry.path();
        } else if (target.is_relative()) {
            target = devices / target;
        }
        drive.hostFolder = target.lexically_normal();
        std::error_code canonicalError;
        const fs::path real = fs::weakly_canonical(drive.hostFolder, canonicalError);
        const bool inside = !canonicalError && Inside(real, ownFolder);
        const auto choice = settings.Get("Drives", std::string(1, drive.letter));
        if (!inside &&
            !(choice && machine::text::EqualsNoCase(machine::text::Trim(*choice), kCheckedDrive))) {
            drive.leftOut = "its folder lies outside the prefix; to check it all the same, put " +
                            std::string(1, drive.letter) + "=" + kCheckedDrive +
                            " under [Drives] in " + (prefix / kSettingsFile).string();
        }
        drives_.push_back(std::move(drive));
    }
    std::sort(drives_.begin(), drives_.end(),
              [](const auto& a, const auto& b) { return a.letter < b.letter; });
}

std::optional<std::string> WineMachineProfile::specialFolder(std::string_view shellName) const {
    const auto it = folders_.find(machine::text::FoldCase(shellName));
    if (it == folders_.end() || it->second.empty()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> WineMachineProfile::value(std::string_view section,
                                                     std::string_view key) const {
    if (machine::text::EqualsNoCase(section, "Folders")) {
        return specialFolder(key);
    }
    return std::nullopt;
}

std::optional<machine::ProcessorView> WineMachineProfile::processorView(
    std::uint16_t peMachine) const {
    if (!win64_) {
        return MachineProfile::processorView(peMachine);
    }
    return X64WindowsView(peMachine, windowsDir() + "\\syswow64");
}

}  // namespace wine
