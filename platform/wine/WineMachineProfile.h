#pragma once
// The profile of a Wine prefix, read from the prefix itself:
//   - platform and version: the Windows version chosen in the prefix (HKCU\Software\Wine
//     "Version", Wine's per-prefix setting): win95, win98 and winme make a 9x machine whose
//     version is HKLM\Software\Microsoft\Windows\CurrentVersion "VersionNumber"; anything else
//     an NT machine of the version HKLM\Software\Microsoft\Windows NT\CurrentVersion names
//     (machine/NtVersion.h) and its "CSDVersion" (none named: 6.1.7601 Service Pack 1);
//   - processors: a 64-bit prefix (the "#arch=win64" line of system.reg) runs x64 programs with
//     C:\windows\system32 and x86 programs with C:\windows\syswow64 as their system folder,
//     the latter with the 32-bit registry view (Software\Wow6432Node); a 32-bit prefix (or one
//     whose system.reg names no architecture, as Wine takes it) runs x86 programs only;
//   - folders: C:\windows, C:\windows\system32, C:\windows\temp, the program's folder
//     C:\Program Files\Velto, the special folders from the user's Shell Folders;
//   - drives: the links "c:" ... "z:" of dosdevices/, with the types of
//     HKLM\Software\Wine\Drives ("hd", "cdrom", "floppy", "network", "ramdisk"; fixed when none
//     is given). A drive whose folder lies outside the prefix (z: -> /) is left out unless the
//     prefix's velto.ini lists it:
//         [Drives]
//         D=checked
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/machine/MachineProfile.h"
#include "platform/registry/RegistryStore.h"

namespace wine {

class WineMachineProfile final : public machine::MachineProfile {
  public:
    static constexpr const char* kSettingsFile = "velto.ini";
    static constexpr const char* kCheckedDrive = "checked";

    // Throws machine::MachineError when velto.ini cannot be read.
    WineMachineProfile(const std::filesystem::path& prefix, registry::RegistryStore& store,
                       bool win64);

    machine::Platform platform() const override { return platform_; }
    machine::WindowsVersion version() const override { return version_; }
    std::string servicePack() const override { return servicePack_; }
    std::string windowsDir() const override { return "C:\\windows"; }
    std::string systemDir() const override { return "C:\\windows\\system32"; }
    std::string tempDir() const override { return "C:\\windows\\temp"; }
    std::string programDir() const override { return "C:\\Program Files\\Velto"; }
    std::string computerName() const override { return computerName_; }
    std::string userName() const override { return {}; }
    std::vector<machine::DriveInfo> drives() const override { return drives_; }
    std::optional<std::string> specialFolder(std::string_view shellName) const override;
    std::optional<std::string> value(std::string_view section, std::string_view key) const override;
    std::optional<machine::ProcessorView> processorView(std::uint16_t peMachine) const override;

    // The Windows version the prefix is set to ("win7"), empty when it keeps Wine's default.
    const std::string& wineVersion() const { return wineVersion_; }

  private:
    void ReadVersion(registry::RegistryStore& store);
    void ReadDrives(const std::filesystem::path& prefix, registry::RegistryStore& store);

    bool win64_ = false;
    machine::Platform platform_ = machine::Platform::NT;
    machine::WindowsVersion version_{6, 1, 7601};
    std::string servicePack_ = "Service Pack 1";
    std::string computerName_;
    std::string wineVersion_;
    std::vector<machine::DriveInfo> drives_;
    std::map<std::string, std::string> folders_;  // by folded shell name
};

}  // namespace wine
