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
};

}  // namespace machine
