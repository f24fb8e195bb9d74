#include <gtest/gtest.h>

#include <fstream>

#include "platform/machine/Machine.h"
#include "platform/machine/PathResolver.h"
#include "tests/support/MachineBuilder.h"

namespace {

using machine::ParseWindowsPath;
using machine::PathError;
using machine::WindowsPath;

TEST(ParseWindowsPath, NormalisesLikeWindows) {
    const WindowsPath current{'C', {"WINDOWS", "SYSTEM"}};
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\Windows\\System\\X.DLL", "C:\\Windows\\System\\X.DLL"},
        {"c:/windows//system/", "C:\\windows\\system"},
        {"C:\\A\\.\\B\\..\\C", "C:\\A\\C"},
        {"C:\\A\\..\\..\\..\\B", "C:\\B"},  // ".." stops at the root
        {"C:\\..", "C:\\"},
        {"X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"},
        {"..\\WIN.INI", "C:\\WINDOWS\\WIN.INI"},
        {"\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
        {"C:", "C:\\WINDOWS\\SYSTEM"},
        {"C:X.DLL", "C:\\WINDOWS\\SYSTEM\\X.DLL"},
        {"D:X.DLL", "D:\\X.DLL"},
        {"\\\\?\\C:\\A", "C:\\A"},
    };
    for (const auto& c : cases) {
        PathError error;
        const auto parsed = ParseWindowsPath(c.in, current, error);
        ASSERT_TRUE(parsed) << c.in;
        EXPECT_EQ(parsed->str(), c.out) << c.in;
    }
}

TEST(ParseWindowsPath, RefusesWhatWindowsRefuses) {
    const struct {
        const char* in;
        PathError error;
    } cases[] = {
        {"", PathError::PathNotFound},          {"\\\\server\\share\\x", PathError::BadNetPath},
        {"C:\\A*B\\x", PathError::InvalidName}, {"C:\\A\\b?", PathError::InvalidName},
        {"C:\\A\\b|c", PathError::InvalidName}, {"1:\\x", PathError::InvalidName},
    };
    for (const auto& c : cases) {
        PathError error;
        EXPECT_FALSE(ParseWindowsPath(c.in, WindowsPath{}, error)) << c.in;
        EXPECT_EQ(error, c.error) << c.in;
    }
}

// The host file "a:b.txt" as Windows sees it.
constexpr const char* kOddName =
    "C:\\WINDOWS\\a\xEF\x80\xBA"
    "b.txt";

class PathResolution : public ::testing::Test {
  protected:
    PathResolution() {
        builder.File("C:\\Program Files\\Velto\\pad_file.xml", "<xml/>")
            .File("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX", "ocx")
            .File(kOddName, "odd name")
            .Folder("C:\\Data");
    }
    machine::ResolvedPath Resolve(const char* path) { return builder.machine()->Resolve(path); }
    std::filesystem::path Host(const char* path) { return builder.HostPath(path); }

    testsupport::MachineBuilder builder;
};

TEST_F(PathResolution, FindsExistingEntriesHoweverTheyAreSpelled) {
    const struct {
        const char* in;
        const char* host;     // as the builder wrote it
        const char* windows;  // the long name as on disk
    } cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX", "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX",
         "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"},
        {"c:\\windows\\system\\comctl32.ocx", "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX",
         "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"},
        // the folder spelled as on disk, only the name otherwise
        {"C:\\WINDOWS\\SYSTEM\\comctl32.ocx", "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX",
         "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"},
        {"C:/Windows/System/../System/ComCtl32.ocx", "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX",
         "C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"},
        {"C:\\PROGRA~1\\VELTO\\PAD_FILE.XML", "C:\\Program Files\\Velto\\pad_file.xml",
         "C:\\Program Files\\Velto\\pad_file.xml"},
        {"c:\\progra~1\\velto", "C:\\Program Files\\Velto", "C:\\Program Files\\Velto"},
        {"C:\\WINDOWS\\A\xEF\x80\xBA"
         "B.TXT",
         "C:\\WINDOWS\\a\xEF\x80\xBA"
         "b.txt",
         "C:\\WINDOWS\\a\xEF\x80\xBA"
         "b.txt"},
        {"C:\\..\\..\\Data", "C:\\Data", "C:\\Data"},
        {"C:\\", "C:\\", "C:\\"},
    };
    for (const auto& c : cases) {
        const auto r = Resolve(c.in);
        ASSERT_TRUE(r) << c.in << " error " << static_cast<int>(r.error);
        EXPECT_TRUE(r.exists) << c.in;
        EXPECT_EQ(std::filesystem::weakly_canonical(r.host),
                  std::filesystem::weakly_canonical(Host(c.host)))
            << c.in;
        EXPECT_EQ(r.windows.str(), c.windows) << c.in;
    }
    EXPECT_TRUE(std::filesystem::exists(Resolve("C:\\WINDOWS\\A\xEF\x80\xBA"
                                                "B.TXT")
                                            .host));
}

