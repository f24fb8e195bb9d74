// Every file call that changes a folder keeps the machine's cached listing of that folder in
// step, so that the next lookup by another spelling sees the change without the folder being
// read again; folders of thousands of entries cost no more than small ones.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

#include "platform/win32/kernel32/AtomicFile.h"
#include "platform/win32/kernel32/Directories.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/kernel32/Profile.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

bool HostCanWatch(const std::filesystem::path& dir) {
    return machine::MakeHostFolderWatch()->Add(dir) >= 0;
}

bool Exists(std::string_view path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

TEST(PathCache, FileCallsKeepTheListingsInStep) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\Work\\a.txt", "a").Folder("C:\\Other");
    if (!HostCanWatch(builder.HostPath("C:\\Work"))) {
        GTEST_SKIP() << "no folder watch on this host (inotify unavailable or used up)";
    }
    const auto& paths = builder.machine()->paths();
    // Other spellings need the listings: both folders are read once here.
    EXPECT_FALSE(Exists("c:\\work\\nothing"));
    EXPECT_FALSE(Exists("c:\\other\\nothing"));
    const auto reads = paths.foldersRead();

    std::string temp;
    const struct {
        const char* what;
        std::function<bool()> call;
        std::vector<const char*> present;  // spelled otherwise than on disk
        std::vector<const char*> absent;
    } steps[] = {
        {"copy",
         [] { return CopyFileA("C:\\Work\\a.txt", "C:\\Work\\Copy.txt", true); },
         {"c:\\work\\COPY.TXT"},
         {}},
        {"rename",
         [] { return MoveFileA("C:\\Work\\Copy.txt", "C:\\Work\\Moved.txt"); },
         {"C:\\WORK\\MOVED.TXT"},
         {"C:\\WORK\\COPY.TXT"}},
        {"case only",
         [] { return MoveFileA("C:\\Work\\Moved.txt", "C:\\Work\\MOVED.TXT"); },
         {"c:\\work\\moved.txt"},
         {}},
        {"delete", [] { return DeleteFileA("c:\\work\\moved.txt"); }, {}, {"C:\\WORK\\MOVED.TXT"}},
        {"new folder",
         [] { return CreateDirectoryA("C:\\Work\\New Folder"); },
         {"c:\\work\\NEW FOLDER", "C:\\WORK\\NEWFOL~1"},
         {}},
        {"folder gone",
         [] { return RemoveDirectoryA("C:\\Work\\New Folder"); },
         {},
         {"c:\\work\\NEW FOLDER", "C:\\WORK\\NEWFOL~1"}},
        {"whole file",
         [] { return WriteFileAtomicallyA("C:\\Work\\Report.htm", "<html>"); },
         {"c:\\work\\REPORT.HTM"},
         {}},
        {"INI value",
         [] { return WritePrivateProfileStringA("S", "K", "V", "C:\\Work\\new.ini"); },
         {"c:\\work\\NEW.INI"},
         {}},
        {"to another folder",
         [] { return MoveFileExA("C:\\Work\\Report.htm", "C:\\Other\\Report.htm", 0); },
         {"c:\\other\\REPORT.HTM"},
         {"c:\\work\\REPORT.HTM"}},
        {"temporary file",
         [&] {
             temp = GetTempFileNameA("C:\\Work", "VLT").value_or("");
             for (char& c : temp) {
                 c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
             }
             return !temp.empty();
         },
         {},
         {}},
    };
    for (const auto& step : steps) {
        ASSERT_TRUE(step.call()) << step.what << " error " << GetLastError();
        for (const char* path : step.present) {
            EXPECT_TRUE(Exists(path)) << step.what << ": " << path;
        }
        for (const char* path : step.absent) {
            EXPECT_FALSE(Exists(path)) << step.what << ": " << path;
        }
    }
    EXPECT_TRUE(Exists(temp)) << temp;
    EXPECT_EQ(GetLongPathNameA("c:\\work\\moved.txt"), std::nullopt);
    EXPECT_EQ(paths.foldersRead(), reads);
}

TEST(PathCache, TemporaryNamesInAFolderOfThousands) {
    testsupport::MachineBuilder builder;
    const auto temp = builder.HostPath("C:\\WINDOWS\\TEMP");
    for (int i = 0; i < 3000; ++i) {
        std::ofstream(temp / ("Leftover " + std::to_string(i) + ".tmp")) << i;
    }
    const bool watched = HostCanWatch(temp);
    std::set<std::string> names;
    for (int i = 0; i < 100; ++i) {
        const auto name = GetTempFileNameA("C:\\WINDOWS\\TEMP", "VLT");
        ASSERT_TRUE(name);
        EXPECT_TRUE(names.insert(*name).second) << *name;
        EXPECT_TRUE(Exists(*name)) << *name;
    }
    if (watched) {
        EXPECT_LE(builder.machine()->paths().foldersRead(), 1u);
    }
}

}  // namespace
