// The facts of the system snapshot, read from the current machine.

#include "controls/debug/SystemSnapshot.h"
#include "platform/win32/kernel32/SystemInfo.h"

namespace Qz_Debug {

SnapshotFacts GatherSnapshotFacts() {
    SnapshotFacts f;
    if (const auto version = win32::GetVersionExA()) {
        f.versionKnown = true;
        f.platformId = version->dwPlatformId;
        f.major = version->dwMajorVersion;
        f.minor = version->dwMinorVersion;
        f.build = version->dwBuildNumber;
        f.servicePack = version->szCSDVersion.substr(0, version->szCSDVersion.find('\0'));
    }
    f.computerName = win32::GetComputerNameA().value_or("");
    f.userName = win32::GetUserNameA().value_or("");

    const win32::SYSTEM_INFO info = win32::GetSystemInfo();
    f.architecture = info.wProcessorArchitecture;
    f.level = info.wProcessorLevel;
    f.revision = info.wProcessorRevision;
    f.processors = info.dwNumberOfProcessors;
    f.activeMask = info.dwActiveProcessorMask;
    f.minAddress = info.lpMinimumApplicationAddress;
    f.maxAddress = info.lpMaximumApplicationAddress;
    f.granularity = info.dwAllocationGranularity;

    // The full figures: the 32-bit call stops at 2 GB, which says nothing on today's hosts.
    if (const auto memory = win32::GlobalMemoryStatusEx()) {
        f.memoryLoad = memory->dwMemoryLoad;
        f.totalPhys = memory->ullTotalPhys;
        f.availPhys = memory->ullAvailPhys;
        f.totalPageFile = memory->ullTotalPageFile;
        f.availPageFile = memory->ullAvailPageFile;
        f.totalVirtual = memory->ullTotalVirtual;
        f.availVirtual = memory->ullAvailVirtual;
    } else {
        const win32::MEMORYSTATUS clamped = win32::GlobalMemoryStatus();
        f.memoryLoad = clamped.dwMemoryLoad;
        f.totalPhys = clamped.dwTotalPhys;
        f.availPhys = clamped.dwAvailPhys;
        f.totalPageFile = clamped.dwTotalPageFile;
        f.availPageFile = clamped.dwAvailPageFile;
        f.totalVirtual = clamped.dwTotalVirtual;
        f.availVirtual = clamped.dwAvailVirtual;
    }

    for (const std::string& root : win32::GetLogicalDriveStringsA()) {
        SnapshotDrive drive{.root = root, .type = win32::GetDriveTypeA(root)};
        if (const auto space = win32::GetDiskFreeSpaceA(root)) {
            const std::uint64_t cluster =
                std::uint64_t{space->sectorsPerCluster} * space->bytesPerSector;
            drive.totalBytes = cluster * space->totalNumberOfClusters;
            drive.freeBytes = cluster * space->numberOfFreeClusters;
        }
        f.drives.push_back(std::move(drive));
    }
    f.currentPath = win32::GetCurrentDirectoryA().value_or("");
    return f;
}

}  // namespace Qz_Debug
