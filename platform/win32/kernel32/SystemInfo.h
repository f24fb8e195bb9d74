#pragma once
// What the emulated machine tells about itself: its Windows version and names (from the
// profile), and the host's memory, processors and volumes seen as a 32-bit Windows machine
// sees them. Each call sets the last error as the Win32 one does.
//
// Volume labels, serial numbers and file-system names come from the profile's [Volumes]
// section, one set of keys per drive letter, all optional:
//   [Volumes]
//   C.Label=WIN98
//   C.Serial=1A2B-3C4D       eight hex digits, with or without the "-"
//   C.FileSystem=FAT32       default: FAT32 (9x) or NTFS (NT) for fixed drives, CDFS for CD-ROMs,
//                            FAT for removable drives and RAM disks, NTFS for network drives
// Without a serial number the host file system's id stands in, so that it stays the same
// from run to run.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    // The 9x family keeps the major and minor version in the high word (4.10.2222 reads
    // 0x040A08AE); the NT family keeps the build number alone.
    DWORD dwBuildNumber = 0;
    DWORD dwPlatformId = 0;
    std::string szCSDVersion;
};
std::optional<OSVERSIONINFOA> GetVersionExA();

// The profile's name, else the host's first name label in upper case, at most 15 characters
// (a NetBIOS name), as GetComputerName reports it.
std::optional<std::string> GetComputerNameA();
// The profile's user name, else the host user's login name.
std::optional<std::string> GetUserNameA();

// The 32-bit figures of an old program that is not large-address aware: physical memory and
// virtual figures stop at 2 GB - 1, page-file figures at 4 GB - 1 (more does not fit), as
// Windows clamps them for such programs. The page file is physical memory plus swap, the
// virtual space the 2 GB user half of a 32-bit process.
struct MEMORYSTATUS {
    DWORD dwMemoryLoad = 0;  // percent of physical memory in use
    DWORD dwTotalPhys = 0;
    DWORD dwAvailPhys = 0;
    DWORD dwTotalPageFile = 0;
    DWORD dwAvailPageFile = 0;
    DWORD dwTotalVirtual = 0;
    DWORD dwAvailVirtual = 0;
};
// Never fails: without host figures everything reads 0.
MEMORYSTATUS GlobalMemoryStatus();

// The same figures unclamped.
struct MEMORYSTATUSEX {
    DWORD dwMemoryLoad = 0;
    std::uint64_t ullTotalPhys = 0;
    std::uint64_t ullAvailPhys = 0;
    std::uint64_t ullTotalPageFile = 0;
    std::uint64_t ullAvailPageFile = 0;
    std::uint64_t ullTotalVirtual = 0;
    std::uint64_t ullAvailVirtual = 0;
};
std::optional<MEMORYSTATUSEX> GlobalMemoryStatusEx();

inline constexpr WORD PROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr WORD PROCESSOR_ARCHITECTURE_MIPS = 1;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ALPHA = 2;
inline constexpr WORD PROCESSOR_ARCHITECTURE_PPC = 3;
inline constexpr WORD PROCESSOR_ARCHITECTURE_SHX = 4;
inline constexpr WORD PROCESSOR_ARCHITECTURE_ARM = 5;
inline constexpr WORD PROCESSOR_ARCHITECTURE_IA64 = 6;
inline constexpr WORD PROCESSOR_ARCHITECTURE_UNKNOWN = 0xFFFF;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture = PROCESSOR_ARCHITECTURE_UNKNOWN;
    DWORD dwPageSize = 0;
    DWORD lpMinimumApplicationAddress = 0;
    DWORD lpMaximumApplicationAddress = 0;
    DWORD dwActiveProcessorMask = 0;
    DWORD dwNumberOfProcessors = 0;
    DWORD dwProcessorType = 0;
    DWORD dwAllocationGranularity = 0;
    WORD wProcessorLevel = 0;
    // x86: model in the high byte, stepping in the low byte.
    WORD wProcessorRevision = 0;
};
// x86 and x86-64 hosts are Intel architecture; at most 32 processors fit the 32-bit mask.
SYSTEM_INFO GetSystemInfo();

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// Bit 0 for A:, bit 2 for C:, ...
DWORD GetLogicalDrives();
// "A:\", "C:\", ... in letter order; empty with the last error set without a machine.
std::vector<std::string> GetLogicalDriveStringsA();
// `root` is a drive root ("C:\", "C:" or "C:/"), "\" or empty for the current directory's
// drive. Anything else, and a letter the machine does not have, is DRIVE_NO_ROOT_DIR. A drive
// without a medium keeps its type.
UINT GetDriveTypeA(std::string_view root);

struct DISK_FREE_SPACE {
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD numberOfFreeClusters = 0;
    DWORD totalNumberOfClusters = 0;
};
// Any path on the drive (empty: the current one). Sectors are 512 bytes and a cluster is the
// host file system's fragment. The 9x family never reports more than 2 GB - 1 in total or
// free (its clusters are capped so), so the 32-bit product of the three figures always fits;
// the NT family reports the real figures, with counts capped at 4G - 1 clusters. Fails with
// ERROR_PATH_NOT_FOUND for a drive that is not there, ERROR_NOT_READY without a medium.
std::optional<DISK_FREE_SPACE> GetDiskFreeSpaceA(std::string_view root);

struct DISK_FREE_SPACE_EX {
    std::uint64_t freeBytesAvailableToCaller = 0;
    std::uint64_t totalNumberOfBytes = 0;
    std::uint64_t totalNumberOfFreeBytes = 0;
};
// The real byte counts, on both families.
std::optional<DISK_FREE_SPACE_EX> GetDiskFreeSpaceExA(std::string_view directory);

inline constexpr DWORD FS_CASE_SENSITIVE = 0x1;
inline constexpr DWORD FS_CASE_IS_PRESERVED = 0x2;
inline constexpr DWORD FS_UNICODE_STORED_ON_DISK = 0x4;
inline constexpr DWORD FS_PERSISTENT_ACLS = 0x8;
inline constexpr DWORD FILE_READ_ONLY_VOLUME = 0x80000;

struct VOLUME_INFORMATION {
    std::string volumeName;
    DWORD volumeSerialNumber = 0;
    DWORD maximumComponentLength = 255;
    DWORD fileSystemFlags = 0;
    std::string fileSystemName;
};
// Same paths and failures as GetDiskFreeSpaceA.
std::optional<VOLUME_INFORMATION> GetVolumeInformationA(std::string_view root);

// 0: the type (4, enhanced 101/102-key), 1: the subtype (0), 2: the function keys (12).
// Any other argument gives 0, as Windows does.
int GetKeyboardType(int nTypeFlag);

// "C:\" or "C:\WINDOWS" (no trailing backslash except at a root).
std::optional<std::string> GetCurrentDirectoryA();
// An existing folder: ERROR_FILE_NOT_FOUND when missing, ERROR_DIRECTORY for a file.
bool SetCurrentDirectoryA(std::string_view path);

}  // namespace win32
