#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/FindFiles.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

std::vector<std::string> Names(const std::optional<std::vector<WIN32_FIND_DATAA>>& found) {
    std::vector<std::string> names;
    if (found) {
        for (const auto& entry : *found) {
            names.push_back(entry.cFileName);
        }
        std::sort(names.begin(), names.end());
    }
    return names;
}

using Names_ = std::vector<std::string>;

TEST(MatchesWildcard, WindowsRulesAroundDots) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*", "anything.at.all", true},
        {"*.*", "noextension", true},
        {"*.*", ".profile", true},
        {"*.dll", "COMCTL32.DLL", true},
        {"*.DLL", "mixed.DlL", true},
        {"*.dll", "a.b.dll", true},
        {"*.dll", "a.dll.bak", false},
        {"*.dll", "dll", false},
        {"*.", "README", true},
        {"*.", "README.TXT", false},
        {"a.*", "a", true},
        {"a.*", "a.txt", true},
        {"a.*", "ab.txt", false},
        {"f*.*", "foo", true},
        {"?.txt", "a.txt", true},
        {"??.txt", "a.txt", true},  // a "?" before a dot may match nothing
        {"?.txt", "ab.txt", false},
        {"a?", "a", true},
        {"a?", "ab", true},
        {"a?", "abc", false},
        {"a?c", "ac", false},  // ...but only before a dot or at the end
        {"a*z", "abcz", true},
        {"a*z", "abcza", false},
        {"*.o*", "x.ocx", true},
        {"*.o*", "x.dll", false},
        {"\xC3\xA9*.TXT",
         "\xC3\x89"
         "cole.txt",
         true},                                 // é and É
        {"caf?.txt", "caf\xC3\xA9.txt", true},  // "?" is one character, not one byte
        {"x.dll", "X.DLL", true},
        {"*.dll", ".dll", true},
        {"*.dll", "\xC3\xA9t\xC3\xA9.Dll", true},
        {"*.dll", "x.dl\xC3\xA9", false},
        {"*.dll", "x.DLL\xC3\xA9", false},
        {"*ocx", "ACTIVE.OCX", true},
        {"*ocx", "oc", false},
        {"*.d.l", "a.D.L", true},
        {"x.dll", "x.dl", false},
        {"", "", true},
        {"", "a", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;
    }
}

class FindFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::MachineBuilder::XattrsSupported()) {
            GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
        }
        builder.File("C:\\W\\plain.dll", "p")
            .File("C:\\W\\readonly.dll")
            .Attributes("C:\\W\\readonly.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE)
            .File("C:\\W\\hidden.dll")
            .Attributes("C:\\W\\hidden.dll", FILE_ATTRIBUTE_HIDDEN)
            .File("C:\\W\\system.dll")
            .Attributes("C:\\W\\system.dll", FILE_ATTRIBUTE_SYSTEM)
            .File("C:\\W\\notes.txt")
            .Folder("C:\\W\\Sub")
            .Folder("C:\\W\\HiddenSub")
            .Attributes("C:\\W\\HiddenSub", FILE_ATTRIBUTE_HIDDEN)
            .Folder("C:\\W\\ReadOnlySub")
            .Attributes("C:\\W\\ReadOnlySub", FILE_ATTRIBUTE_READONLY);
    }
    testsupport::MachineBuilder builder;
};

TEST_F(FindFilesTest, AttributeMasksOfTheOldDirectoryFunction) {
    const struct {
        const char* pattern;
        DWORD mask;
        Names_ names;
    } cases[] = {
        {"C:\\W\\*.*", 0, {"notes.txt", "plain.dll", "readonly.dll"}},
        {"C:\\W\\*.*", 16, {"ReadOnlySub", "Sub", "notes.txt", "plain.dll", "readonly.dll"}},
        {"C:\\W\\*.*", 39, {"hidden.dll", "notes.txt", "plain.dll", "readonly.dll", "system.dll"}},
        {"C:\\W\\*.*", 2, {"hidden.dll", "notes.txt", "plain.dll", "readonly.dll"}},
        {"C:\\W\\*.*",
         18,
         {"HiddenSub", "ReadOnlySub", "Sub", "hidden.dll", "notes.txt", "plain.dll",
          "readonly.dll"}},
        {"C:\\W\\*.DLL", 39, {"hidden.dll", "plain.dll", "readonly.dll", "system.dll"}},
        {"c:\\w\\s*", 16, {"Sub"}},
        {"C:\\W\\",
         16,
         {".", "..", "ReadOnlySub", "Sub", "notes.txt", "plain.dll", "readonly.dll"}},
        {"C:\\W\\", 0, {"notes.txt", "plain.dll", "readonly.dll"}},
        {"C:\\W\\PLAIN.DLL", 0, {"plain.dll"}},  // no wildcard: that entry, as spelled on disk
        {"C:\\W\\HIDDEN.DLL", 0, {}},
        {"C:\\W\\HIDDEN.DLL", 2, {"hidden.dll"}},
        {"C:\\W", 0, {}},
        {"C:\\W", 16, {"W"}},
        {"C:\\W\\*.ocx", 39, {}},
    };
    for (const auto& c : cases) {
        const auto found = FindFiles(c.pattern, c.mask);
        ASSERT_TRUE(found) << c.pattern;
        EXPECT_EQ(Names(found), c.names) << c.pattern << " mask " << c.mask;
        EXPECT_EQ(GetLastError(), c.names.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS)
            << c.pattern;
    }
}

