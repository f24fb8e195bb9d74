#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

TEST(Directories, SystemFoldersComeFromTheProfile) {
    testsupport::MachineBuilder builder;
    EXPECT_EQ(GetWindowsDirectoryA(), "C:\\WINDOWS");
    EXPECT_EQ(GetSystemDirectoryA(), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(GetTempPathA(), "C:\\WINDOWS\\TEMP\\");
    builder.Platform(machine::Platform::NT).ProfileValue("Machine", "TempDir", "D:\\Tmp\\");
    EXPECT_EQ(GetSystemDirectoryA(), "C:\\WINDOWS\\SYSTEM32");
    EXPECT_EQ(GetTempPathA(), "D:\\Tmp\\");
}

TEST(Directories, WithoutAMachineNothingIsReady) {
    machine::SetCurrentMachine(nullptr);
    EXPECT_EQ(GetWindowsDirectoryA(), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    EXPECT_EQ(HostPathOf("C:\\"), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

TEST(TempFileName, CreatesUniqueEmptyFiles) {
    testsupport::MachineBuilder builder;
    const std::regex form(R"(C:\\WINDOWS\\TEMP\\VLT[0-9A-F]{1,4}\.tmp)");
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        const auto name = GetTempFileNameA("c:\\windows\\temp", "VLTemp");
        ASSERT_TRUE(name);
        EXPECT_TRUE(std::regex_match(*name, form)) << *name;
        EXPECT_TRUE(builder.Exists(*name)) << *name;
        EXPECT_EQ(builder.Read(*name), "");
        names.insert(*name);
    }
    EXPECT_EQ(names.size(), 20u);
}

TEST(TempFileName, NamesFromAGivenNumberAreNotCreated) {
    testsupport::MachineBuilder builder;
    EXPECT_EQ(GetTempFileNameA("C:\\WINDOWS\\TEMP\\", "ab", 0x1ABCD),
              "C:\\WINDOWS\\TEMP\\abABCD.tmp");
    EXPECT_FALSE(builder.Exists("C:\\WINDOWS\\TEMP\\abABCD.tmp"));
    EXPECT_EQ(GetTempFileNameA("C:\\", "", 1), "C:\\1.tmp");
}

TEST(TempFileName, TheFolderMustExist) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\file.txt");
    for (const char* folder : {"C:\\NoSuchFolder", "C:\\file.txt"}) {
        EXPECT_EQ(GetTempFileNameA(folder, "VLT"), std::nullopt) << folder;
        EXPECT_EQ(GetLastError(), ERROR_DIRECTORY) << folder;
    }
    EXPECT_EQ(GetTempFileNameA("C:\\Missing\\Deeper", "VLT"), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(PathNames, ShortAndLongForms) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\AUTOEXEC.BAT").File("C:\\Program Files\\Velto\\watermark.jpeg");
    const struct {
        const char* in;
        const char* shortForm;
        const char* longForm;
    } cases[] = {
        {"C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
        {"c:\\autoexec.bat", "C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
        {"C:\\Program Files\\Velto\\watermark.jpeg", "C:\\PROGRA~1\\Velto\\WATERM~1.JPE",
         "C:\\Program Files\\Velto\\watermark.jpeg"},
        {"c:\\progra~1\\velto", "C:\\PROGRA~1\\Velto", "C:\\Program Files\\Velto"},
        {"C:\\", "C:\\", "C:\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetShortPathNameA(c.in), c.shortForm) << c.in;
        EXPECT_EQ(GetLongPathNameA(c.in), c.longForm) << c.in;
    }
    EXPECT_EQ(GetShortPathNameA("C:\\missing.txt"), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetShortPathNameA("C:\\Missing\\x.txt"), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST(PathNames, HostPathsBothWays) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\WINDOWS\\WIN.INI");
    const auto host = HostPathOf("c:\\windows\\win.ini");
    ASSERT_TRUE(host);
    EXPECT_EQ(*host, std::filesystem::canonical(builder.HostPath("C:\\WINDOWS\\WIN.INI")));
    EXPECT_EQ(WindowsPathOf(*host), "C:\\WINDOWS\\WIN.INI");
    EXPECT_EQ(WindowsPathOf("/etc"), std::nullopt);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

}  // namespace
