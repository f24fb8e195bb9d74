// SHGetFolderPathA: the profile's folders, the families' defaults, creating folders on demand.
#include <gtest/gtest.h>

#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/shell32/SpecialFolders.h"
#include "tests/support/MachineBuilder.h"

namespace {

using win32::SHGetFolderPathA;

std::optional<std::string> PathOf(int folder, win32::DWORD flags = win32::SHGFP_TYPE_CURRENT) {
    return SHGetFolderPathA(0, folder | win32::CSIDL_FLAG_DONT_VERIFY, 0, flags);
}

struct DefaultCase {
    int folder;
    const char* path9x;
    const char* pathNT;
};

TEST(SpecialFolders, DefaultsOfEachFamily) {
    testsupport::MachineBuilder m;
    m.ProfileValue("Machine", "UserName", "alice");
    const DefaultCase cases[] = {
        {win32::CSIDL_PERSONAL, "C:\\My Documents",
         "C:\\Documents and Settings\\alice\\My Documents"},
        {win32::CSIDL_STARTUP, "C:\\WINDOWS\\Start Menu\\Programs\\StartUp",
         "C:\\Documents and Settings\\alice\\Start Menu\\Programs\\Startup"},
        {win32::CSIDL_DESKTOPDIRECTORY, "C:\\WINDOWS\\Desktop",
         "C:\\Documents and Settings\\alice\\Desktop"},
        {win32::CSIDL_RECENT, "C:\\WINDOWS\\Recent", "C:\\Documents and Settings\\alice\\Recent"},
        {win32::CSIDL_COMMON_STARTUP, "C:\\WINDOWS\\All Users\\Start Menu\\Programs\\StartUp",
         "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup"},
        {win32::CSIDL_FONTS, "C:\\WINDOWS\\Fonts", "C:\\WINDOWS\\Fonts"},
        {win32::CSIDL_SYSTEM, "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM32"},
        {win32::CSIDL_PROGRAM_FILES, "C:\\Program Files", "C:\\Program Files"},
    };
    for (const bool nt : {false, true}) {
        m.Platform(nt ? machine::Platform::NT : machine::Platform::Win9x);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.folder) + (nt ? " NT" : " 9x"));
            EXPECT_EQ(PathOf(c.folder), nt ? c.pathNT : c.path9x);
        }
    }
}

TEST(SpecialFolders, ProfileFoldersComeFirst) {
    testsupport::MachineBuilder m;
    m.Drive('D', machine::DriveType::Fixed)
        .ProfileValue("Folders", "Personal", "d:/Docs\\Mine\\")
        .ProfileValue("Folders", "Common Startup", "C:\\Shared\\Start");
    EXPECT_EQ(PathOf(win32::CSIDL_PERSONAL), "D:\\Docs\\Mine");
    EXPECT_EQ(PathOf(win32::CSIDL_COMMON_STARTUP), "C:\\Shared\\Start");
    EXPECT_EQ(PathOf(win32::CSIDL_PERSONAL, win32::SHGFP_TYPE_DEFAULT), "C:\\My Documents");
    // A Windows folder moved elsewhere moves the folders inside it along.
    m.ProfileValue("Machine", "WindowsDir", "D:\\WIN98");
    EXPECT_EQ(PathOf(win32::CSIDL_FAVORITES), "D:\\WIN98\\Favorites");
    EXPECT_EQ(PathOf(win32::CSIDL_MYPICTURES), "D:\\My Documents\\My Pictures");
}

TEST(SpecialFolders, CreatesAMissingFolderOnlyWhenAsked) {
    testsupport::MachineBuilder m;
    EXPECT_FALSE(SHGetFolderPathA(0, win32::CSIDL_PERSONAL, 0, 0));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(m.Exists("C:\\My Documents"));

    EXPECT_EQ(SHGetFolderPathA(0, win32::CSIDL_PERSONAL | win32::CSIDL_FLAG_CREATE, 0, 0),
              "C:\\My Documents");
    EXPECT_TRUE(std::filesystem::is_directory(m.HostPath("C:\\My Documents")));
    EXPECT_EQ(SHGetFolderPathA(0, win32::CSIDL_PERSONAL, 0, 0), "C:\\My Documents");

    // Every missing folder on the way is made.
    EXPECT_EQ(SHGetFolderPathA(0, win32::CSIDL_COMMON_STARTUP | win32::CSIDL_FLAG_CREATE, 0, 0),
              "C:\\WINDOWS\\All Users\\Start Menu\\Programs\\StartUp");
    EXPECT_TRUE(std::filesystem::is_directory(
        m.HostPath("C:\\WINDOWS\\All Users\\Start Menu\\Programs\\StartUp")));

    // An existing folder spelled in another case is found, not made a second time.
    m.Folder("C:\\WINDOWS\\FAVORITES");
    EXPECT_EQ(SHGetFolderPathA(0, win32::CSIDL_FAVORITES, 0, 0), "C:\\WINDOWS\\Favorites");
}

TEST(SpecialFolders, Refusals) {
    testsupport::MachineBuilder m;
    m.File("C:\\WINDOWS\\Recent", "a file, not a folder");
    struct Case {
        const char* name;
        int folder;
        win32::DWORD error;
    } cases[] = {
        {"printers have no path", win32::CSIDL_PRINTERS | win32::CSIDL_FLAG_CREATE,
         win32::ERROR_INVALID_PARAMETER},
        {"recycle bin has no path", win32::CSIDL_BITBUCKET, win32::ERROR_INVALID_PARAMETER},
        {"unknown number", 0x7F, win32::ERROR_INVALID_PARAMETER},
        {"no default for the old startup folder", win32::CSIDL_ALTSTARTUP,
         win32::ERROR_FILE_NOT_FOUND},
        {"a file holds the name", win32::CSIDL_RECENT | win32::CSIDL_FLAG_CREATE,
         win32::ERROR_ALREADY_EXISTS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(SHGetFolderPathA(0, c.folder, 0, 0));
        EXPECT_EQ(win32::GetLastError(), c.error);
    }
    EXPECT_EQ(win32::SpecialFolderShellName(win32::CSIDL_PERSONAL | win32::CSIDL_FLAG_CREATE),
              "Personal");
}

}  // namespace
