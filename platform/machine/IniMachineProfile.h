#pragma once
// The profile kept in DIR/machine.ini. Every key is optional:
//
//   [Machine]
//   Platform=9x            9x or NT
//   Version=4.10.2222      major.minor.build (NT: 5.1.2600)
//   ServicePack=A          (NT: Service Pack 3)
//   WindowsDir=C:\WINDOWS
//   SystemDir=             WindowsDir\SYSTEM (NT: WindowsDir\SYSTEM32)
//   TempDir=               WindowsDir\TEMP
//   ProgramDir=C:\Program Files\Velto
//   ComputerName=          empty: the host's name
//   UserName=              empty: the host user's name
//   [Drives]
//   C=fixed:drives/C       type:host folder, relative to DIR or absolute; an empty folder is a
//                          drive without medium. Without any drive line there is one: C as shown.
//   [Folders]
//   Personal=C:\My Documents
//   Startup=C:\WINDOWS\Start Menu\Programs\StartUp

#include <filesystem>
#include <memory>

#include "platform/machine/IniDocument.h"
#include "platform/machine/MachineProfile.h"

namespace machine {

class IniMachineProfile : public MachineProfile {
  public:
    static constexpr const char* kFileName = "machine.ini";

    // Throws MachineError naming the key of a value that cannot be understood.
    IniMachineProfile(const std::filesystem::path& machineFolder, IniDocument ini);
    // Reads DIR/machine.ini; throws MachineError when it cannot be read.
    static std::unique_ptr<IniMachineProfile> Load(const std::filesystem::path& machineFolder);

    Platform platform() const override { return platform_; }
    WindowsVersion version() const override { return version_; }
    std::string servicePack() const override { return servicePack_; }
    std::string windowsDir() const override { return windowsDir_; }
    std::string systemDir() const override { return systemDir_; }
    std::string tempDir() const override { return tempDir_; }
    std::string programDir() const override { return programDir_; }
    std::string computerName() const override { return computerName_; }
    std::string userName() const override { return userName_; }
    std::vector<DriveInfo> drives() const override { return drives_; }
    std::optional<std::string> specialFolder(std::string_view shellName) const override;
    std::optional<std::string> value(std::string_view section, std::string_view key) const override;

  private:
    std::string Folder(std::string_view key, std::string defaultValue) const;

    IniDocument ini_;
    Platform platform_ = Platform::Win9x;
    WindowsVersion version_;
    std::string servicePack_;
    std::string windowsDir_;
    std::string systemDir_;
    std::string tempDir_;
    std::string programDir_;
    std::string computerName_;
    std::string userName_;
    std::vector<DriveInfo> drives_;
};

}  // namespace machine
