// System facts: the profile's version and names, and host figures seen as a 32-bit Windows
// machine sees them, checked against a stand-in host.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/HostSystem.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using win32::host::MemoryFacts;
using win32::host::ProcessorFacts;
using win32::host::VolumeFacts;

constexpr std::uint64_t kKB = 1024;
constexpr std::uint64_t kMB = 1024 * kKB;
constexpr std::uint64_t kGB = 1024 * kMB;

class FakeSystem : public win32::host::SystemFacts {
  public:
    std::optional<MemoryFacts> memory;
    ProcessorFacts processor;
    VolumeFacts volume;
    int volumeError = 0;
    std::string hostName = "builder.example.org";
    std::string userName = "alice";

    std::optional<MemoryFacts> Memory() const override { return memory; }
    ProcessorFacts Processor() const override { return processor; }
    int Volume(const std::filesystem::path&, VolumeFacts& out) const override {
        out = volume;
        return volumeError;
    }
    std::string HostName() const override { return hostName; }
    std::string UserName() const override { return userName; }
};

class SystemInfoTest : public ::testing::Test {
  protected:
    void SetUp() override { win32::host::SetSystemForTesting(&host_); }
    void TearDown() override { win32::host::SetSystemForTesting(nullptr); }

    FakeSystem host_;
    testsupport::MachineBuilder machine_;
};

struct VersionCase {
    const char* name;
    bool nt;
    const char* version;
    const char* servicePack;
    win32::DWORD platformId;
    win32::DWORD major;
    win32::DWORD minor;
    win32::DWORD build;
};