TEST_F(FindFilesTest, EntriesCarryTheirFacts) {
    builder.File("C:\\W\\Long File Name.html", "0123456789");
    const auto found = FindFiles("C:\\W\\LONG*", 0);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    const auto& entry = found->front();
    EXPECT_EQ(entry.cFileName, "Long File Name.html");
    EXPECT_EQ(entry.cAlternateFileName, "LONGFI~1.HTM");
    EXPECT_EQ(entry.nFileSize, 10u);
    EXPECT_EQ(entry.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    // Named without a wildcard, in another case, or through a link inside the drive.
    builder.Symlink("C:\\Link", builder.HostPath("C:\\W"));
    for (const char* exact : {"c:\\w\\LONG FILE NAME.HTML", "C:\\Link\\long file name.html"}) {
        const auto named = FindFiles(exact, 0);
        ASSERT_TRUE(named && named->size() == 1) << exact;
        EXPECT_EQ(named->front().cFileName, "Long File Name.html") << exact;
        EXPECT_EQ(named->front().cAlternateFileName, "LONGFI~1.HTM") << exact;
    }

    const auto dots = FindFiles("C:\\W\\", 16);
    ASSERT_TRUE(dots);
    ASSERT_GE(dots->size(), 2u);
    EXPECT_EQ((*dots)[0].cFileName, ".");  // the dots come first, as Windows lists them
    EXPECT_EQ((*dots)[1].cFileName, "..");
    EXPECT_EQ((*dots)[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    // The root has no dots.
    const auto root = FindFiles("C:\\", 16);
    ASSERT_TRUE(root);
    EXPECT_EQ(std::count_if(root->begin(), root->end(),
                            [](const auto& e) { return e.cFileName[0] == '.'; }),
              0);
}

TEST_F(FindFilesTest, SizesBeyondFourGigabytes) {
    const auto host = builder.HostPath("C:\\W\\big.bin");
    { std::ofstream create(host); }
    ASSERT_EQ(::truncate(host.c_str(), 3'221'225'472), 0);  // sparse: takes no disk space
    const auto found = FindFiles("C:\\W\\big.bin", 0);
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ(found->front().nFileSize, 3'221'225'472u);
}

TEST_F(FindFilesTest, FoldersThatCannotBeListed) {
    builder.DriveWithoutMedium('A');
    const struct {
        const char* pattern;
        DWORD error;
    } cases[] = {
        {"C:\\Missing\\*.*", ERROR_PATH_NOT_FOUND},
        {"C:\\Missing\\", ERROR_PATH_NOT_FOUND},
        {"C:\\W\\plain.dll\\*.*", ERROR_PATH_NOT_FOUND},
        {"A:\\*.*", ERROR_NOT_READY},
        {"R:\\*.*", ERROR_PATH_NOT_FOUND},
        {"C:\\W\\a|b*", ERROR_INVALID_NAME},
        {"C:\\W*\\*.*", ERROR_INVALID_NAME},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(FindFiles(c.pattern, 16)) << c.pattern;
        EXPECT_EQ(GetLastError(), c.error) << c.pattern;
    }
}

TEST_F(FindFilesTest, LinksLeadingOutOfTheDriveAreNotListed) {
    const auto outside = builder.folder() / "outside.dll";
    std::ofstream(outside) << "host";
    builder.Symlink("C:\\W\\escape.dll", outside)
        .Symlink("C:\\W\\inside.dll", builder.HostPath("C:\\W\\plain.dll"));
    EXPECT_EQ(Names(FindFiles("C:\\W\\*.dll", 0)),
              (Names_{"inside.dll", "plain.dll", "readonly.dll"}));
}

}  // namespace
