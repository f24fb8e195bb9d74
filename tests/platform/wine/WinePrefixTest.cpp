// A Wine prefix as a machine: which folders are prefixes, its profile (version, drives, folders),
// the system's stores it never lists, and documents that never open through Wine.
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/kinds/MachineKinds.h"
#include "platform/machine/MachineError.h"
#include "platform/machine/SystemStores.h"
#include "platform/restart/MachineStart.h"
#include "platform/restart/RestartMoves.h"
#include "platform/win32/advapi32/Registry.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/shell32/Shell.h"
#include "platform/wine/WineMachineProfile.h"
#include "platform/wine/WinePrefix.h"
#include "tests/platform/wine/FakePrefix.h"
#include "tests/support/MachineBuilder.h"
#include "tests/support/RecordingLauncher.h"

namespace {

using winetest::FakePrefix;
using winetest::Key;

TEST(WinePrefix, TheKindIsToldWhereTheFolderIsOpened) {
    FakePrefix prefix;
    const auto opened = kinds::OpenMachine(prefix.folder());
    EXPECT_EQ(opened->kind().name(), "Wine prefix");
    EXPECT_FALSE(opened->kind().opensDocumentsWithItsPrograms());
    EXPECT_EQ(opened->kind().registryFiles().front(), prefix.folder() / "system.reg");

    testsupport::MachineBuilder emulated;
    EXPECT_EQ(kinds::OpenMachine(emulated.folder())->kind().name(), "emulated machine");

    std::filesystem::remove(prefix.folder() / "system.reg");
    try {
        kinds::OpenMachine(prefix.folder());
        ADD_FAILURE() << "a folder that is no machine was opened";
    } catch (const machine::MachineError& e) {
        EXPECT_NE(
            std::string(e.what()).find("and not a Wine prefix (no system.reg and dosdevices/)"),
            std::string::npos)
            << e.what();
    }
}

TEST(WinePrefix, TheVersionIsThePrefixs) {
    struct Case {
        std::string user;     // user.reg keys
        std::string machine;  // system.reg keys
        machine::Platform platform;
        machine::WindowsVersion version;
        std::string servicePack;
    };
    const std::string nt =
        Key("Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion",
            "\"CSDVersion\"=\"Service Pack 1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
            "\"CurrentVersion\"=\"6.1\"\n");
    const std::string nineX =
        Key("Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
            "\"SubVersionNumber\"=\" A \"\n\"VersionNumber\"=\"4.10.2222\"\n");
    const Case cases[] = {
        {"", nt, machine::Platform::NT, {6, 1, 7601}, "Service Pack 1"},
        {Key("Software\\\\Wine", "\"Version\"=\"win98\"\n"),
         nt + nineX,
         machine::Platform::Win9x,
         {4, 10, 2222},
         "A"},
        {Key("Software\\\\Wine", "\"Version\"=\"WinME\"\n"),
         nt,
         machine::Platform::Win9x,
         {4, 90, 3000},
         ""},
        {Key("Software\\\\Wine", "\"Version\"=\"winxp\"\n"),
         Key("Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion",
             "\"CSDVersion\"=\"Service Pack 3\"\n\"CurrentBuildNumber\"=\"2600\"\n"
             "\"CurrentVersion\"=\"5.1\"\n"),
         machine::Platform::NT,
         {5, 1, 2600},
         "Service Pack 3"},
        // A new prefix of Wine 8: Windows 10, which keeps "6.3" for old programs.
        {"",
         Key("Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion",
             "\"CSDVersion\"=\"\"\n\"CurrentBuildNumber\"=\"19043\"\n"
             "\"CurrentMajorVersionNumber\"=dword:0000000a\n"
             "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentVersion\"=\"6.3\"\n"),
         machine::Platform::NT,
         {10, 0, 19043},
         ""},
    };
    for (const Case& c : cases) {
        FakePrefix prefix;
        prefix.Hive("user.reg", "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", c.user);
        prefix.Hive("system.reg", "REGISTRY\\\\Machine", c.machine);
        const auto opened = wine::OpenWinePrefix(prefix.folder());
        const auto& profile = opened->profile();
        EXPECT_EQ(profile.platform(), c.platform) << c.user;
        EXPECT_EQ(profile.version().major, c.version.major) << c.user;
        EXPECT_EQ(profile.version().minor, c.version.minor) << c.user;
        EXPECT_EQ(profile.version().build, c.version.build) << c.user;
        EXPECT_EQ(profile.servicePack(), c.servicePack) << c.user;
        EXPECT_EQ(profile.systemDir(), "C:\\windows\\system32");
    }
}

TEST(WinePrefix, DrivesOutsideThePrefixAreLeftOutUnlessChosen) {
    FakePrefix prefix;
    std::filesystem::create_directories(prefix.folder() / "cd");
    const auto outside =
        prefix.folder().parent_path() / (prefix.folder().filename().string() + "-d");
    std::filesystem::create_directories(outside);
    prefix.Link('d', "../cd");
    prefix.Link('e', outside);
    prefix.Link('z', "/");
    prefix.Link('y', "../missing");
    std::filesystem::create_symlink("/dev/ttyS0", prefix.folder() / "dosdevices" / "com1");
    prefix.Hive("system.reg", "REGISTRY\\\\Machine",
                Key("Software\\\\Wine\\\\Drives", "\"d:\"=\"cdrom\"\n\"e:\"=\"network\"\n"));
    prefix.Write("velto.ini", "[Drives]\nE=checked\n");
    const auto opened = wine::OpenWinePrefix(prefix.folder());
    std::string seen;
    for (const auto& drive : opened->profile().drives()) {
        seen += std::string(1, drive.letter) + ":" +
                std::string(machine::DriveTypeName(drive.type)) +
                (drive.leftOut.empty() ? "" : " (left out)") + " ";
    }
    EXPECT_EQ(seen, "C:fixed D:cdrom E:remote Y:fixed Z:fixed (left out) ");
    std::string used;
    for (const auto& drive : opened->paths().drives()) {
        used += drive.letter;
    }
    EXPECT_EQ(used, "CDEY");
    EXPECT_FALSE(opened->Resolve("Z:\\etc\\passwd"));
    const auto z = opened->profile().drives().back();
    EXPECT_NE(
        z.leftOut.find("Z=checked under [Drives] in " + (prefix.folder() / "velto.ini").string()),
        std::string::npos)
        << z.leftOut;
    std::filesystem::remove_all(outside);
}

TEST(WinePrefix, DocumentsOpenWithTheDesktopNeverThroughWine) {
    FakePrefix prefix;
    std::filesystem::create_directories(prefix.folder() / "drive_c" / "windows" / "temp");
    std::ofstream(prefix.folder() / "drive_c" / "windows" / "temp" / "report.htm") << "<html/>";
    prefix.Hive("system.reg", "REGISTRY\\\\Machine",
                Key("Software\\\\Classes\\\\.htm", "@=\"htmlfile\"\n") +
                    Key("Software\\\\Classes\\\\htmlfile\\\\shell\\\\open\\\\command",
                        "@=\"C:\\\\windows\\\\system32\\\\winebrowser.exe -nohome \\\"%1\\\"\"\n") +
                    Key("Software\\\\Classes\\\\http\\\\shell\\\\open\\\\command",
                        "@=\"C:\\\\windows\\\\system32\\\\winebrowser.exe %1\"\n"));
    machine::SetCurrentMachine(wine::OpenWinePrefix(prefix.folder()));
    testsupport::RecordingLauncher launcher;
    EXPECT_GT(win32::ShellExecuteA(0, "open", "C:\\windows\\temp\\report.htm", "", "", 1), 32u);
    EXPECT_GT(win32::ShellExecuteA(0, "open", "http://example.invalid/", "", "", 1), 32u);
    const auto commands = launcher.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].front(), "xdg-open");
    EXPECT_EQ(commands[0].back(),
              (prefix.folder() / "drive_c" / "windows" / "temp" / "report.htm").string());
    EXPECT_EQ(commands[1], (std::vector<std::string>{"xdg-open", "http://example.invalid/"}));
    machine::SetCurrentMachine(nullptr);
}