TEST_F(PathResolution, MissingLastComponentMapsToTheNameToCreate) {
    const auto r = Resolve("c:\\windows\\New File.txt");
    ASSERT_TRUE(r);
    EXPECT_FALSE(r.exists);
    EXPECT_EQ(r.host.filename(), "New File.txt");
    EXPECT_EQ(r.host.parent_path().filename(), "WINDOWS");  // the existing spelling
    const auto odd = Resolve("C:\\WINDOWS\\q\xEF\x80\xBF");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd.host.filename(), "q?");
}

TEST_F(PathResolution, FailuresCarryTheWin32Codes) {
    builder.DriveWithoutMedium('A').DriveAt('E', machine::DriveType::Fixed,
                                            builder.folder() / "not-there");
    const struct {
        const char* in;
        PathError error;
    } cases[] = {
        {"C:\\NoSuchFolder\\X.DLL", PathError::PathNotFound},
        {"C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX\\X", PathError::PathNotFound},  // a file on the way
        {"Q:\\X.DLL", PathError::PathNotFound},                             // no such drive
        {"A:\\X.DLL", PathError::NotReady},                                 // no medium
        {"E:\\", PathError::NotReady},  // host folder missing: no medium either
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolve(c.in).error, c.error) << c.in;
    }
}

TEST_F(PathResolution, AMediumTakenOutIsNotReadyUntilPutBack) {
    builder.Drive('D', machine::DriveType::Removable).File("D:\\Setup\\x.txt", "x");
    const auto folder = builder.folder() / "drives" / "D";
    ASSERT_TRUE(Resolve("D:\\Setup\\x.txt").exists);
    std::filesystem::rename(folder, builder.folder() / "elsewhere");
    for (const char* path : {"D:\\Setup\\x.txt", "D:\\setup\\X.TXT", "D:\\"}) {
        EXPECT_EQ(Resolve(path).error, PathError::NotReady) << path;
    }
    std::filesystem::rename(builder.folder() / "elsewhere", folder);
    EXPECT_TRUE(Resolve("D:\\Setup\\x.txt").exists);
}

TEST_F(PathResolution, LinksMayNotLeadOutOfTheDrive) {
    const auto outside = builder.folder() / "outside";
    std::filesystem::create_directories(outside);
    std::ofstream(outside / "secret.txt") << "host file";
    builder.Symlink("C:\\Escape", outside)
        .Symlink("C:\\SecretLink.txt", outside / "secret.txt")
        .Symlink("C:\\Dangling", builder.folder() / "nowhere")
        .Symlink("C:\\Inside", Host("C:\\WINDOWS\\SYSTEM"))
        .Symlink("C:\\Relative", "../../outside")
        .Symlink("C:\\Data\\Escape", outside);
    for (const char* path :
         {"C:\\Escape", "C:\\Escape\\secret.txt", "C:\\SecretLink.txt", "C:\\Dangling",
          "C:\\Dangling\\new.txt", "C:\\Relative\\secret.txt", "c:\\escape\\SECRET.TXT",
          "C:\\Data\\Escape", "C:\\Data\\Escape\\secret.txt", "C:\\Data\\escape"}) {
        EXPECT_EQ(Resolve(path).error, PathError::AccessDenied) << path;
    }
    const auto inside = Resolve("C:\\Inside\\comctl32.ocx");
    ASSERT_TRUE(inside);
    EXPECT_TRUE(inside.exists);
}

TEST_F(PathResolution, SeesChangesMadeBehindItsBack) {
    const auto before = Resolve("C:\\DATA\\LATE.TXT");
    ASSERT_TRUE(before);
    EXPECT_FALSE(before.exists);
    builder.File("C:\\Data\\late.txt", "x");
    const auto after = Resolve("C:\\DATA\\LATE.TXT");
    EXPECT_TRUE(after.exists);
    EXPECT_EQ(after.windows.str(), "C:\\Data\\late.txt");
    std::filesystem::rename(Host("C:\\Data\\late.txt"), Host("C:\\Data\\later.txt"));
    EXPECT_FALSE(Resolve("C:\\DATA\\LATE.TXT").exists);
    EXPECT_TRUE(Resolve("C:\\DATA\\LATER.TXT").exists);
}

TEST_F(PathResolution, HostPathsMapBackToWindowsPaths) {
    const auto& m = *builder.machine();
    EXPECT_EQ(m.ToWindowsPath(Host("C:\\WINDOWS\\SYSTEM")), "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(Host(kOddName).filename(), "a:b.txt");
    EXPECT_EQ(m.ToWindowsPath(Host(kOddName)), kOddName);
    EXPECT_EQ(m.ToWindowsPath(builder.folder() / "drives" / "C"), "C:\\");
    EXPECT_EQ(m.ToWindowsPath(builder.folder() / "drives" / "C" / ".." / "Cx"), std::nullopt);
    EXPECT_EQ(m.ToWindowsPath("/etc/passwd"), std::nullopt);
    builder.Drive('D', machine::DriveType::Fixed);
    EXPECT_EQ(builder.machine()->ToWindowsPath(builder.folder() / "drives" / "D" / "x"), "D:\\x");
}

}  // namespace
