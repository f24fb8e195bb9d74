#include "platform/win32/kernel32/SystemInfo.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>

#include "platform/machine/Machine.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/HostSystem.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr DWORD kMaxComputerNameLength = 15;
constexpr DWORD kBytesPerSector = 512;
// The user half of a 32-bit address space, less the 64 KB guard regions at either end.
constexpr DWORD kMinimumApplicationAddress = 0x00010000;
constexpr DWORD kMaximumApplicationAddress = 0x7FFEFFFF;
constexpr DWORD kAllocationGranularity = 0x10000;
constexpr std::uint64_t kLimit2G = 0x7FFFFFFF;
constexpr std::uint64_t kLimit4G = 0xFFFFFFFF;

std::shared_ptr<machine::Machine> Current() {
    auto current = machine::CurrentMachine();
    SetLastError(current ? ERROR_SUCCESS : ERROR_NOT_READY);
    return current;
}

DWORD Clamp(std::uint64_t value, std::uint64_t limit) {
    return static_cast<DWORD>(std::min(value, limit));
}

// The drive named by a root ("C:\", "C:", "\", empty); nullopt for anything else.
std::optional<char> RootDrive(std::string_view root, const machine::Machine& current) {
    if (root.empty() || root == "\\" || root == "/") {
        return current.currentDirectory().drive;
    }
    if ((root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) &&
        root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0]))) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    }
    return std::nullopt;
}

// The drive of any path (empty: the current directory); nullopt with the last error set.
const machine::DriveInfo* DriveOfPath(std::string_view path, const machine::Machine& current) {
    machine::PathError error = machine::PathError::None;
    const auto parsed = path.empty()
                            ? std::optional(current.currentDirectory())
                            : machine::ParseWindowsPath(path, current.currentDirectory(), error);
    if (!parsed) {
        SetLastError(static_cast<DWORD>(error));
        return nullptr;
    }
    const machine::DriveInfo* drive = current.paths().Drive(parsed->drive);
    if (drive == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
    }
    return drive;
}

// The host facts of a drive's volume; nullopt with the last error set.
std::optional<host::VolumeFacts> VolumeOf(const machine::DriveInfo& drive) {
    host::VolumeFacts facts;
    const int err =
        drive.hostFolder.empty() ? ENOENT : host::System().Volume(drive.hostFolder, facts);
    if (err == ENOENT || err == ENOTDIR) {
        // A drive whose folder is missing has no medium in it.
        SetLastError(ERROR_NOT_READY);
        return std::nullopt;
    }
    if (err != 0) {
        SetLastErrorFromErrno(err);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return facts;
}

// An empty value counts as not given.
std::optional<std::string> VolumeValue(const machine::Machine& current, char letter,
                                       std::string_view key) {
    auto value =
        current.profile().value("Volumes", std::string(1, letter) + "." + std::string(key));
    if (value && machine::text::Trim(*value).empty()) {
        value.reset();
    }
    return value;
}

// "1A2B-3C4D" or "1A2B3C4D".
std::optional<DWORD> ParseSerial(std::string_view text) {
    std::string digits;
    for (const char c : machine::text::Trim(text)) {
        if (c != '-') {
            digits += c;
        }
    }
    DWORD value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || digits.size() > 8 || ec != std::errc{} ||
        end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::string DefaultFileSystem(machine::DriveType type, machine::Platform platform) {
    switch (type) {
        case machine::DriveType::Fixed:
            return platform == machine::Platform::NT ? "NTFS" : "FAT32";
        case machine::DriveType::CdRom:
            return "CDFS";
        case machine::DriveType::Remote:
            return "NTFS";
        case machine::DriveType::Removable:
        case machine::DriveType::RamDisk:
            break;
    }
    return "FAT";
}

DWORD FileSystemFlags(std::string_view name) {
    if (machine::text::EqualsNoCase(name, "NTFS")) {
        return FS_CASE_SENSITIVE | FS_CASE_IS_PRESERVED | FS_UNICODE_STORED_ON_DISK |
               FS_PERSISTENT_ACLS;
    }
    if (machine::text::EqualsNoCase(name, "CDFS")) {
        return FS_CASE_IS_PRESERVED | FILE_READ_ONLY_VOLUME;
    }
    return FS_CASE_IS_PRESERVED | FS_UNICODE_STORED_ON_DISK;
}

WORD Architecture(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64" ||
        (machine.size() == 4 && machine[0] == 'i' && machine.substr(2) == "86")) {
        return PROCESSOR_ARCHITECTURE_INTEL;
    }
    if (machine.starts_with("arm") || machine.starts_with("aarch64")) {
        return PROCESSOR_ARCHITECTURE_ARM;
    }
    if (machine.starts_with("ppc") || machine.starts_with("powerpc")) {
        return PROCESSOR_ARCHITECTURE_PPC;
    }
    if (machine.starts_with("mips")) {
        return PROCESSOR_ARCHITECTURE_MIPS;
    }
    if (machine.starts_with("alpha")) {
        return PROCESSOR_ARCHITECTURE_ALPHA;
    }
    if (machine == "ia64") {
        return PROCESSOR_ARCHITECTURE_IA64;
    }
    return PROCESSOR_ARCHITECTURE_UNKNOWN;
}

}  // namespace

