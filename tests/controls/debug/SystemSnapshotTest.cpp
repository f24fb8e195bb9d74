// The system snapshot's lines: layout, number formats and the description tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "controls/debug/SystemSnapshot.h"
#include "platform/win32/kernel32/SystemFactTexts.h"
#include "platform/win32/kernel32/SystemInfo.h"
#include "platform/win32/ntdll/HostSystem.h"
#include "tests/support/MachineBuilder.h"

namespace Qz_Debug {
namespace {

SnapshotFacts Windows98() {
    SnapshotFacts f;
    f.versionKnown = true;
    f.platformId = 1;
    f.major = 4;
    f.minor = 10;
    f.build = 0x040A08AE;  // the 9x family keeps major and minor in the high word
    f.servicePack = " A ";
    f.computerName = "BUILDER";
    f.userName = "alice";
    f.architecture = 0;
    f.level = 6;
    f.revision = 0x0803;
    f.processors = 2;
    f.activeMask = 3;
    f.minAddress = 0x10000;
    f.maxAddress = 0x7FFEFFFF;
    f.granularity = 65536;
    f.memoryLoad = 7;
    f.totalPhys = 68719476736ULL;  // 64 GB: far beyond 32 bits
    f.availPhys = 1536;            // 1.5 KB rounds to 2
    f.totalPageFile = 2560;        // 2.5 KB rounds to 2
    f.availPageFile = 511;
    f.totalVirtual = 2147352576;
    f.availVirtual = 2146435072;
    f.drives = {{"A:\\", 2, 0, 0}, {"C:\\", 3, 5368709120ULL, 1073741824ULL}, {"E:\\", 9, 1, 1}};
    f.currentPath = "C:\\Program Files\\Velto";
    return f;
}

TEST(SystemSnapshot, Lines) {
    EXPECT_EQ(SnapshotLines(Windows98()),
              (std::vector<std::string>{
                  std::string(40, '='),
                  "OS = Windows 95/98/Me 4.10.2222  A ",
                  "Computer Name: BUILDER",
                  "User Name: alice",
                  "    ------    ",
                  "Processor: Intel, Pentium Pro or Pentium II Model 8.3 - Number Processors: 2 - "
                  "Active Processor: 3",
                  "Min/Max Application Address/BlockSize: 10000/7FFEFFFF/65,536",
                  "Percent RAM Used: 7%",
                  "Total RAM:        67,108,864 KB",
                  "Free RAM:         2 KB",
                  "Total/Available PageFile Size: 2 KB / 0 KB",
                  "Total/Available Virtual Size:  2,097,024 KB / 2,096,128 KB",
                  "    ------    ",
                  "Drives: ",
                  "A:\\ - Removable drive Total Space: 0 bytes, Free Space: 0 bytes",
                  "C:\\ - Fixed drive Total Space: 5,368,709,120 bytes, Free Space: "
                  "1,073,741,824 bytes",
                  "E:\\ -  Total Space: 1 bytes, Free Space: 1 bytes",
                  "    ------    ",
                  "Current path: C:\\Program Files\\Velto",
                  std::string(40, '='),
              }));
}

TEST(SystemSnapshot, FailedCallsShowEmptyAndZero) {
    const std::vector<std::string> lines = SnapshotLines(SnapshotFacts{});
    ASSERT_EQ(lines.size(), 17u);  // no drive lines
    EXPECT_EQ(lines[1], "OS =  0.0.0 ");
    EXPECT_EQ(lines[2], "Computer Name: ");
    // Architecture 0 with level 0 is plain "Intel".
    EXPECT_EQ(lines[5], "Processor: Intel - Number Processors: 0 - Active Processor: 0");
    EXPECT_EQ(lines[6], "Min/Max Application Address/BlockSize: 0/0/0");
    EXPECT_EQ(lines[7], "Percent RAM Used: 0%");
    EXPECT_EQ(lines[8], "Total RAM:        0 KB");
    EXPECT_EQ(lines[13], "Drives: ");
    EXPECT_EQ(lines[14], "    ------    ");
    EXPECT_EQ(lines[15], "Current path: ");
}

TEST(SystemSnapshot, PlatformText) {
    SnapshotFacts nt = Windows98();
    nt.platformId = 2;
    nt.major = 5;
    nt.minor = 1;
    nt.build = 2600;
    nt.servicePack = "Service Pack 3";
    EXPECT_EQ(SnapshotLines(nt)[1],
              "OS = Windows NT/2000/XP or .NET Server 5.1.2600 Service Pack 3");
    nt.platformId = 0;
    EXPECT_EQ(SnapshotLines(nt)[1], "OS = Windows Version 3 5.1.2600 Service Pack 3");
    nt.platformId = 3;
    EXPECT_EQ(SnapshotLines(nt)[1], "OS =  5.1.2600 Service Pack 3");
}

TEST(SystemSnapshot, ProcessorDescription) {
    const struct {
        std::uint32_t architecture;
        std::uint32_t level;
        std::uint32_t revision;
        const char* text;
    } cases[] = {
        {0, 0, 0x0102, "Intel"},
        {0, 3, 0x0102, "Intel, 80386 Model 1.2"},
        {0, 4, 0x0102, "Intel, 80486 Model 1.2"},
        {0, 5, 0x0102, "Intel, Pentium Model 1.2"},
        {0, 6, 0x0102, "Intel, Pentium Pro or Pentium II Model 1.2"},
        {0, 7, 0x0102, "Intel, Pentium III Model 1.2"},
        {0, 8, 0x0102, "Intel, Pentium 4 Model 1.2"},
        {0, 15, 0xFF00, "Intel, Beyond Pentium 4 Model 255.0"},
        {1, 4, 0, "MIPS R4000"},
        {2, 21164, 0x0501, "Alpha 21164 Model A5 Pass 1"},
        {3, 1, 0x0102, "PPC 601 Processor Version 1.2"},
        {3, 3, 0x0102, "PPC 603 Processor Version 1.2"},
        {3, 4, 0x0102, "PPC 604 Processor Version 1.2"},
        {3, 6, 0x0102, "PPC 603+ Processor Version 1.2"},
        {3, 9, 0x0102, "PPC 604+ Processor Version 1.2"},
        {3, 20, 0x0102, "PPC 620 Processor Version 1.2"},
        {3, 5, 0x0102, "PPC 65 Processor Version 1.2"},
        {4, 3, 0, "SH3"},
        {5, 4, 0, "ARM Level 4"},
        {6, 7, 0x0001, "Intel Itanium 7 Model 0.1"},
        {0xFFFF, 2, 0x0304, "Unknown Level 2 Version 3.4"},
        {9, 1, 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProcessorDescription(c.architecture, c.level, c.revision), c.text)
            << c.architecture << "/" << c.level;
    }
}

TEST(SystemSnapshot, DriveTypeText) {
    const char* texts[] = {"Unknown",       "Drive Not Present", "Removable drive", "Fixed drive",
                           "Network drive", "CD-ROM drive",      "RAM-disk",        ""};
    for (std::uint32_t type = 0; type < std::size(texts); ++type) {
        EXPECT_EQ(win32::DriveTypeText(type), texts[type]) << type;
    }
    EXPECT_EQ(win32::DriveTypeText(0xFFFFFFFF), "");
}

// A host with fixed figures, so that the facts of a test machine are known.
class FixedHost : public win32::host::SystemFacts {
  public:
    std::optional<win32::host::MemoryFacts> Memory() const override {
        return win32::host::MemoryFacts{.totalPhys = 68719476736ULL,  // 64 GB
                                        .availPhys = 17179869184ULL,
                                        .totalSwap = 1073741824ULL,
                                        .freeSwap = 1073741824ULL};
    }
    win32::host::ProcessorFacts Processor() const override {
        return {.machine = "x86_64", .family = 6, .model = 58, .stepping = 9, .online = 4};
    }
    int Volume(const std::filesystem::path&, win32::host::VolumeFacts& out) const override {
        out = {.fragmentSize = 4096, .blocks = 1310720, .availableBlocks = 262144};
        return 0;
    }
    std::string HostName() const override { return "host"; }
    std::string UserName() const override { return "host user"; }
};

TEST(SystemSnapshot, FactsOfTheMachine) {
    FixedHost host;
    win32::host::SetSystemForTesting(&host);
    testsupport::MachineBuilder machine;
    machine.Platform(machine::Platform::NT)
        .ProfileValue("Machine", "Version", "5.1.2600")
        .ProfileValue("Machine", "ServicePack", "Service Pack 3")
        .ProfileValue("Machine", "ComputerName", "OFFICE7")
        .ProfileValue("Machine", "UserName", "alice")
        .DriveWithoutMedium('A')
        .Folder("C:\\Work");
    ASSERT_TRUE(win32::SetCurrentDirectoryA("C:\\Work"));
    const std::vector<std::string> lines = SnapshotLines(GatherSnapshotFacts());
    win32::host::SetSystemForTesting(nullptr);

    ASSERT_EQ(lines.size(), 19u);
    EXPECT_EQ(lines[1], "OS = Windows NT/2000/XP or .NET Server 5.1.2600 Service Pack 3");
    EXPECT_EQ(lines[2], "Computer Name: OFFICE7");
    EXPECT_EQ(lines[3], "User Name: alice");
    EXPECT_EQ(lines[5],
              "Processor: Intel, Pentium Pro or Pentium II Model 58.9 - Number Processors: 4 - "
              "Active Processor: 15");
    EXPECT_EQ(lines[6], "Min/Max Application Address/BlockSize: 10000/7FFEFFFF/65,536");
    // The memory figures are not cut at 32 bits.
    EXPECT_EQ(lines[7], "Percent RAM Used: 75%");
    EXPECT_EQ(lines[8], "Total RAM:        67,108,864 KB");
    EXPECT_EQ(lines[9], "Free RAM:         16,777,216 KB");
    EXPECT_EQ(lines[14], "A:\\ - Removable drive Total Space: 0 bytes, Free Space: 0 bytes");
    EXPECT_EQ(lines[15],
              "C:\\ - Fixed drive Total Space: 5,368,709,120 bytes, Free Space: 1,073,741,824 "
              "bytes");
    EXPECT_EQ(lines[17], "Current path: C:\\Work");
}

}  // namespace
}  // namespace Qz_Debug