TEST_F(SystemInfoTest, VersionFromTheProfile) {
    const VersionCase cases[] = {
        {"Windows 98 SE", false, "4.10.2222", "A", 1, 4, 10, 0x040A08AE},
        {"Windows 95", false, "4.0.950", "", 1, 4, 0, 0x040003B6},
        {"Windows XP", true, "5.1.2600", "Service Pack 3", 2, 5, 1, 2600},
        {"NT build beyond 16 bits", true, "6.1.70000", "", 2, 6, 1, 70000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine_.Platform(c.nt ? machine::Platform::NT : machine::Platform::Win9x)
            .ProfileValue("Machine", "Version", c.version)
            .ProfileValue("Machine", "ServicePack", c.servicePack);
        const auto info = win32::GetVersionExA();
        ASSERT_TRUE(info);
        EXPECT_EQ(info->dwPlatformId, c.platformId);
        EXPECT_EQ(info->dwMajorVersion, c.major);
        EXPECT_EQ(info->dwMinorVersion, c.minor);
        EXPECT_EQ(info->dwBuildNumber, c.build);
        EXPECT_EQ(info->szCSDVersion, c.servicePack);
    }
}

struct NameCase {
    const char* name;
    const char* profile;
    std::string host;
    std::optional<std::string> expected;
};

TEST_F(SystemInfoTest, ComputerName) {
    const NameCase cases[] = {
        {"profile wins, as written", "Office-PC", "ignored", "Office-PC"},
        {"host name cut at its domain and upper-cased", "", "builder.example.org", "BUILDER"},
        {"at most fifteen characters", "", "averyveryverylonghostname", "AVERYVERYVERYLO"},
        {"no name at all", "", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine_.ProfileValue("Machine", "ComputerName", c.profile);
        host_.hostName = c.host;
        EXPECT_EQ(win32::GetComputerNameA(), c.expected);
    }
}

TEST_F(SystemInfoTest, UserName) {
    EXPECT_EQ(win32::GetUserNameA(), "alice");
    machine_.ProfileValue("Machine", "UserName", "Bob Smith");
    EXPECT_EQ(win32::GetUserNameA(), "Bob Smith");
    machine_.ProfileValue("Machine", "UserName", "");
    host_.userName.clear();
    EXPECT_FALSE(win32::GetUserNameA());
}

struct MemoryCase {
    const char* name;
    MemoryFacts facts;
    win32::MEMORYSTATUS expected;
};

TEST_F(SystemInfoTest, GlobalMemoryStatusClampsAsForAnOldProgram) {
    const win32::DWORD totalVirtual = 0x7FFE0000;
    const MemoryCase cases[] = {
        {"small machine",
         {512 * kMB, 128 * kMB, 256 * kMB, 200 * kMB, 16 * kMB},
         {75, 512 * kMB, 128 * kMB, 768 * kMB, 328 * kMB, totalVirtual, totalVirtual - 16 * kMB}},
        {"3 GB: physical figures stop at 2 GB - 1",
         {3 * kGB, 2 * kGB + 512 * kMB, 0, 0, 0},
         {16, 0x7FFFFFFF, 0x7FFFFFFF, 3 * kGB, 2 * kGB + 512 * kMB, totalVirtual, totalVirtual}},
        {"24 GB without swap: page file stops at 4 GB - 1",
         {24 * kGB, 21 * kGB, 0, 0, 3 * kGB},
         {12, 0x7FFFFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, totalVirtual, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host_.memory = c.facts;
        const auto status = win32::GlobalMemoryStatus();
        EXPECT_EQ(status.dwMemoryLoad, c.expected.dwMemoryLoad);
        EXPECT_EQ(status.dwTotalPhys, c.expected.dwTotalPhys);
        EXPECT_EQ(status.dwAvailPhys, c.expected.dwAvailPhys);
        EXPECT_EQ(status.dwTotalPageFile, c.expected.dwTotalPageFile);
        EXPECT_EQ(status.dwAvailPageFile, c.expected.dwAvailPageFile);
        EXPECT_EQ(status.dwTotalVirtual, c.expected.dwTotalVirtual);
        EXPECT_EQ(status.dwAvailVirtual, c.expected.dwAvailVirtual);
    }
}

TEST_F(SystemInfoTest, GlobalMemoryStatusExKeepsTheRealFigures) {
    host_.memory = MemoryFacts{24 * kGB, 21 * kGB, 2 * kGB, kGB, 0};
    const auto ex = win32::GlobalMemoryStatusEx();
    ASSERT_TRUE(ex);
    EXPECT_EQ(ex->ullTotalPhys, 24 * kGB);
    EXPECT_EQ(ex->ullAvailPhys, 21 * kGB);
    EXPECT_EQ(ex->ullTotalPageFile, 26 * kGB);
    EXPECT_EQ(ex->ullAvailPageFile, 22 * kGB);

    host_.memory.reset();
    EXPECT_FALSE(win32::GlobalMemoryStatusEx());
    const auto status = win32::GlobalMemoryStatus();
    EXPECT_EQ(status.dwTotalPhys, 0u);
    EXPECT_EQ(status.dwMemoryLoad, 0u);
}

struct MeminfoCase {
    const char* name;
    const char* text;
    std::optional<MemoryFacts> expected;
};

TEST(HostSystem, ParseMeminfo) {
    const MeminfoCase cases[] = {
        {"current kernel",
         "MemTotal:       24683772 kB\nMemFree:        21901096 kB\nMemAvailable:   22673108 kB\n"
         "Buffers:            8800 kB\nCached:           943036 kB\nSwapTotal:       1048576 kB\n"
         "SwapFree:         524288 kB\n",
         MemoryFacts{24683772 * kKB, 22673108 * kKB, 1048576 * kKB, 524288 * kKB, 0}},
        {"old kernel without MemAvailable",
         "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 30 kB\n",
         MemoryFacts{1000 * kKB, 150 * kKB, 0, 0, 0}},
        {"available never above total", "MemTotal: 100 kB\nMemAvailable: 400 kB\n",
         MemoryFacts{100 * kKB, 100 * kKB, 0, 0, 0}},
        {"no total", "MemFree: 100 kB\n", std::nullopt},
        {"garbage", "MemTotal: lots\n", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto facts = win32::host::ParseMeminfo(c.text);
        ASSERT_EQ(facts.has_value(), c.expected.has_value());
        if (facts) {
            EXPECT_EQ(facts->totalPhys, c.expected->totalPhys);
            EXPECT_EQ(facts->availPhys, c.expected->availPhys);
            EXPECT_EQ(facts->totalSwap, c.expected->totalSwap);
            EXPECT_EQ(facts->freeSwap, c.expected->freeSwap);
        }
    }
}

struct CpuinfoCase {
    const char* name;
    const char* text;
    unsigned family;
    unsigned model;
    unsigned stepping;
};

TEST(HostSystem, ParseCpuinfo) {
    const CpuinfoCase cases[] = {
        {"x86, first processor only",
         "processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nmodel\t\t: 158\n"
         "model name\t: Intel(R) Core(TM)\nstepping\t: 10\n\nprocessor\t: 1\ncpu family\t: 7\n"
         "model\t\t: 1\nstepping\t: 1\n",
         6, 158, 10},
        {"x86 with an extended family", "cpu family\t: 25\nmodel\t\t: 1\nstepping\t: 1\n", 25, 1,
         1},
        {"ARM", "processor\t: 0\nCPU architecture: 8\nCPU variant\t: 0x1\nCPU revision\t: 4\n", 8,
         1, 4},
        {"nothing known", "processor : 0\n", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProcessorFacts facts;
        win32::host::ParseCpuinfo(c.text, facts);
        EXPECT_EQ(facts.family, c.family);
        EXPECT_EQ(facts.model, c.model);
        EXPECT_EQ(facts.stepping, c.stepping);
    }
}

struct ProcessorCase {
    const char* name;
    ProcessorFacts facts;
    win32::WORD architecture;
    win32::WORD level;
    win32::WORD revision;
    win32::DWORD type;
    win32::DWORD count;
    win32::DWORD mask;
};

TEST_F(SystemInfoTest, GetSystemInfo) {
    const ProcessorCase cases[] = {
        {"x86-64 host", {"x86_64", 25, 1, 1, 2, 4096}, 0, 25, 0x0101, 586, 2, 0x3},
        {"486", {"i486", 4, 8, 2, 1, 4096}, 0, 4, 0x0802, 486, 1, 0x1},
        {"Pentium Pro", {"i686", 6, 1, 9, 4, 4096}, 0, 6, 0x0109, 586, 4, 0xF},
        {"forty processors fill the mask",
         {"x86_64", 6, 85, 4, 40, 4096},
         0,
         6,
         0x5504,
         586,
         32,
         0xFFFFFFFF},
        {"ARM host", {"aarch64", 8, 1, 4, 8, 16384}, 5, 8, 0x0104, 0, 8, 0xFF},
        {"unknown processor", {"riscv64", 0, 0, 0, 1, 4096}, 0xFFFF, 0, 0, 0, 1, 0x1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        host_.processor = c.facts;
        const auto info = win32::GetSystemInfo();
        EXPECT_EQ(info.wProcessorArchitecture, c.architecture);
        EXPECT_EQ(info.wProcessorLevel, c.level);
        EXPECT_EQ(info.wProcessorRevision, c.revision);
        EXPECT_EQ(info.dwProcessorType, c.type);
        EXPECT_EQ(info.dwNumberOfProcessors, c.count);
        EXPECT_EQ(info.dwActiveProcessorMask, c.mask);
        EXPECT_EQ(info.dwPageSize, c.facts.pageSize);
        EXPECT_EQ(info.lpMinimumApplicationAddress, 0x00010000u);
        EXPECT_EQ(info.lpMaximumApplicationAddress, 0x7FFEFFFFu);
        EXPECT_EQ(info.dwAllocationGranularity, 65536u);
    }
}

class DrivesTest : public SystemInfoTest {
  protected:
    void SetUp() override {
        SystemInfoTest::SetUp();
        machine_.Drive('Z', machine::DriveType::Remote)
            .Drive('D', machine::DriveType::CdRom)
            .DriveWithoutMedium('A', machine::DriveType::Removable);
    }
};

TEST_F(DrivesTest, DrivesInLetterOrder) {
    EXPECT_EQ(win32::GetLogicalDriveStringsA(),
              (std::vector<std::string>{"A:\\", "C:\\", "D:\\", "Z:\\"}));
    EXPECT_EQ(win32::GetLogicalDrives(), (1u << 0) | (1u << 2) | (1u << 3) | (1u << 25));
}

struct DriveTypeCase {
    const char* root;
    win32::UINT type;
};

TEST_F(DrivesTest, GetDriveType) {
    const DriveTypeCase cases[] = {
        {"C:\\", win32::DRIVE_FIXED},       {"c:", win32::DRIVE_FIXED},
        {"C:/", win32::DRIVE_FIXED},        {"D:\\", win32::DRIVE_CDROM},
        {"Z:\\", win32::DRIVE_REMOTE},      {"A:\\", win32::DRIVE_REMOVABLE},
        {"Q:\\", win32::DRIVE_NO_ROOT_DIR}, {"C:\\WINDOWS\\", win32::DRIVE_NO_ROOT_DIR},
        {"", win32::DRIVE_FIXED},           {"\\", win32::DRIVE_FIXED},
        {"CC", win32::DRIVE_NO_ROOT_DIR},   {"1:\\", win32::DRIVE_NO_ROOT_DIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(win32::GetDriveTypeA(c.root), c.type);
    }
}

struct SpaceCase {
    const char* name;
    bool nt;
    VolumeFacts volume;
    win32::DWORD sectorsPerCluster;
    win32::DWORD totalClusters;
    win32::DWORD freeClusters;
};

TEST_F(DrivesTest, GetDiskFreeSpace) {
    const SpaceCase cases[] = {
        {"1 GB volume, both families alike",
         false,
         {4096, 262144, 131072, 7, 7},
         8,
         262144,
         131072},
        {"100 GB volume on 9x: under 2 GB",
         false,
         {4096, 25 * 1048576ull, 1048576, 7, 7},
         8,
         524287,
         524287},
        {"100 GB volume on NT: real counts",
         true,
         {4096, 25 * 1048576ull, 1048576, 7, 7},
         8,
         26214400,
         1048576},
        {"huge volume on NT: counts capped",
         true,
         {4096, 1ull << 33, 1ull << 33, 7, 7},
         8,
         0xFFFFFFFF,
         0xFFFFFFFF},
        {"small fragments", false, {1024, 1000, 500, 7, 7}, 2, 1000, 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine_.Platform(c.nt ? machine::Platform::NT : machine::Platform::Win9x);
        host_.volume = c.volume;
        const auto space = win32::GetDiskFreeSpaceA("C:\\");
        ASSERT_TRUE(space);
        EXPECT_EQ(space->bytesPerSector, 512u);
        EXPECT_EQ(space->sectorsPerCluster, c.sectorsPerCluster);
        EXPECT_EQ(space->totalNumberOfClusters, c.totalClusters);
        EXPECT_EQ(space->numberOfFreeClusters, c.freeClusters);
        if (!c.nt) {
            // The product the old callers compute in 32-bit signed arithmetic always fits.
            EXPECT_LE(std::uint64_t{space->sectorsPerCluster} * space->bytesPerSector *
                          space->totalNumberOfClusters,
                      0x7FFFFFFFu);
        }
        const auto ex = win32::GetDiskFreeSpaceExA("C:\\WINDOWS");
        ASSERT_TRUE(ex);
        EXPECT_EQ(ex->totalNumberOfBytes, c.volume.blocks * c.volume.fragmentSize);
        EXPECT_EQ(ex->freeBytesAvailableToCaller, c.volume.availableBlocks * c.volume.fragmentSize);
    }
}

struct SpaceFailure {
    const char* root;
    int hostError;
    win32::DWORD error;
};

TEST_F(DrivesTest, GetDiskFreeSpaceFailures) {
    const SpaceFailure cases[] = {
        {"A:\\", 0, win32::ERROR_NOT_READY},
        {"Q:\\", 0, win32::ERROR_PATH_NOT_FOUND},
        {"C:\\", ENOENT, win32::ERROR_NOT_READY},
        {"C:\\", EACCES, win32::ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.root);
        host_.volumeError = c.hostError;
        EXPECT_FALSE(win32::GetDiskFreeSpaceA(c.root));
        EXPECT_EQ(win32::GetLastError(), c.error);
        EXPECT_FALSE(win32::GetVolumeInformationA(c.root));
        EXPECT_EQ(win32::GetLastError(), c.error);
    }
}

struct VolumeCase {
    const char* name;
    bool nt;
    const char* root;
    const char* label;
    const char* serial;
    const char* fileSystem;
    win32::DWORD expectedSerial;
    const char* expectedFileSystem;
};

TEST_F(DrivesTest, GetVolumeInformation) {
    host_.volume = {4096, 1000, 500, 0x1234567800ABCDEFull, 99};
    const VolumeCase cases[] = {
        {"serial with a dash", false, "C:\\", "WIN98", "1A2B-3C4D", "", 0x1A2B3C4D, "FAT32"},
        {"short serial", false, "C:\\", "", "12AB34", "", 0x0012AB34, "FAT32"},
        {"bad serial: the host's id", false, "C:\\", "", "XYZ", "", 0x12345678u ^ 0x00ABCDEFu,
         "FAT32"},
        {"no serial: the host's id", true, "C:\\", "SYSTEM", "", "", 0x12345678u ^ 0x00ABCDEFu,
         "NTFS"},
        {"CD-ROM", false, "D:\\", "DISC", "0000-0001", "", 1, "CDFS"},
        {"named file system", true, "Z:\\", "", "1", "SMB", 1, "SMB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        machine_.Platform(c.nt ? machine::Platform::NT : machine::Platform::Win9x);
        const std::string letter(1, c.root[0]);
        machine_.ProfileValue("Volumes", letter + ".Label", c.label)
            .ProfileValue("Volumes", letter + ".Serial", c.serial)
            .ProfileValue("Volumes", letter + ".FileSystem", c.fileSystem);
        // An empty profile value means "not given".
        const auto info = win32::GetVolumeInformationA(c.root);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->volumeName, c.label);
        EXPECT_EQ(info->volumeSerialNumber, c.expectedSerial);
        EXPECT_EQ(info->fileSystemName, c.expectedFileSystem);
        EXPECT_EQ(info->maximumComponentLength, 255u);
    }
}

TEST(Keyboard, GetKeyboardType) {
    EXPECT_EQ(win32::GetKeyboardType(0), 4);
    EXPECT_EQ(win32::GetKeyboardType(1), 0);
    EXPECT_EQ(win32::GetKeyboardType(2), 12);
    EXPECT_EQ(win32::GetKeyboardType(3), 0);
    EXPECT_EQ(win32::GetKeyboardType(-1), 0);
}

TEST_F(SystemInfoTest, CurrentDirectory) {
    machine_.File("C:\\WINDOWS\\WIN.INI", "");
    EXPECT_EQ(win32::GetCurrentDirectoryA(), "C:\\");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("c:\\windows\\system"));
    EXPECT_EQ(win32::GetCurrentDirectoryA(), "C:\\WINDOWS\\SYSTEM");
    ASSERT_TRUE(win32::SetCurrentDirectoryA(".."));
    EXPECT_EQ(win32::GetCurrentDirectoryA(), "C:\\WINDOWS");

    EXPECT_FALSE(win32::SetCurrentDirectoryA("C:\\NOWHERE"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win32::SetCurrentDirectoryA("C:\\WINDOWS\\WIN.INI"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_DIRECTORY);
    EXPECT_EQ(win32::GetCurrentDirectoryA(), "C:\\WINDOWS");
}

}  // namespace