std::optional<OSVERSIONINFOA> GetVersionExA() {
    const auto current = Current();
    if (!current) {
        return std::nullopt;
    }
    const auto& profile = current->profile();
    const auto version = profile.version();
    OSVERSIONINFOA info;
    info.dwMajorVersion = version.major;
    info.dwMinorVersion = version.minor;
    info.szCSDVersion = profile.servicePack();
    if (profile.platform() == machine::Platform::NT) {
        info.dwPlatformId = VER_PLATFORM_WIN32_NT;
        info.dwBuildNumber = version.build;
    } else {
        info.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
        info.dwBuildNumber = ((version.major & 0xFF) << 24) | ((version.minor & 0xFF) << 16) |
                             (version.build & 0xFFFF);
    }
    return info;
}

std::optional<std::string> GetComputerNameA() {
    const auto current = Current();
    if (!current) {
        return std::nullopt;
    }
    if (std::string name = current->profile().computerName(); !name.empty()) {
        return name;
    }
    std::string host = host::System().HostName();
    host = host.substr(0, host.find('.'));
    if (host.empty()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return std::nullopt;
    }
    host.resize(std::min<std::size_t>(host.size(), kMaxComputerNameLength));
    for (char& c : host) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return host;
}

std::optional<std::string> GetUserNameA() {
    const auto current = Current();
    if (!current) {
        return std::nullopt;
    }
    if (std::string name = current->profile().userName(); !name.empty()) {
        return name;
    }
    std::string user = host::System().UserName();
    if (user.empty()) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return std::nullopt;
    }
    return user;
}

std::optional<MEMORYSTATUSEX> GlobalMemoryStatusEx() {
    const auto facts = host::System().Memory();
    if (!facts || facts->totalPhys == 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return std::nullopt;
    }
    MEMORYSTATUSEX status;
    status.ullTotalPhys = facts->totalPhys;
    status.ullAvailPhys = facts->availPhys;
    status.dwMemoryLoad =
        static_cast<DWORD>((facts->totalPhys - facts->availPhys) * 100 / facts->totalPhys);
    status.ullTotalPageFile = facts->totalPhys + facts->totalSwap;
    status.ullAvailPageFile = facts->availPhys + facts->freeSwap;
    status.ullTotalVirtual = kMaximumApplicationAddress + 1 - kMinimumApplicationAddress;
    status.ullAvailVirtual =
        status.ullTotalVirtual - std::min(facts->processResident, status.ullTotalVirtual);
    SetLastError(ERROR_SUCCESS);
    return status;
}

MEMORYSTATUS GlobalMemoryStatus() {
    const auto ex = GlobalMemoryStatusEx();
    if (!ex) {
        return {};
    }
    MEMORYSTATUS status;
    status.dwMemoryLoad = ex->dwMemoryLoad;
    status.dwTotalPhys = Clamp(ex->ullTotalPhys, kLimit2G);
    status.dwAvailPhys = Clamp(ex->ullAvailPhys, kLimit2G);
    status.dwTotalPageFile = Clamp(ex->ullTotalPageFile, kLimit4G);
    status.dwAvailPageFile = Clamp(ex->ullAvailPageFile, kLimit4G);
    status.dwTotalVirtual = Clamp(ex->ullTotalVirtual, kLimit2G);
    status.dwAvailVirtual = Clamp(ex->ullAvailVirtual, kLimit2G);
    return status;
}

SYSTEM_INFO GetSystemInfo() {
    const host::ProcessorFacts facts = host::System().Processor();
    SYSTEM_INFO info;
    info.wProcessorArchitecture = Architecture(facts.machine);
    info.dwPageSize = static_cast<DWORD>(facts.pageSize);
    info.lpMinimumApplicationAddress = kMinimumApplicationAddress;
    info.lpMaximumApplicationAddress = kMaximumApplicationAddress;
    info.dwNumberOfProcessors = std::clamp(facts.online, 1u, 32u);
    info.dwActiveProcessorMask =
        info.dwNumberOfProcessors == 32 ? 0xFFFFFFFFu : (DWORD{1} << info.dwNumberOfProcessors) - 1;
    info.dwAllocationGranularity = kAllocationGranularity;
    info.wProcessorLevel = static_cast<WORD>(std::min(facts.family, 0xFFFFu));
    info.wProcessorRevision =
        static_cast<WORD>(((facts.model & 0xFF) << 8) | (facts.stepping & 0xFF));
    if (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL) {
        // PROCESSOR_INTEL_386, _486 and _PENTIUM, the last for every later family as well.
        info.dwProcessorType = facts.family <= 3 ? 386 : facts.family == 4 ? 486 : 586;
    }
    SetLastError(ERROR_SUCCESS);
    return info;
}

