// The system-information control on test machines over a host with fixed figures.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "controls/sysinfo/QzSystemInfo.h"
#include "platform/automation/CreateObject.h"
#include "platform/dialogs/ScriptedDialogs.h"
#include "platform/win32/kernel32/SystemFactTexts.h"
#include "platform/win32/ntdll/HostSystem.h"
#include "platform/win32/user32/ExitWindows.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RegistrySeed.h"

namespace Qz_System_Info {
namespace {

using automation::StringArray;
using automation::Variant;

class FixedHost : public win32::host::SystemFacts {
  public:
    std::optional<win32::host::MemoryFacts> memory = win32::host::MemoryFacts{
        .totalPhys = 536870912,  // 512 MB
        .availPhys = 134218240,  // 131,072.5 KB: rounds to the even 131,072
        .totalSwap = 1536,
        .freeSwap = 512};
    win32::host::ProcessorFacts processor{
        .machine = "x86_64", .family = 6, .model = 58, .stepping = 9, .online = 4};
    win32::host::VolumeFacts volume{.fragmentSize = 4096,
                                    .blocks = 1310720,           // 5 GB
                                    .availableBlocks = 262144};  // 1 GB

    std::optional<win32::host::MemoryFacts> Memory() const override { return memory; }
    win32::host::ProcessorFacts Processor() const override { return processor; }
    int Volume(const std::filesystem::path&, win32::host::VolumeFacts& out) const override {
        out = volume;
        return 0;
    }
    std::string HostName() const override { return "host"; }
    std::string UserName() const override { return "hostuser"; }
};

class QzSystemInfoTest : public ::testing::Test {
  protected:
    QzSystemInfoTest() { win32::host::SetSystemForTesting(&host_); }
    ~QzSystemInfoTest() override { win32::host::SetSystemForTesting(nullptr); }

