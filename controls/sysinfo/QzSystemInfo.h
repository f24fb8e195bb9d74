// QzSystemInfo: what the machine tells about itself (folders, drives, memory, processor, Windows
// version, keyboard, names), temporary files, ending Windows, and the programs Windows starts
// by itself (Run keys, the Startup folder, win.ini).
//
// Text members return an empty string when the system call fails, numeric ones 0. Ending
// Windows only ever concerns the emulated machine: a restart is carried out as the machine's
// start when the program ends, and nothing reaches the host's own power state.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/Object.h"
#include "platform/automation/Variant.h"

namespace Qz_System_Info {

enum DRIVE_TYPES : std::int32_t {
    DRIVE_UNKNOWN = 0,
    DRIVE_NO_ROOT_DIR = 1,
    DRIVE_REMOVABLE = 2,
    DRIVE_FIXED = 3,
    DRIVE_REMOTE = 4,
    DRIVE_CDROM = 5,
    DRIVE_RAMDISK = 6,
};

enum OS_VERSIONS : std::int32_t {
    VER_PLATFORM_WIN32s = 0,
    VER_PLATFORM_WIN32_WINDOWS = 1,
    VER_PLATFORM_WIN32_NT = 2,
};

// Columns of the StartupPrograms table.
enum QzStartupLocationArray : std::int32_t {
    QzStartupKeyName = 0,
    QzStartupCommandLine = 1,
    QzStartupLocation = 2,
};

// Where a start-up program lives.
enum QzRegistryLocations : std::int32_t {
    QzRegistryHKLMRun = 0,
    QzRegistryHKLMRunServices = 1,
    QzRegistryHKLMRunOnce = 2,
    QzRegistryHKCURun = 3,
    QzRegistryHKCURunServices = 4,
    QzRegistryHKCURunOnce = 5,
    QzStartup = 6,
    QzWinINI = 7,
};

// The shell's folder numbers.
enum QzSpecialFolders : std::int32_t {
    QzSpecDesktop = 0,
    QzSpecInternet = 1,
    QzSpecPrograms = 2,
    QzSpecControlsFolder = 3,
    QzSpecPrinters = 4,
    QzSpecPersonal = 5,
    QzSpecFavorites = 6,
    QzSpecStartup = 7,
    QzSpecRecent = 8,
    QzSpecSendTo = 9,
    QzSpecRecycleBin = 10,
    QzSpecStartMenu = 11,
    QzSpecMyMusic = 13,
    QzSpecDesktopDirectory = 16,
    QzSpecDrives = 17,
    QzSpecNetwork = 18,
    QzSpecNethood = 19,
    QzSpecFonts = 20,
    QzSpecTemplates = 21,
    QzSpecCommon_StartMenu = 22,
    QzSpecCommon_Programs = 23,
    QzSpecCommon_StartUp = 24,
    QzSpecCommon_DesktopDirectory = 25,
    QzSpecApplicationData = 26,
    QzSpecPrintHood = 27,
    QzSpecAltStartUp = 29,
    QzSpecCommon_AltStartUp = 30,
    QzSpecCommon_Favorites = 31,
    QzSpecInternetCache = 32,
    QzSpecCookies = 33,
    QzSpecHistory = 34,
    QzSpecCommon_Templates = 43,
    QzSpecCommon_Documents = 46,
    QzSpecCommon_AdminTools = 47,
    QzSpecAdminTools = 48,
};

// The HKEY_LOCAL_MACHINE root as the automation interface passes it.
inline constexpr std::int32_t kHKeyLocalMachine = -2147483646;

class QzSystemInfo : public automation::Object {
  public:
    static constexpr const char* kProgID = "Qz_System_Info.QzSystemInfo";
    // Size the control keeps on a form, in twips.
    static constexpr int kDesignSize = 735;

