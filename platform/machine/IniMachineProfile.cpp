#include "platform/machine/IniMachineProfile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/machine/MachineError.h"
#include "platform/machine/Text.h"

namespace machine {
namespace {

constexpr std::string_view kMachine = "Machine";

bool IsDriveAbsolute(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
           path[1] == ':' && (path[2] == '\\' || path[2] == '/');
}

// "C:\WINDOWS\" and "C:\WINDOWS" mean the same folder; the root keeps its backslash.
std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

// A file that is no profile (random bytes, another program's file) must not pass for one
// made of defaults: it would stand for a machine the user never described. Every key stays
// optional; only lines that mean nothing are refused.
void CheckIsProfile(const IniDocument& ini) {
    const auto unreadable = ini.UnreadableLines();
    if (unreadable.empty()) {
        return;
    }
    constexpr size_t kShown = 10;
    std::string message = "machine.ini cannot be read as a machine profile: line";
    message += unreadable.size() > 1 ? "s " : " ";
    for (size_t i = 0; i < unreadable.size() && i < kShown; ++i) {
        message += (i > 0 ? ", " : "") + std::to_string(unreadable[i]);
    }
    if (unreadable.size() > kShown) {
        message += " and " + std::to_string(unreadable.size() - kShown) + " more";
    }
    message += unreadable.size() > 1 ? " are" : " is";
    message += " neither blank, a ; comment, a [section] header nor key=value in a section";
    if (!ini.HasSection(kMachine) && !ini.HasSection("Drives")) {
        message += ", and it has no [Machine] or [Drives] section";
    }
    throw MachineError(message);
}

}  // namespace

IniMachineProfile::IniMachineProfile(const std::filesystem::path& machineFolder, IniDocument ini)
    : ini_(std::move(ini)) {
    CheckIsProfile(ini_);
    const std::string platformText = ini_.Get(kMachine, "Platform").value_or("9x");
    if (text::EqualsNoCase(platformText, "9x")) {
        platform_ = Platform::Win9x;
    } else if (text::EqualsNoCase(platformText, "NT")) {
        platform_ = Platform::NT;
    } else {
        throw MachineError("machine.ini: [Machine] Platform=" + platformText +
                           " is neither 9x nor NT");
    }
    const bool nt = platform_ == Platform::NT;

    const std::string versionText =
        ini_.Get(kMachine, "Version").value_or(nt ? "5.1.2600" : "4.10.2222");
    const auto version = ParseWindowsVersion(versionText);
    if (!version) {
        throw MachineError("machine.ini: [Machine] Version=" + versionText +
                           " is not major.minor.build");
    }
    version_ = *version;
    servicePack_ = ini_.Get(kMachine, "ServicePack").value_or(nt ? "Service Pack 3" : "A");
    windowsDir_ = Folder("WindowsDir", "C:\\WINDOWS");
    const std::string windowsBase =
        windowsDir_.size() == 3 ? windowsDir_.substr(0, 2) : windowsDir_;
    systemDir_ = Folder("SystemDir", windowsBase + (nt ? "\\SYSTEM32" : "\\SYSTEM"));
    tempDir_ = Folder("TempDir", windowsBase + "\\TEMP");
    programDir_ = Folder("ProgramDir", "C:\\Program Files\\Velto");
    computerName_ = ini_.Get(kMachine, "ComputerName").value_or("");
    userName_ = ini_.Get(kMachine, "UserName").value_or("");

    for (const auto& [key, raw] : ini_.Entries("Drives")) {
        if (key.size() != 1 || !std::isalpha(static_cast<unsigned char>(key[0]))) {
            throw MachineError("machine.ini: [Drives] " + key + " is not a drive letter");
        }
        const std::string value = ini_.Get("Drives", key).value_or(raw);
        const size_t colon = value.find(':');
        const auto type = ParseDriveType(value.substr(0, colon));
        if (colon == std::string::npos || !type) {
            throw MachineError("machine.ini: [Drives] " + key + "=" + value +
                               " is not type:folder (types: fixed removable cdrom remote ramdisk)");
        }
        DriveInfo drive;
        drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
        drive.type = *type;
        const std::string folder(text::Trim(std::string_view(value).substr(colon + 1)));
        if (!folder.empty()) {
            std::filesystem::path host(folder);
            if (host.is_relative()) {
                host = std::filesystem::absolute(machineFolder) / host;
            }
            drive.hostFolder = host.lexically_normal();
        }
        const bool repeated = std::any_of(drives_.begin(), drives_.end(), [&](const DriveInfo& d) {
            return d.letter == drive.letter;
        });
        if (!repeated) {
            drives_.push_back(std::move(drive));
        }
    }
    if (drives_.empty()) {
        drives_.push_back(DriveInfo{
            'C',
            DriveType::Fixed,
            (std::filesystem::absolute(machineFolder) / "drives" / "C").lexically_normal(),
            {}});
    }
    std::sort(drives_.begin(), drives_.end(),
              [](const DriveInfo& a, const DriveInfo& b) { return a.letter < b.letter; });
}

std::unique_ptr<IniMachineProfile> IniMachineProfile::Load(
    const std::filesystem::path& machineFolder) {
    const auto file = machineFolder / kFileName;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw MachineError(file.string() + " cannot be read");
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        throw MachineError(file.string() + " cannot be read");
    }
    return std::make_unique<IniMachineProfile>(
        machineFolder, IniDocument::Parse(text::DecodeFileText(bytes.str())));
}

std::string IniMachineProfile::Folder(std::string_view key, std::string defaultValue) const {
    const std::string value = ini_.Get(kMachine, key).value_or(std::move(defaultValue));
    if (!IsDriveAbsolute(value)) {
        throw MachineError("machine.ini: [Machine] " + std::string(key) + "=" + value +
                           " is not a full Windows path such as C:\\WINDOWS");
    }
    return WithoutTrailingSlash(value);
}

std::optional<std::string> IniMachineProfile::specialFolder(std::string_view shellName) const {
    if (auto folder = ini_.Get("Folders", shellName)) {
        return WithoutTrailingSlash(*folder);
    }
    if (text::EqualsNoCase(shellName, "Personal")) {
        return std::string("C:\\My Documents");
    }
    if (text::EqualsNoCase(shellName, "Startup")) {
        const std::string base = windowsDir_.size() == 3 ? windowsDir_.substr(0, 2) : windowsDir_;
        return base + "\\Start Menu\\Programs\\StartUp";
    }
    return std::nullopt;
}

std::optional<std::string> IniMachineProfile::value(std::string_view section,
                                                    std::string_view key) const {
    return ini_.Get(section, key);
}

}  // namespace machine
