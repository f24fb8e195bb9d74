#include "controls/sysinfo/QzSystemInfo.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/automation/Conversion.h"
#include "platform/automation/CreateObject.h"
#include "platform/automation/Text.h"
#include "platform/dialogs/ControlAbout.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/SystemFactTexts.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "platform/win32/user32/ExitWindows.h"

namespace Qz_System_Info {
namespace {

const automation::ProgIDRegistration kRegistration(QzSystemInfo::kProgID,
                                                   [] { return std::make_shared<QzSystemInfo>(); });

std::string UpToNul(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

// A folder as the folder properties give it: cut at its NUL, no trailing blanks, ending in "\".
std::string FolderText(const std::optional<std::string>& folder) {
    if (!folder) {
        return {};
    }
    std::string text(automation::RTrim(UpToNul(*folder)));
    if (!text.ends_with('\\')) {
        text += '\\';
    }
    return text;
}

std::int32_t Kilobytes(std::uint32_t bytes) {
    return static_cast<std::int32_t>(std::nearbyint(bytes / 1024.0));
}

std::int32_t ClampToLong(std::uint64_t n) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(n, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::string KeyboardTypeText(int type) {
    switch (type) {
        case 1:
            return "IBM PC/XT or compatible (83 key)";
        case 2:
            return "Olivetti \"ico\" (102 key)";
        case 3:
            return "IBM PC/AT or compatible (84 key)";
        case 4:
            return "IBM enhanced (101 or 102 key)";
        case 5:
            return "Nokia 1050 or compatible";
        case 6:
            return "Nokia 9140 or compatible";
        case 7:
            return "Japanese";
        default:
            return {};
    }
}

std::string SerialNumberText(std::uint32_t serial) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += kHex[(serial >> shift) & 0xF];
        if (shift == 16) {
            text += '-';
        }
    }
    return text;
}

std::string QzSystemInfo::SystemDir() const {
    return FolderText(win32::GetSystemDirectoryA());
}

std::string QzSystemInfo::WinDir() const {
    return FolderText(win32::GetWindowsDirectoryA());
}

std::string QzSystemInfo::TempDir() const {
    return FolderText(win32::GetTempPathA());
}

std::string QzSystemInfo::TempFileName(const std::string& Prefix) const {
    return UpToNul(win32::GetTempFileNameA(TempDir(), Prefix, 0).value_or(""));
}

std::string QzSystemInfo::MyDocuments() const {
    return SpecialFolder(QzSpecPersonal, 0);
}

std::string QzSystemInfo::SpecialFolder(std::int32_t lngFolder, std::int32_t EnumUser) const {
    const auto path =
        win32::SHGetFolderPathA(0, lngFolder + win32::CSIDL_FLAG_CREATE,
                                static_cast<win32::DWORD>(EnumUser), win32::SHGFP_TYPE_CURRENT);
    return UpToNul(path.value_or(""));
}

std::string QzSystemInfo::ComputerName() const {
    return UpToNul(win32::GetComputerNameA().value_or(""));
}

std::string QzSystemInfo::UserName() const {
    return UpToNul(win32::GetUserNameA().value_or(""));
}

void QzSystemInfo::WinVer(std::int32_t& lngMajor, std::int32_t& lngMinor, std::int32_t& lngBuild,
                          std::string* strPlatform, std::string* strAdditionalInfo,
                          OS_VERSIONS* PlatformEnum) const {
    const auto version = win32::GetVersionExA();
    lngMajor = version ? static_cast<std::int32_t>(version->dwMajorVersion) : 0;
    lngMinor = version ? static_cast<std::int32_t>(version->dwMinorVersion) : 0;
    lngBuild = version ? static_cast<std::int32_t>(version->dwBuildNumber & 0xFFFF) : 0;
    const std::int32_t platform = version ? static_cast<std::int32_t>(version->dwPlatformId) : 0;
    if (PlatformEnum != nullptr) {
        *PlatformEnum = static_cast<OS_VERSIONS>(platform);
    }
    if (strPlatform != nullptr) {
        *strPlatform = version ? win32::PlatformText(platform) : "";
    }
    if (strAdditionalInfo != nullptr) {
        *strAdditionalInfo = version ? UpToNul(version->szCSDVersion) : "";
    }
}

automation::Variant QzSystemInfo::DriveList() const {
    return automation::StringArray(win32::GetLogicalDriveStringsA());
}

DRIVE_TYPES QzSystemInfo::DriveTypeEnum(const std::string& strRoot) const {
    return static_cast<DRIVE_TYPES>(win32::GetDriveTypeA(strRoot));
}

std::string QzSystemInfo::DriveType(const std::string& strRoot) const {
    return win32::DriveTypeText(DriveTypeEnum(strRoot));
}

void QzSystemInfo::DriveInfo(const std::string& strRoot, std::int32_t& lngTotalSpace,
                             std::int32_t& lngFreeSpace) const {
    lngTotalSpace = 0;
    lngFreeSpace = 0;
    if (const auto space = win32::GetDiskFreeSpaceA(strRoot)) {
        const std::uint64_t cluster =
            std::uint64_t{space->sectorsPerCluster} * space->bytesPerSector;
        lngTotalSpace = ClampToLong(cluster * space->totalNumberOfClusters);
        lngFreeSpace = ClampToLong(cluster * space->numberOfFreeClusters);
    }
}

std::string QzSystemInfo::SerialNumber(const std::string& strRoot) const {
    const auto volume = win32::GetVolumeInformationA(strRoot);
    return SerialNumberText(volume ? volume->volumeSerialNumber : 0);
}

std::string QzSystemInfo::VolumeLabel(const std::string& strRoot) const {
    const auto volume = win32::GetVolumeInformationA(strRoot);
    return volume ? UpToNul(volume->volumeName) : std::string();
}

void QzSystemInfo::FreeMemory(std::uint8_t& btePercentUsed, std::int32_t& lngTotalRam,
                              std::int32_t& lngFreeRam, std::int32_t* lngTotalPageFile,
                              std::int32_t* lngAvailPageFile, std::int32_t* lngTotalVirtual,
                              std::int32_t* lngAvailVirtual) const {
    const win32::MEMORYSTATUS memory = win32::GlobalMemoryStatus();
    btePercentUsed = static_cast<std::uint8_t>(std::min<win32::DWORD>(memory.dwMemoryLoad, 100));
    lngTotalRam = Kilobytes(memory.dwTotalPhys);
    lngFreeRam = Kilobytes(memory.dwAvailPhys);
    const std::pair<std::int32_t*, win32::DWORD> optional[] = {
        {lngTotalPageFile, memory.dwTotalPageFile},
        {lngAvailPageFile, memory.dwAvailPageFile},
        {lngTotalVirtual, memory.dwTotalVirtual},
        {lngAvailVirtual, memory.dwAvailVirtual},
    };
    for (const auto& [out, bytes] : optional) {
        if (out != nullptr) {
            *out = Kilobytes(bytes);
        }
    }
}

std::uint8_t QzSystemInfo::FunctionKeys() const {
    return static_cast<std::uint8_t>(win32::GetKeyboardType(2));
}

std::string QzSystemInfo::KeyboardType() const {
    return KeyboardTypeText(win32::GetKeyboardType(0));
}

void QzSystemInfo::ProcessorInfo(std::string& strProcessor, std::int32_t& lngNumOfProcessors,
                                 std::int32_t& lngActiveProcessor, std::string* MinAppAddress,
                                 std::string* MaxAppAddress, std::int32_t* Blocksize) const {
    const win32::SYSTEM_INFO info = win32::GetSystemInfo();
    strProcessor = win32::ProcessorText(info.wProcessorArchitecture, info.wProcessorLevel,
                                        info.wProcessorRevision);
    lngNumOfProcessors = static_cast<std::int32_t>(info.dwNumberOfProcessors);
    lngActiveProcessor = static_cast<std::int32_t>(info.dwActiveProcessorMask);
    if (MinAppAddress != nullptr) {
        *MinAppAddress =
            automation::Hex(static_cast<std::int32_t>(info.lpMinimumApplicationAddress));
    }
    if (MaxAppAddress != nullptr) {
        *MaxAppAddress =
            automation::Hex(static_cast<std::int32_t>(info.lpMaximumApplicationAddress));
    }
    if (Blocksize != nullptr) {
        *Blocksize = static_cast<std::int32_t>(info.dwAllocationGranularity);
    }
}

void QzSystemInfo::ShutDown() const {
    win32::ExitWindowsEx(win32::EWX_SHUTDOWN | win32::EWX_FORCE, 0);
}

void QzSystemInfo::PowerDown() const {
    win32::ExitWindowsEx(win32::EWX_POWEROFF | win32::EWX_FORCE, 0);
}

void QzSystemInfo::Reboot() const {
    win32::ExitWindowsEx(win32::EWX_REBOOT | win32::EWX_FORCE, 0);
}

void QzSystemInfo::Logoff() const {
    win32::ExitWindowsEx(win32::EWX_LOGOFF | win32::EWX_FORCE, 0);
}

void QzSystemInfo::AboutDisplay() const {
    dialogs::ShowControlAbout(dialogs::MakerVersion("QzSystemInfo"));
}

void QzSystemInfo::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    UserControl_Resize();
}

void QzSystemInfo::UserControl_Resize() {
    width_ = kDesignSize;
    height_ = kDesignSize;
}

}  // namespace Qz_System_Info