// A start that could not run has failed, and says what still waits and which command carries
// it out.
TEST(WinePrefix, WithoutWineTheStartFailsAndSaysWhatWaits) {
    FakePrefix prefix;
    std::ofstream(prefix.folder() / "drive_c" / "OLD.DLL") << "x";
    machine::SetCurrentMachine(wine::OpenWinePrefix(prefix.folder()));
    ASSERT_TRUE(
        win32::MoveFileExA("C:\\OLD.DLL", std::nullopt, win32::MOVEFILE_DELAY_UNTIL_REBOOT));
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    ::setenv("PATH", (prefix.folder() / "no-wine-here").c_str(), 1);
    const auto report = win32::StartMachine();
    ::setenv("PATH", savedPath.c_str(), 1);
    EXPECT_TRUE(report.failed);
    EXPECT_EQ(report.lines,
              (std::vector<std::string>{
                  "Wine is not installed here, so the prefix was not started: the scheduled "
                  "move still waits; they are carried out at the prefix's next start, or with: "
                  "WINEPREFIX=" +
                      prefix.folder().string() + " wineboot -r",
                  "pending operation 1: delete C:\\OLD.DLL: waits"}));
    EXPECT_EQ(win32::ReadPendingRenames()->size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(prefix.folder() / "drive_c" / "OLD.DLL"));
    machine::SetCurrentMachine(nullptr);
}

TEST(SystemStores, TheNTFamilysOwnStoresAreKnownOnEveryNTMachine) {
    testsupport::MachineBuilder builder;
    builder.Platform(machine::Platform::NT);
    const machine::SystemStores stores(builder.machine()->profile());
    const std::pair<std::string, std::string> stored[] = {
        {"C:\\WINDOWS\\", "WinSxS"},
        {"c:\\windows\\", "winsxs"},
        {"C:\\WINDOWS\\", "Driver Cache"},
        {"C:\\WINDOWS\\", "ServicePackFiles"},
        {"C:\\WINDOWS\\", "$NtUninstallKB890830$"},
        {"C:\\WINDOWS\\", "$NtServicePackUninstall$"},
        {"C:\\WINDOWS\\SYSTEM32\\", "spool"},
        {"C:\\WINDOWS\\SYSTEM32\\", "DLLCACHE"},
    };
    for (const auto& [parent, name] : stored) {
        EXPECT_TRUE(stores.Contains(parent, name)) << parent << name;
    }
    const std::pair<std::string, std::string> notStored[] = {
        {"C:\\WINDOWS\\SYSTEM32\\", "winsxs"},  {"C:\\WINDOWS\\", "spool"},
        {"C:\\WINDOWS\\SYSTEM32\\", "spooler"}, {"C:\\WINDOWS\\", "$NtUninstall"},
        {"C:\\Program Files\\", "dllcache"},    {"C:\\WINDOWS\\$NtUninstallKB1$\\", "x$"},
    };
    for (const auto& [parent, name] : notStored) {
        EXPECT_FALSE(stores.Contains(parent, name)) << parent << name;
    }
    builder.Platform(machine::Platform::Win9x);
    EXPECT_TRUE(machine::SystemStores(builder.machine()->profile()).folders().empty());
}

}  // namespace
