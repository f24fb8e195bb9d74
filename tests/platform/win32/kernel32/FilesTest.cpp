#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Files.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

class FilesTest : public ::testing::Test {
  protected:
    FilesTest() {
        builder.File("C:\\SRC\\a.dll", "version 2")
            .File("C:\\DST\\a.dll", "version 1")
            .File("C:\\DST\\locked.dll", "read-only")
            .File("C:\\DST\\Full\\x.txt", "x")
            .Folder("C:\\DST\\Empty");
        ::chmod(builder.HostPath("C:\\DST\\locked.dll").c_str(), 0444);
    }
    testsupport::MachineBuilder builder;
};

TEST_F(FilesTest, CopyFileA) {
    builder.WriteTime("C:\\SRC\\a.dll",
                      testsupport::MachineBuilder::Clock::from_time_t(1'000'000'000));
    const struct {
        const char* from;
        const char* to;
        bool failIfExists;
        DWORD error;
    } cases[] = {
        {"C:\\SRC\\a.dll", "C:\\DST\\a.dll", true, ERROR_FILE_EXISTS},
        {"C:\\SRC\\a.dll", "C:\\DST\\locked.dll", false, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\a.dll", "C:\\DST\\Empty", false, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\a.dll", "c:\\src\\A.DLL", false, ERROR_SHARING_VIOLATION},
        {"C:\\SRC", "C:\\DST\\dir", false, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\none.dll", "C:\\DST\\none.dll", false, ERROR_FILE_NOT_FOUND},
        {"C:\\SRC\\a.dll", "C:\\NOWHERE\\a.dll", false, ERROR_PATH_NOT_FOUND},
        {"C:\\SRC\\a.dll", "C:\\", false, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\a.dll", "C:\\DST\\A.DLL", false, ERROR_SUCCESS},
        {"C:\\SRC\\a.dll", "C:\\DST\\new.dll", true, ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CopyFileA(c.from, c.to, c.failIfExists), c.error == ERROR_SUCCESS)
            << c.from << " -> " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(builder.Read("C:\\DST\\a.dll"), "version 2");  // replaced under its own name
    EXPECT_EQ(builder.Read("C:\\DST\\new.dll"), "version 2");
    EXPECT_EQ(builder.Read("C:\\DST\\locked.dll"), "read-only");
    const auto copied = GetFileAttributesExA("C:\\DST\\new.dll");
    const auto original = GetFileAttributesExA("C:\\SRC\\a.dll");
    ASSERT_TRUE(copied && original);
    EXPECT_EQ(copied->ftLastWriteTime, original->ftLastWriteTime);
}

TEST_F(FilesTest, CopyCarriesAttributes) {
    if (!testsupport::MachineBuilder::XattrsSupported()) {
        GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
    }
    builder.Attributes("C:\\SRC\\a.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CopyFileA("C:\\SRC\\a.dll", "C:\\DST\\b.dll", false));
    EXPECT_EQ(GetFileAttributesA("C:\\DST\\b.dll"), 3);
}

TEST_F(FilesTest, DeleteFileA) {
    const struct {
        const char* path;
        DWORD error;
    } cases[] = {
        {"C:\\DST\\missing.dll", ERROR_FILE_NOT_FOUND},
        {"C:\\GONE\\missing.dll", ERROR_PATH_NOT_FOUND},
        {"C:\\DST\\locked.dll", ERROR_ACCESS_DENIED},  // read-only, even for root
        {"C:\\DST\\Empty", ERROR_ACCESS_DENIED},
        {"C:\\", ERROR_ACCESS_DENIED},
        {"c:\\dst\\A.DLL", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeleteFileA(c.path), c.error == ERROR_SUCCESS) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_FALSE(builder.Exists("C:\\DST\\a.dll"));
    EXPECT_TRUE(builder.Exists("C:\\DST\\locked.dll"));
}

TEST_F(FilesTest, MoveFileExA) {
    const struct {
        const char* from;
        const char* to;
        DWORD flags;
        DWORD error;
    } cases[] = {
        {"C:\\SRC\\a.dll", "C:\\DST\\a.dll", 0, ERROR_ALREADY_EXISTS},
        {"C:\\SRC\\a.dll", "C:\\DST\\locked.dll", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\a.dll", "C:\\DST\\Empty", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {"C:\\DST\\Empty", "C:\\DST\\Full", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\none", "C:\\DST\\none", 0, ERROR_FILE_NOT_FOUND},
        {"C:\\SRC\\a.dll", "C:\\NOWHERE\\a.dll", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\DST", "C:\\DST\\Empty\\Inside", 0, ERROR_INVALID_PARAMETER},
        {"C:\\", "C:\\Root", 0, ERROR_ACCESS_DENIED},
        {"C:\\SRC\\a.dll", "C:\\DST\\A.DLL", MOVEFILE_REPLACE_EXISTING, ERROR_SUCCESS},
        {"C:\\DST\\Full", "C:\\DST\\Moved", 0, ERROR_SUCCESS},                 // folders move too
        {"C:\\DST\\moved\\x.txt", "C:\\DST\\MOVED\\X.TXT", 0, ERROR_SUCCESS},  // case only
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MoveFileExA(c.from, c.to, c.flags), c.error == ERROR_SUCCESS)
            << c.from << " -> " << c.to;
        EXPECT_EQ(GetLastError(), c.error) << c.from << " -> " << c.to;
    }
    EXPECT_EQ(builder.Read("C:\\DST\\a.dll"), "version 2");
    EXPECT_FALSE(builder.Exists("C:\\SRC\\a.dll"));
    EXPECT_TRUE(builder.Exists("C:\\DST\\Moved\\X.TXT"));
    EXPECT_FALSE(builder.Exists("C:\\DST\\Moved\\x.txt"));
}

bool RecordingHandler(std::string_view, std::optional<std::string_view> to, DWORD flags) {
    SetLastError(to ? 1000 + flags : 2000 + flags);
    return true;
}

TEST_F(FilesTest, RestartMovesGoToTheirHandler) {
    const auto installed = detail::SetRestartMoveHandler(nullptr);
    EXPECT_FALSE(MoveFileExA("C:\\SRC\\a.dll", std::nullopt, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(MoveFileExA("C:\\SRC\\a.dll", std::nullopt, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    detail::SetRestartMoveHandler(&RecordingHandler);
    EXPECT_TRUE(MoveFileExA("C:\\SRC\\a.dll", std::nullopt, MOVEFILE_DELAY_UNTIL_REBOOT));
    EXPECT_EQ(GetLastError(), 2004u);
    EXPECT_TRUE(MoveFileExA("C:\\SRC\\a.dll", "C:\\DST\\a.dll", 5));
    EXPECT_EQ(GetLastError(), 1005u);
    detail::SetRestartMoveHandler(installed);
    EXPECT_TRUE(builder.Exists("C:\\SRC\\a.dll"));
}

TEST_F(FilesTest, MoveAcrossFileSystemsCopies) {
    std::error_code ec;
    const std::filesystem::path shm = "/dev/shm";
    struct stat a, b;
    if (::stat(shm.c_str(), &a) != 0 || ::stat(builder.folder().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    const auto ram = shm / builder.folder().filename();
    std::filesystem::create_directories(ram);
    builder.DriveAt('R', machine::DriveType::RamDisk, ram);
    EXPECT_TRUE(MoveFileA("C:\\SRC\\a.dll", "R:\\a.dll"));
    EXPECT_EQ(builder.Read("R:\\a.dll"), "version 2");
    EXPECT_FALSE(builder.Exists("C:\\SRC\\a.dll"));
    EXPECT_FALSE(MoveFileExA("C:\\DST\\a.dll", "R:\\b.dll", 0));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_FALSE(MoveFileA("C:\\DST\\Full", "R:\\Full"));  // folders never cross
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    std::filesystem::remove_all(ram, ec);
}

TEST_F(FilesTest, CreateAndRemoveDirectory) {
    const struct {
        bool create;
        const char* path;
        DWORD error;
    } cases[] = {
        {true, "C:\\DST\\New", ERROR_SUCCESS},
        {true, "c:\\dst\\NEW", ERROR_ALREADY_EXISTS},
        {true, "C:\\DST\\a.dll", ERROR_ALREADY_EXISTS},
        {true, "C:\\NOWHERE\\New", ERROR_PATH_NOT_FOUND},
        {true, "C:\\", ERROR_ALREADY_EXISTS},
        {false, "C:\\DST\\Full", ERROR_DIR_NOT_EMPTY},
        {false, "C:\\DST\\a.dll", ERROR_DIRECTORY},
        {false, "C:\\DST\\absent", ERROR_FILE_NOT_FOUND},
        {false, "C:\\", ERROR_ACCESS_DENIED},
        {false, "C:\\DST\\new", ERROR_SUCCESS},
        {false, "C:\\DST\\Empty", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        const bool ok = c.create ? CreateDirectoryA(c.path) : RemoveDirectoryA(c.path);
        EXPECT_EQ(ok, c.error == ERROR_SUCCESS) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_FALSE(builder.Exists("C:\\DST\\New"));
    EXPECT_TRUE(std::filesystem::is_directory(builder.folder() / "drives" / "C"));
}

}  // namespace

namespace {

// What is not a regular file is never read: a FIFO, or a device that never ends, would hold a
// plain open or read for ever.
TEST_F(FilesTest, ReadersNeverWaitOnWhatIsNotARegularFile) {
    const auto fifo = builder.HostPath("C:\\SRC\\PIPE.DLL");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto file = builder.HostPath("C:\\SRC\\a.dll");
    for (const std::filesystem::path& odd :
         {fifo, std::filesystem::path("/dev/zero"), builder.HostPath("C:\\DST\\Empty")}) {
        std::string text;
        EXPECT_EQ(host::ReadWholeFile(odd, text), EACCES) << odd;
        bool same = true;
        EXPECT_EQ(host::CompareContents(file, odd, same), EACCES) << odd;
        EXPECT_FALSE(same);
        EXPECT_EQ(host::CopyContents(odd, -1), EACCES) << odd;
    }
    EXPECT_FALSE(CopyFileA("C:\\SRC\\PIPE.DLL", "C:\\DST\\PIPE.DLL", false));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(builder.Exists("C:\\DST\\PIPE.DLL"));
    bool same = false;
    EXPECT_EQ(host::CompareContents(file, file, same), 0);
    EXPECT_TRUE(same);
}

}  // namespace
