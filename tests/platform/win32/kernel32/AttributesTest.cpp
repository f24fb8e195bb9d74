#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"
#include "tests/support/MachineBuilder.h"

namespace {

using namespace win32;

class Attributes : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!testsupport::MachineBuilder::XattrsSupported()) {
            GTEST_SKIP() << "the temporary folder's file system keeps no user extended attributes";
        }
    }
    testsupport::MachineBuilder builder;
};

TEST_F(Attributes, ReadFromTypeModeAndStoredBits) {
    builder.Folder("C:\\Plain")
        .Folder("C:\\HiddenDir")
        .Attributes("C:\\HiddenDir", FILE_ATTRIBUTE_HIDDEN)
        .Folder("C:\\ReadOnlyDir")
        .Attributes("C:\\ReadOnlyDir", FILE_ATTRIBUTE_READONLY)
        .File("C:\\plain.dll")
        .File("C:\\.profile")
        .File("C:\\dotted.cleared")
        .Attributes("C:\\dotted.cleared", 0)
        .File("C:\\rh.dll")
        .Attributes("C:\\rh.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)
        .File("C:\\sys.vxd")
        .Attributes("C:\\sys.vxd", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    const struct {
        const char* path;
        std::int32_t attributes;
        DWORD error;
    } cases[] = {
        {"C:\\Plain", 16, ERROR_SUCCESS},
        {"C:\\HIDDENDIR", 18, ERROR_SUCCESS},
        {"C:\\ReadOnlyDir", 17, ERROR_SUCCESS},
        {"C:\\plain.dll", 32, ERROR_SUCCESS},        // no stored bits: archive
        {"C:\\.profile", 34, ERROR_SUCCESS},         // a leading dot hides
        {"C:\\dotted.cleared", 128, ERROR_SUCCESS},  // nothing set reads normal
        {"C:\\RH.DLL", 3, ERROR_SUCCESS},
        {"C:\\sys.vxd", 36, ERROR_SUCCESS},
        {"C:\\", 16, ERROR_SUCCESS},
        {"C:\\missing.dll", -1, ERROR_FILE_NOT_FOUND},
        {"C:\\Missing\\x.dll", -1, ERROR_PATH_NOT_FOUND},
        {"Q:\\x.dll", -1, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(12345);
        EXPECT_EQ(GetFileAttributesA(c.path), c.attributes) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
}

TEST_F(Attributes, WhatIsSetReadsBack) {
    builder.File("C:\\a.dll").Folder("C:\\Dir");
    const struct {
        const char* path;
        DWORD set;
        std::int32_t reads;
    } cases[] = {
        {"C:\\a.dll", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 3},
        {"C:\\a.dll", FILE_ATTRIBUTE_NORMAL, 128},
        {"C:\\a.dll", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY,
         36},
        {"C:\\Dir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY, 18},
        {"C:\\Dir", 0, 16},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(SetFileAttributesA(c.path, c.set)) << c.path << " " << c.set;
        EXPECT_EQ(GetFileAttributesA(c.path), c.reads) << c.path << " " << c.set;
    }
    EXPECT_TRUE(SetFileAttributesA("C:\\a.dll", FILE_ATTRIBUTE_READONLY));
    struct stat st;
    ASSERT_EQ(::stat(builder.HostPath("C:\\a.dll").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_FALSE(SetFileAttributesA("C:\\gone.dll", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(Attributes, ForeignStoredValuesFallBackToTheDefaults) {
    builder.File("C:\\binary.dat");
    const std::string record("\x03\x00\x04\x00", 4);  // a binary record, not "0x.." text
    ASSERT_EQ(host::Xattrs().Set(builder.HostPath("C:\\binary.dat"), "user.DOSATTRIB", record), 0);
    EXPECT_EQ(GetFileAttributesA("C:\\binary.dat"), 32);
    ASSERT_EQ(host::Xattrs().Set(builder.HostPath("C:\\binary.dat"), "user.DOSATTRIB",
                                 std::string("0x22\0", 5)),
              0);  // with the NUL some writers keep
    EXPECT_EQ(GetFileAttributesA("C:\\binary.dat"), 34);
}

TEST_F(Attributes, DataCarriesSizeAndTimes) {
    builder.File("C:\\five.bin", "12345")
        .WriteTime("C:\\five.bin", testsupport::MachineBuilder::Clock::from_time_t(1'000'000'000));
    const auto data = GetFileAttributesExA("C:\\five.bin");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->nFileSize, 5u);
    EXPECT_EQ(data->dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    // 2001-09-09 01:46:40 UTC
    EXPECT_EQ(data->ftLastWriteTime.quad(), 126'444'736'000'000'000ull);
    EXPECT_GE(data->ftCreationTime.quad(), data->ftLastWriteTime.quad());
    EXPECT_FALSE(GetFileAttributesExA("C:\\absent"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A file system that keeps no extended attributes.
class NoXattrs : public host::ExtendedAttributes {
  public:
    int Get(const std::filesystem::path&, const char*, std::string&) const override {
        return ENOTSUP;
    }
    int Set(const std::filesystem::path&, const char*, std::string_view) const override {
        return ENOTSUP;
    }
};

TEST(AttributesWithoutXattrs, DefaultsOnlyAndSettingOthersIsNotSupported) {
    testsupport::MachineBuilder builder;
    builder.File("C:\\a.dll").File("C:\\.hidden").Folder("C:\\Dir");
    const NoXattrs none;
    host::SetXattrsForTesting(&none);
    EXPECT_EQ(GetFileAttributesA("C:\\a.dll"), 32);
    EXPECT_EQ(GetFileAttributesA("C:\\.hidden"), 34);
    EXPECT_EQ(GetFileAttributesA("C:\\Dir"), 16);
    EXPECT_FALSE(SetFileAttributesA("C:\\a.dll", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(GetFileAttributesA("C:\\a.dll"), 32);
    // What the defaults already say can be set, read-only included.
    EXPECT_TRUE(SetFileAttributesA("C:\\a.dll", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesA("C:\\a.dll"), 33);
    EXPECT_TRUE(SetFileAttributesA("C:\\Dir", FILE_ATTRIBUTE_NORMAL));
    host::SetXattrsForTesting(nullptr);
}

}  // namespace
