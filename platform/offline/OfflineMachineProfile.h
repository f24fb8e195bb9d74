#pragma once
// The profile of a Windows installation on a disk, read from the installation itself
// (InstallationFacts.h for what its hives say):
//   - an NT-family machine of the version, build and service pack SOFTWARE names;
//   - its Windows folder, system folder (System32), 32-bit system folder (SysWOW64, on 64-bit
//     Windows: the system folder of x86 programs) and temporary folder as the disk spells them;
//   - drive C:, the folder itself; the program's folder C:\Program Files\Velto;
//   - the computer's name from SYSTEM, the user's name from their profile folder, the special
//     folders from the user's Shell Folders;
//   - further facts under [Machine]: ProductName, Architecture, UserSid, ProfileFolder,
//     Wow64SystemDir.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/machine/MachineProfile.h"
#include "platform/offline/InstallationFacts.h"

namespace offline {

struct InstallationFolders {
    std::string windows;      // "C:\Windows"
    std::string system;       // "C:\Windows\System32"
    std::string wow64System;  // empty on 32-bit Windows
    std::string temp;
};

struct InstallationUser {
    std::string sid;
    std::string name;
    std::string profileFolder;                        // "C:\Users\alice"
    std::map<std::string, std::string> shellFolders;  // by folded shell name
};

class OfflineMachineProfile final : public machine::MachineProfile {
  public:
    OfflineMachineProfile(const std::filesystem::path& root, InstallationFacts facts,
                          InstallationFolders folders, InstallationUser user);

    machine::Platform platform() const override { return machine::Platform::NT; }
    machine::WindowsVersion version() const override { return facts_.version; }
    std::string servicePack() const override { return facts_.servicePack; }
    std::string windowsDir() const override { return folders_.windows; }
    std::string systemDir() const override { return folders_.system; }
    std::string tempDir() const override { return folders_.temp; }
    std::string programDir() const override { return "C:\\Program Files\\Velto"; }
    std::string computerName() const override { return facts_.computerName; }
    std::string userName() const override { return user_.name; }
    std::vector<machine::DriveInfo> drives() const override { return {drive_}; }
    std::optional<std::string> specialFolder(std::string_view shellName) const override;
    std::optional<std::string> value(std::string_view section, std::string_view key) const override;
    // A 64-bit Windows (one with a SysWOW64 folder) runs x64 programs with System32 and x86
    // programs with SysWOW64 as their system folder, the latter with the 32-bit registry view;
    // a 32-bit one runs x86 programs only.
    std::optional<machine::ProcessorView> processorView(std::uint16_t peMachine) const override;

  private:
    InstallationFacts facts_;
    InstallationFolders folders_;
    InstallationUser user_;
    machine::DriveInfo drive_;
};

}  // namespace offline
