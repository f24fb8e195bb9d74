#pragma once
// A throw-away emulated machine for tests: a fresh temporary folder with machine.ini and drive
// C: (holding the Windows, system and temp folders), made the current machine. Files and
// folders are added by Windows path; names are taken literally (no case folding), so a test
// says exactly what is on disk. Everything is removed when the builder goes.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/machine/IniDocument.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineProfile.h"
#include "platform/win32/ntdll/WinError.h"

namespace testsupport {

class MachineBuilder {
  public:
    using Clock = std::chrono::system_clock;

    MachineBuilder();
    ~MachineBuilder();
    MachineBuilder(const MachineBuilder&) = delete;
    MachineBuilder& operator=(const MachineBuilder&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    std::shared_ptr<machine::Machine> machine() const { return machine_; }

    // Profile changes rewrite machine.ini and reopen the machine.
    MachineBuilder& Platform(machine::Platform platform);
    MachineBuilder& ProfileValue(std::string_view section, std::string_view key,
                                 std::string_view value);
    // A drive whose host folder is DIR/drives/<letter> (created).
    MachineBuilder& Drive(char letter, machine::DriveType type);
    // A drive on any host folder (not created).
    MachineBuilder& DriveAt(char letter, machine::DriveType type,
                            const std::filesystem::path& hostFolder);
    MachineBuilder& DriveWithoutMedium(char letter,
                                       machine::DriveType type = machine::DriveType::Removable);

    // Where a Windows path lies on the host, component by component as written.
    std::filesystem::path HostPath(std::string_view windowsPath) const;

    // Creates the file (and missing folders on the way) with `contents`.
    MachineBuilder& File(std::string_view windowsPath, std::string_view contents = {});
    MachineBuilder& Folder(std::string_view windowsPath);
    // Stores hidden/system/archive as user.DOSATTRIB and read-only as the mode, directly on
    // the host (not through the code under test). Throws when the file system has no user
    // extended attributes; see XattrsSupported.
    MachineBuilder& Attributes(std::string_view windowsPath, win32::DWORD attributes);
    MachineBuilder& WriteTime(std::string_view windowsPath, Clock::time_point time);
    // A host symbolic link at `windowsPath` pointing at `target` (any host path).
    MachineBuilder& Symlink(std::string_view windowsPath, const std::filesystem::path& target);

    std::string Read(std::string_view windowsPath) const;
    bool Exists(std::string_view windowsPath) const;

    // Whether the file system under the temporary folder keeps user extended attributes.
    static bool XattrsSupported();

  private:
    void SaveProfile();

    std::filesystem::path folder_;
    machine::IniDocument profile_;
    std::shared_ptr<machine::Machine> machine_;
};

}  // namespace testsupport