    FixedHost host_;
    testsupport::MachineBuilder machine_;
    QzSystemInfo info_;
};

TEST_F(QzSystemInfoTest, FoldersEndInBackslash) {
    EXPECT_EQ(info_.SystemDir(), "C:\\WINDOWS\\SYSTEM\\");
    EXPECT_EQ(info_.WinDir(), "C:\\WINDOWS\\");
    EXPECT_EQ(info_.TempDir(), "C:\\WINDOWS\\TEMP\\");
    machine_.Platform(machine::Platform::NT).Folder("C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(info_.SystemDir(), "C:\\WINDOWS\\SYSTEM32\\");
    machine_.ProfileValue("Machine", "WindowsDir", "C:\\");
    EXPECT_EQ(info_.WinDir(), "C:\\");
}

TEST_F(QzSystemInfoTest, TempFileNameTwice) {
    const std::string first = info_.TempFileName();
    const std::string second = info_.TempFileName();
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_TRUE(name.starts_with("C:\\WINDOWS\\TEMP\\QzS")) << name;
        EXPECT_TRUE(name.ends_with(".tmp")) << name;
        EXPECT_TRUE(machine_.Exists(name)) << name;
        EXPECT_EQ(machine_.Read(name), "") << name;
    }
    // Only three characters of the prefix are used. The fourth is no hexadecimal digit, so
    // that the number after the prefix cannot pass for it.
    const std::string abc = info_.TempFileName("ABCXYZ");
    EXPECT_TRUE(abc.starts_with("C:\\WINDOWS\\TEMP\\ABC")) << abc;
    EXPECT_FALSE(abc.starts_with("C:\\WINDOWS\\TEMP\\ABCX")) << abc;
}

TEST_F(QzSystemInfoTest, TempFileNameWithoutTempFolder) {
    machine_.ProfileValue("Machine", "TempDir", "C:\\Missing");
    EXPECT_EQ(info_.TempFileName(), "");
}

TEST_F(QzSystemInfoTest, SpecialFolderCreatesMissingFolders) {
    ASSERT_FALSE(machine_.Exists("C:\\My Documents"));
    EXPECT_EQ(info_.SpecialFolder(QzSpecPersonal), "C:\\My Documents");
    EXPECT_TRUE(machine_.Exists("C:\\My Documents"));
    EXPECT_EQ(info_.MyDocuments(), "C:\\My Documents");
    machine_.ProfileValue("Folders", "Startup", "C:\\Boot Items");
    EXPECT_EQ(info_.SpecialFolder(QzSpecStartup), "C:\\Boot Items");
    EXPECT_TRUE(machine_.Exists("C:\\Boot Items"));
    // Folders without a path, and numbers that name none.
    for (const std::int32_t folder : std::initializer_list<std::int32_t>{
             QzSpecPrinters, QzSpecRecycleBin, QzSpecDrives, 99, -1}) {
        EXPECT_EQ(info_.SpecialFolder(folder), "") << folder;
    }
}

TEST_F(QzSystemInfoTest, Names) {
    EXPECT_EQ(info_.ComputerName(), "HOST");
    EXPECT_EQ(info_.UserName(), "hostuser");
    machine_.ProfileValue("Machine", "ComputerName", "OFFICE7")
        .ProfileValue("Machine", "UserName", "alice");
    EXPECT_EQ(info_.ComputerName(), "OFFICE7");
    EXPECT_EQ(info_.UserName(), "alice");
}

TEST_F(QzSystemInfoTest, WinVer) {
    const struct {
        bool nt;
        const char* version;
        const char* servicePack;
        std::int32_t major, minor, build;
        const char* platform;
        OS_VERSIONS platformEnum;
    } cases[] = {
        {false, "4.10.2222", "A", 4, 10, 2222, "Windows 95/98/Me", VER_PLATFORM_WIN32_WINDOWS},
        {false, "4.0.950", "", 4, 0, 950, "Windows 95/98/Me", VER_PLATFORM_WIN32_WINDOWS},
        {true, "5.1.2600", "Service Pack 3", 5, 1, 2600, "Windows NT/2000/XP or .NET Server",
         VER_PLATFORM_WIN32_NT},
        // Only the low 16 bits of the build number.
        {true, "6.1.70000", "", 6, 1, 70000 & 0xFFFF, "Windows NT/2000/XP or .NET Server",
         VER_PLATFORM_WIN32_NT},
    };
    for (const auto& c : cases) {
        machine_.Platform(c.nt ? machine::Platform::NT : machine::Platform::Win9x)
            .ProfileValue("Machine", "Version", c.version)
            .ProfileValue("Machine", "ServicePack", c.servicePack);
        std::int32_t major = -1, minor = -1, build = -1;
        std::string platform, extra;
        OS_VERSIONS platformEnum = VER_PLATFORM_WIN32s;
        info_.WinVer(major, minor, build, &platform, &extra, &platformEnum);
        EXPECT_EQ(major, c.major) << c.version;
        EXPECT_EQ(minor, c.minor) << c.version;
        EXPECT_EQ(build, c.build) << c.version;
        EXPECT_EQ(platform, c.platform) << c.version;
        EXPECT_EQ(extra, c.servicePack) << c.version;
        EXPECT_EQ(platformEnum, c.platformEnum) << c.version;
        info_.WinVer(major, minor, build);
        EXPECT_EQ(major, c.major);
    }
}

TEST_F(QzSystemInfoTest, Drives) {
    machine_.DriveWithoutMedium('A')
        .Drive('D', machine::DriveType::CdRom)
        .Drive('N', machine::DriveType::Remote)
        .Drive('R', machine::DriveType::RamDisk);
    EXPECT_EQ(info_.DriveList(), Variant(StringArray({"A:\\", "C:\\", "D:\\", "N:\\", "R:\\"})));
    const struct {
        const char* root;
        DRIVE_TYPES type;
        const char* text;
    } cases[] = {
        {"A:\\", DRIVE_REMOVABLE, "Removable drive"},
        {"C:\\", DRIVE_FIXED, "Fixed drive"},
        {"c:", DRIVE_FIXED, "Fixed drive"},
        {"D:\\", DRIVE_CDROM, "CD-ROM drive"},
        {"N:\\", DRIVE_REMOTE, "Network drive"},
        {"R:\\", DRIVE_RAMDISK, "RAM-disk"},
        {"Q:\\", DRIVE_NO_ROOT_DIR, "Drive Not Present"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(info_.DriveTypeEnum(c.root), c.type) << c.root;
        EXPECT_EQ(info_.DriveType(c.root), c.text) << c.root;
    }
    EXPECT_EQ(win32::DriveTypeText(DRIVE_UNKNOWN), "Unknown");
    EXPECT_EQ(win32::DriveTypeText(7), "");
    EXPECT_EQ(win32::DriveTypeText(-1), "");
}

TEST_F(QzSystemInfoTest, DriveInfoStaysWithin32Bits) {
    machine_.DriveWithoutMedium('A');
    std::int32_t total = -1, free = -1;
    // The 9x family never reports 2 GB or more.
    info_.DriveInfo("C:\\", total, free);
    EXPECT_GT(total, 2000000000);
    EXPECT_EQ(free, 1073741824);
    // The NT family reports the real 5 GB, which reads as the largest 32-bit figure.
    machine_.Platform(machine::Platform::NT);
    info_.DriveInfo("C:\\", total, free);
    EXPECT_EQ(total, 2147483647);
    EXPECT_EQ(free, 1073741824);
    for (const char* root : {"A:\\", "Q:\\"}) {
        info_.DriveInfo(root, total, free);
        EXPECT_EQ(total, 0) << root;
        EXPECT_EQ(free, 0) << root;
    }
}

TEST_F(QzSystemInfoTest, SerialNumberAndLabel) {
    const struct {
        std::uint32_t serial;
        const char* text;
    } texts[] = {
        {0x0012AB34, "0012-AB34"},
        {0, "0000-0000"},
        {0xFFFFFFFF, "FFFF-FFFF"},
        {0x1A2B3C4D, "1A2B-3C4D"},
    };
    for (const auto& t : texts) {
        EXPECT_EQ(SerialNumberText(t.serial), t.text);
    }
    machine_.ProfileValue("Volumes", "C.Serial", "12AB34")
        .ProfileValue("Volumes", "C.Label", "WIN98");
    EXPECT_EQ(info_.SerialNumber("C:\\"), "0012-AB34");
    EXPECT_EQ(info_.VolumeLabel("C:\\"), "WIN98");
    EXPECT_EQ(info_.SerialNumber("Q:\\"), "0000-0000");
    EXPECT_EQ(info_.VolumeLabel("Q:\\"), "");
    machine_.Drive('D', machine::DriveType::Fixed);
    EXPECT_EQ(info_.VolumeLabel("D:\\"), "");
}

TEST_F(QzSystemInfoTest, FreeMemoryInKilobytes) {
    std::uint8_t used = 0;
    std::int32_t total = 0, free = 0, totalPage = 0, availPage = 0, totalVirtual = 0,
                 availVirtual = 0;
    info_.FreeMemory(used, total, free, &totalPage, &availPage, &totalVirtual, &availVirtual);
    EXPECT_EQ(used, 74);
    EXPECT_EQ(total, 524288);
    EXPECT_EQ(free, 131072);
    EXPECT_EQ(totalPage, 524290);  // 524,289.5 KB, halves to even
    EXPECT_EQ(availPage, 131073);
    EXPECT_EQ(totalVirtual, 2097024);
    EXPECT_GT(availVirtual, 0);

    // A large host reads as much as a 32-bit program can see.
    host_.memory =
        win32::host::MemoryFacts{.totalPhys = 68719476736ULL, .availPhys = 68719476736ULL / 2};
    info_.FreeMemory(used, total, free);
    EXPECT_EQ(used, 50);
    EXPECT_EQ(total, 2097152);
    EXPECT_EQ(free, 2097152);

    host_.memory.reset();
    info_.FreeMemory(used, total, free);
    EXPECT_EQ(used, 0);
    EXPECT_EQ(total, 0);
}

TEST_F(QzSystemInfoTest, Keyboard) {
    EXPECT_EQ(info_.KeyboardType(), "IBM enhanced (101 or 102 key)");
    EXPECT_EQ(info_.FunctionKeys(), 12);
    // The one text with quotes in it, and the values outside the table.
    EXPECT_EQ(KeyboardTypeText(2), "Olivetti \"ico\" (102 key)");
    EXPECT_EQ(KeyboardTypeText(0), "");
    EXPECT_EQ(KeyboardTypeText(8), "");
}

TEST_F(QzSystemInfoTest, ProcessorInfo) {
    std::string processor, minAddress, maxAddress;
    std::int32_t count = 0, mask = 0, blockSize = 0;
    info_.ProcessorInfo(processor, count, mask, &minAddress, &maxAddress, &blockSize);
    EXPECT_EQ(processor, "Intel, Pentium Pro or Pentium II Model 58.9");
    EXPECT_EQ(count, 4);
    EXPECT_EQ(mask, 15);
    EXPECT_EQ(minAddress, "10000");
    EXPECT_EQ(maxAddress, "7FFEFFFF");
    EXPECT_EQ(blockSize, 65536);

    const struct {
        std::uint32_t architecture, level, revision;
        const char* text;
    } cases[] = {
        // Unlike the trace snapshot, level 0 is no plain "Intel".
        {0, 0, 0x0102, "Intel, Beyond Pentium 4 Model 1.2"},
        {0, 3, 0x0102, "Intel, 80386 Model 1.2"},
        {0, 8, 0x0102, "Intel, Pentium 4 Model 1.2"},
        {0, 9, 0x0102, "Intel, Beyond Pentium 4 Model 1.2"},
        {2, 21164, 0x0501, "Alpha 21164 Model A5 Pass 1"},
        {3, 6, 0x0102, "PPC 603+ Processor Version 1.2"},
        {3, 5, 0x0102, "PPC 65 Processor Version 1.2"},
        {0xFFFF, 2, 0x0304, "Unknown Level 2 Version 3.4"},
        {7, 1, 1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::ProcessorText(c.architecture, c.level, c.revision), c.text)
            << c.architecture << "/" << c.level;
    }
}

TEST_F(QzSystemInfoTest, EndingWindowsIsOnlyRecorded) {
    const struct {
        void (QzSystemInfo::*member)() const;
        win32::UINT flags;
        bool restart;
    } cases[] = {
        {&QzSystemInfo::ShutDown, 5, false},
        {&QzSystemInfo::PowerDown, 12, false},
        {&QzSystemInfo::Reboot, 6, true},
        {&QzSystemInfo::Logoff, 4, false},
    };
    for (const auto& c : cases) {
        win32::ClearExitRequest();
        (info_.*c.member)();
        const auto request = win32::PendingExitRequest();
        ASSERT_TRUE(request) << c.flags;
        EXPECT_EQ(request->flags, c.flags);
        EXPECT_EQ(request->restart, c.restart);
    }
    win32::ClearExitRequest();
}

TEST(QzSystemInfoControl, KeepsDesignSizeAndShowsAbout) {
    auto info = automation::CreateObjectAs<QzSystemInfo>("Qz_System_Info.QzSystemInfo");
    ASSERT_TRUE(info);
    for (const auto& [w, h] : {std::pair{100, 5000}, std::pair{0, 0}}) {
        info->SetSize(w, h);
        EXPECT_EQ(info->Width(), 735);
        EXPECT_EQ(info->Height(), 735);
    }
    auto script = std::make_shared<dialogs::ScriptedDialogs>();
    dialogs::ScopedBackend backend(script);
    info->AboutDisplay();
    ASSERT_EQ(script->MsgBoxes().size(), 1u);
    EXPECT_EQ(script->MsgBoxes()[0].title, "About QzSystemInfo");
    EXPECT_TRUE(script->MsgBoxes()[0].prompt.starts_with("QzSystemInfo\r\nby Korvane\r\n"));
}

}  // namespace
}  // namespace Qz_System_Info
