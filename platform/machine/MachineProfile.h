#pragma once
// What the emulated machine is: its Windows platform and version, its folders and its drives.
// Abstract so that other kinds of machine folders can stand behind the same calls.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace machine {

enum class Platform { Win9x, NT };

// Values are those GetDriveType reports.
enum class DriveType : std::uint32_t {
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

// "fixed", "removable", "cdrom", "remote", "ramdisk" (any case) as written in a profile.
std::optional<DriveType> ParseDriveType(std::string_view name);
std::string_view DriveTypeName(DriveType type);

struct WindowsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
};
// "major.minor.build"; nullopt when it is not three numbers.
std::optional<WindowsVersion> ParseWindowsVersion(std::string_view text);

struct DriveInfo {
    char letter = 'C';  // upper case
    DriveType type = DriveType::Fixed;
    // Absolute host folder; empty when the drive has no medium.
    std::filesystem::path hostFolder;
    // Why the scan never lists the drive and nothing is written to it ("its folder lies outside
    // the prefix"); empty for a drive in use. A drive left out is no drive of the running
    // machine: only the profile (and `velto-machine info`) shows it.
    std::string leftOut;
};

// How a program for one processor sees the machine: its system folder (a Windows path without
// a trailing backslash) and whether its HKEY_LOCAL_MACHINE\Software is the 32-bit view of a
// 64-bit Windows (Software\Wow6432Node), where its setup programs keep their shared-library
// counts.
struct ProcessorView {
    std::string systemDir;
    bool wow64Registry = false;
};

// PE images' processors (the Machine field of the file header).
inline constexpr std::uint16_t kProcessorX86 = 0x014C;
inline constexpr std::uint16_t kProcessorX64 = 0x8664;

class MachineProfile {
  public:
    virtual ~MachineProfile() = default;

    virtual Platform platform() const = 0;
    virtual WindowsVersion version() const = 0;
    virtual std::string servicePack() const = 0;
    // Windows paths without a trailing backslash.
    virtual std::string windowsDir() const = 0;
    virtual std::string systemDir() const = 0;
    virtual std::string tempDir() const = 0;
    virtual std::string programDir() const = 0;
    // Empty when the host's own name is meant.
    virtual std::string computerName() const = 0;
    virtual std::string userName() const = 0;
    // In letter order.
    virtual std::vector<DriveInfo> drives() const = 0;
    // A special folder by its shell name ("Personal", "Startup"), as a Windows path.
    virtual std::optional<std::string> specialFolder(std::string_view shellName) const = 0;
    // Any other profile value, for facts that only some services read.
    virtual std::optional<std::string> value(std::string_view section,
                                             std::string_view key) const = 0;
    // The view of programs for the processor `peMachine`; nullopt when the machine runs none
    // (a 64-bit image on a 32-bit Windows). A 32-bit Windows runs x86 programs only, with
    // systemDir() as their system folder; a 64-bit kind tells its two views.
    virtual std::optional<ProcessorView> processorView(std::uint16_t peMachine) const;

  protected:
    // The views of a 64-bit Windows for x64 processors: x64 programs with systemDir(), x86
    // programs with `wow64SystemDir` and the 32-bit registry view; no other programs.
    std::optional<ProcessorView> X64WindowsView(std::uint16_t peMachine,
                                                const std::string& wow64SystemDir) const;
};

}  // namespace machine