DWORD GetLogicalDrives() {
    const auto current = Current();
    DWORD mask = 0;
    if (current) {
        for (const auto& drive : current->paths().drives()) {
            mask |= DWORD{1} << (drive.letter - 'A');
        }
    }
    return mask;
}

std::vector<std::string> GetLogicalDriveStringsA() {
    const auto current = Current();
    std::vector<std::string> roots;
    if (current) {
        for (const auto& drive : current->paths().drives()) {
            roots.push_back(std::string{drive.letter, ':', '\\'});
        }
    }
    return roots;
}

UINT GetDriveTypeA(std::string_view root) {
    const auto current = Current();
    if (!current) {
        return DRIVE_UNKNOWN;
    }
    const auto letter = RootDrive(root, *current);
    const machine::DriveInfo* drive = letter ? current->paths().Drive(*letter) : nullptr;
    return drive != nullptr ? static_cast<UINT>(drive->type) : DRIVE_NO_ROOT_DIR;
}

std::optional<DISK_FREE_SPACE> GetDiskFreeSpaceA(std::string_view root) {
    const auto current = Current();
    const machine::DriveInfo* drive = current ? DriveOfPath(root, *current) : nullptr;
    const auto volume = drive != nullptr ? VolumeOf(*drive) : std::nullopt;
    if (!volume) {
        return std::nullopt;
    }
    DISK_FREE_SPACE space;
    space.bytesPerSector = kBytesPerSector;
    const std::uint64_t fragment =
        volume->fragmentSize >= kBytesPerSector ? volume->fragmentSize : 4096;
    space.sectorsPerCluster =
        static_cast<DWORD>(std::max<std::uint64_t>(fragment / kBytesPerSector, 1));
    const std::uint64_t clusterBytes = std::uint64_t{space.sectorsPerCluster} * kBytesPerSector;
    std::uint64_t total = volume->blocks * volume->fragmentSize / clusterBytes;
    std::uint64_t free = volume->availableBlocks * volume->fragmentSize / clusterBytes;
    const std::uint64_t limit =
        current->profile().platform() == machine::Platform::NT ? kLimit4G : kLimit2G / clusterBytes;
    space.totalNumberOfClusters = Clamp(total, limit);
    space.numberOfFreeClusters = Clamp(free, limit);
    return space;
}

std::optional<DISK_FREE_SPACE_EX> GetDiskFreeSpaceExA(std::string_view directory) {
    const auto current = Current();
    const machine::DriveInfo* drive = current ? DriveOfPath(directory, *current) : nullptr;
    const auto volume = drive != nullptr ? VolumeOf(*drive) : std::nullopt;
    if (!volume) {
        return std::nullopt;
    }
    DISK_FREE_SPACE_EX space;
    space.totalNumberOfBytes = volume->blocks * volume->fragmentSize;
    space.freeBytesAvailableToCaller = volume->availableBlocks * volume->fragmentSize;
    space.totalNumberOfFreeBytes = space.freeBytesAvailableToCaller;
    return space;
}

std::optional<VOLUME_INFORMATION> GetVolumeInformationA(std::string_view root) {
    const auto current = Current();
    const machine::DriveInfo* drive = current ? DriveOfPath(root, *current) : nullptr;
    const auto volume = drive != nullptr ? VolumeOf(*drive) : std::nullopt;
    if (!volume) {
        return std::nullopt;
    }
    VOLUME_INFORMATION info;
    info.volumeName = VolumeValue(*current, drive->letter, "Label").value_or("");
    const auto serial = VolumeValue(*current, drive->letter, "Serial");
    if (const auto parsed = serial ? ParseSerial(*serial) : std::nullopt) {
        info.volumeSerialNumber = *parsed;
    } else {
        const std::uint64_t id = volume->fileSystemId != 0 ? volume->fileSystemId : volume->device;
        info.volumeSerialNumber = static_cast<DWORD>(id ^ (id >> 32));
    }
    info.fileSystemName =
        VolumeValue(*current, drive->letter, "FileSystem")
            .value_or(DefaultFileSystem(drive->type, current->profile().platform()));
    info.fileSystemFlags = FileSystemFlags(info.fileSystemName);
    return info;
}

int GetKeyboardType(int nTypeFlag) {
    switch (nTypeFlag) {
        case 0:
            return 4;
        case 2:
            return 12;
        default:
            return 0;
    }
}

std::optional<std::string> GetCurrentDirectoryA() {
    const auto current = Current();
    if (!current) {
        return std::nullopt;
    }
    return current->currentDirectory().str();
}

bool SetCurrentDirectoryA(std::string_view path) {
    const auto target = detail::Resolve(path);
    if (!target) {
        return false;
    }
    host::FileStat st;
    if (!target->exists || host::Stat(target->host, st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (!st.isDirectory) {
        SetLastError(ERROR_DIRECTORY);
        return false;
    }
    target->machine->setCurrentDirectory(target->windows);
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace win32
