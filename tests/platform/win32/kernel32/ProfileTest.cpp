#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

constexpr const char* kIni = "C:\\APP\\app.ini";

class ProfileTest : public ::testing::Test {
  protected:
    testsupport::MachineBuilder builder;
};

TEST_F(ProfileTest, ReadingFallsBackToTheDefault) {
    builder.File(kIni, "[Main]\r\nName = Velto \r\nQuoted=\"  x  \"\r\n[main]\r\nLate=1\r\n");
    const struct {
        const char* section;
        const char* key;
        const char* defaultValue;
        const char* file;
        const char* expected;
        DWORD error;
    } cases[] = {
        {"main", "NAME", "d", kIni, "Velto", ERROR_SUCCESS},
        {"Main", "Quoted", "d", kIni, "  x  ", ERROR_SUCCESS},
        {"Main", "Late", "d", kIni, "d", ERROR_FILE_NOT_FOUND},  // only the first [main]
        {"Main", "Absent", "with blanks  ", kIni, "with blanks", ERROR_FILE_NOT_FOUND},
        {"Other", "Name", "", kIni, "", ERROR_FILE_NOT_FOUND},
        {"Main", "Name", "none", "C:\\APP\\missing.ini", "none", ERROR_FILE_NOT_FOUND},
        {"Main", "Name", "none", "C:\\NOWHERE\\app.ini", "none", ERROR_PATH_NOT_FOUND},
        {"Main", "Name", "none", "C:\\APP", "none", ERROR_ACCESS_DENIED},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetPrivateProfileStringA(c.section, c.key, c.defaultValue, c.file), c.expected)
            << c.file << " " << c.section << "/" << c.key;
        EXPECT_EQ(GetLastError(), c.error) << c.file << " " << c.section << "/" << c.key;
    }
}

TEST_F(ProfileTest, WritingCreatesUpdatesAndDeletes) {
    builder.Folder("C:\\APP");
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "Name", "Velto", kIni));
    EXPECT_EQ(builder.Read(kIni), "[Main]\r\nName=Velto\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("MAIN", "name", "caf\xC3\xA9", kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("Other", "k", "v", kIni));
    ASSERT_TRUE(WritePrivateProfileStringA("Main", "Second", "2", kIni));
    EXPECT_EQ(builder.Read(kIni),
              "[Main]\r\nName=caf\xC3\xA9\r\nSecond=2\r\n\r\n[Other]\r\nk=v\r\n");
    ASSERT_TRUE(WritePrivateProfileStringA("main", "NAME", std::nullopt, kIni));
    EXPECT_EQ(GetPrivateProfileStringA("Main", "Name", "gone", kIni), "gone");
    ASSERT_TRUE(WritePrivateProfileStringA("OTHER", std::nullopt, std::nullopt, kIni));
    EXPECT_EQ(builder.Read(kIni), "[Main]\r\nSecond=2\r\n\r\n");
    // Deleting what is not there changes nothing and creates nothing.
    EXPECT_TRUE(WritePrivateProfileStringA("Nope", std::nullopt, std::nullopt, "C:\\APP\\n.ini"));
    EXPECT_FALSE(builder.Exists("C:\\APP\\n.ini"));
    EXPECT_TRUE(WritePrivateProfileStringA(std::nullopt, std::nullopt, std::nullopt, kIni));
}

TEST_F(ProfileTest, ExistingLinesSurviveARewrite) {
    builder.File(kIni, "; keep me\n[A]\nodd line\nk = 1 ; not a comment\n\n[B]\nx=y");
    ASSERT_TRUE(WritePrivateProfileStringA("B", "x", "z", kIni));
    EXPECT_EQ(builder.Read(kIni),
              "; keep me\r\n[A]\r\nodd line\r\nk = 1 ; not a comment\r\n\r\n"
              "[B]\r\nx=z\r\n");
}

TEST_F(ProfileTest, Windows1252FilesAreReadAndRewrittenAsUtf8) {
    builder.File(kIni, "[M]\r\nName=Caf\xE9\r\n");
    EXPECT_EQ(GetPrivateProfileStringA("M", "Name", "", kIni), "Caf\xC3\xA9");
    ASSERT_TRUE(WritePrivateProfileStringA("M", "Other", "1", kIni));
    EXPECT_EQ(builder.Read(kIni), "[M]\r\nName=Caf\xC3\xA9\r\nOther=1\r\n");
}

TEST_F(ProfileTest, WritesThatCannotBeDone) {
    builder.File("C:\\APP\\locked.ini", "[A]\r\nk=1\r\n").Folder("C:\\APP\\folder.ini");
    ::chmod(builder.HostPath("C:\\APP\\locked.ini").c_str(), 0444);
    const struct {
        const char* section;
        const char* key;
        const char* value;
        const char* file;
        DWORD error;
    } cases[] = {
        {"A", "k", "2", "C:\\APP\\locked.ini", ERROR_ACCESS_DENIED},
        {"A", "k", "2", "C:\\APP\\folder.ini", ERROR_ACCESS_DENIED},
        {"A", "k", "2", "C:\\NOWHERE\\x.ini", ERROR_PATH_NOT_FOUND},
        {"A", "k", "2\r\n[Injected]", kIni, ERROR_INVALID_PARAMETER},
        {"A]", "k", "2", kIni, ERROR_INVALID_PARAMETER},
        {"A", "k=", "2", kIni, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(WritePrivateProfileStringA(c.section, c.key, c.value, c.file)) << c.file;
        EXPECT_EQ(GetLastError(), c.error) << c.file << " " << c.value;
    }
    EXPECT_EQ(builder.Read("C:\\APP\\locked.ini"), "[A]\r\nk=1\r\n");
    EXPECT_FALSE(builder.Exists(kIni));
    EXPECT_FALSE(WritePrivateProfileStringA(std::nullopt, "k", "v", kIni));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ProfileTest, BareNamesAndWinIniLiveInTheWindowsFolder) {
    ASSERT_TRUE(WriteProfileStringA("Windows", "load", "vlt.exe"));
    EXPECT_EQ(builder.Read("C:\\WINDOWS\\win.ini"), "[Windows]\r\nload=vlt.exe\r\n");
    EXPECT_EQ(GetProfileStringA("windows", "LOAD", ""), "vlt.exe");
    EXPECT_EQ(GetPrivateProfileStringA("Windows", "load", "", "WIN.INI"), "vlt.exe");
    ASSERT_TRUE(WritePrivateProfileStringA("S", "k", "v", "system.ini"));
    EXPECT_TRUE(builder.Exists("C:\\WINDOWS\\system.ini"));
}

TEST_F(ProfileTest, SectionsAndTheirLines) {
    builder.File(kIni, "[A]\r\nk=1\r\nj = 2\r\n[B]\r\n[a]\r\nz=3\r\n");
    EXPECT_EQ(GetPrivateProfileSectionA("a", kIni), (std::vector<std::string>{"k=1", "j=2"}));
    EXPECT_EQ(GetPrivateProfileSectionA("C", kIni), std::vector<std::string>{});
    EXPECT_EQ(GetPrivateProfileSectionNamesA(kIni), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(GetPrivateProfileSectionNamesA("C:\\APP\\none.ini"), std::vector<std::string>{});
}

}  // namespace