    // Folders ending in "\".
    std::string SystemDir() const;
    std::string WinDir() const;
    std::string TempDir() const;
    // A new, empty file in the temporary folder named with the first three characters of
    // `Prefix`, a hexadecimal number and ".tmp"; its full path.
    std::string TempFileName(const std::string& Prefix = "QzS") const;
    std::string MyDocuments() const;
    // The special folder's path without a trailing backslash, created when missing; empty for a
    // folder number without a path.
    std::string SpecialFolder(std::int32_t lngFolder, std::int32_t EnumUser = 0) const;
    std::string ComputerName() const;
    std::string UserName() const;

    // Optional arguments are pointers; nullptr leaves them out.
    void WinVer(std::int32_t& lngMajor, std::int32_t& lngMinor, std::int32_t& lngBuild,
                std::string* strPlatform = nullptr, std::string* strAdditionalInfo = nullptr,
                OS_VERSIONS* PlatformEnum = nullptr) const;

    // The drive roots ("A:\", "C:\", ...) as a string array with lower bound 0.
    automation::Variant DriveList() const;
    DRIVE_TYPES DriveTypeEnum(const std::string& strRoot) const;
    std::string DriveType(const std::string& strRoot) const;
    // Total and free bytes of a drive; both 0 when the call fails. A figure of 2 GB or more does
    // not fit the 32-bit arguments and reads 2,147,483,647 ("at least 2 GB").
    void DriveInfo(const std::string& strRoot, std::int32_t& lngTotalSpace,
                   std::int32_t& lngFreeSpace) const;
    // "0012-AB34"; "0000-0000" when the call fails.
    std::string SerialNumber(const std::string& strRoot) const;
    std::string VolumeLabel(const std::string& strRoot) const;

    // Memory load in percent and the sizes in kilobytes, rounded half to even.
    void FreeMemory(std::uint8_t& btePercentUsed, std::int32_t& lngTotalRam,
                    std::int32_t& lngFreeRam, std::int32_t* lngTotalPageFile = nullptr,
                    std::int32_t* lngAvailPageFile = nullptr,
                    std::int32_t* lngTotalVirtual = nullptr,
                    std::int32_t* lngAvailVirtual = nullptr) const;
    std::uint8_t FunctionKeys() const;
    std::string KeyboardType() const;
    void ProcessorInfo(std::string& strProcessor, std::int32_t& lngNumOfProcessors,
                       std::int32_t& lngActiveProcessor, std::string* MinAppAddress = nullptr,
                       std::string* MaxAppAddress = nullptr,
                       std::int32_t* Blocksize = nullptr) const;

    void ShutDown() const;
    void PowerDown() const;
    void Reboot() const;
    void Logoff() const;

    // Locations 0 to 5 write a REG_SZ value (named "Qz Entry #n" when no name is given), 6 a
    // shortcut in the Startup folder (see StartupShortcutName), 7 appends to win.ini's "run"
    // line; other locations do nothing. An entry that cannot be written raises the run-time
    // error of the failure.
    void AddStartupProgram(const std::string& sCommandLine,
                           std::int32_t lngLocation = QzRegistryHKLMRun,
                           const std::string& sValueName = {}) const;
    void AddStartupOnce(const std::string& sCommandLine, const std::string& sValueName = {},
                        std::int32_t hmHkey = kHKeyLocalMachine) const;
    // Rows from 0, columns QzStartupKeyName, QzStartupCommandLine, QzStartupLocation.
    automation::Variant StartupPrograms() const;
    // The subkey names of HKEY_USERS in enumeration order.
    automation::Variant UserList() const;

    void AboutDisplay() const;

    // The control's extent on its form in twips; it keeps its design size whatever it is set to.
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    void UserControl_Resize();

  private:
    int width_ = kDesignSize;
    int height_ = kDesignSize;
};

// Texts of the tables, for any value the system may give (the drive type, platform and
// processor texts are the platform's: win32::DriveTypeText, PlatformText, ProcessorText).
std::string KeyboardTypeText(int type);
std::string SerialNumberText(std::uint32_t serial);

}  // namespace Qz_System_Info
