// GetFileVersionInfoSizeA, GetFileVersionInfoA and VerQueryValueA on files of a machine.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/win32/ntdll/LastError.h"
#include "platform/win32/version/Version.h"
#include "tests/support/MachineBuilder.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::Format;
using imagewriter::StringTable;
using imagewriter::VersionInfo;

std::string Bytes(const std::vector<std::uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

VersionInfo Info() {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x04B0, {{"CompanyName", "Korvane"}}, ""});
    return info;
}

class VersionApi : public testing::Test {
  protected:
    void SetUp() override {
        pe_ = imagewriter::BuildImage(imagewriter::VersionImage(Info()));
        ne_ = imagewriter::BuildImage(imagewriter::VersionImage(Info(), Format::Ne));
        imagewriter::ImageSpec bare;
        imagewriter::Resource manifest;
        manifest.type = std::uint16_t{24};
        manifest.data = {'<', 'a', '/', '>'};
        const auto noResources = imagewriter::BuildImage(bare);
        bare.resources.push_back(manifest);
        const auto noVersion = imagewriter::BuildImage(bare);
        machine_.File("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX", Bytes(pe_.bytes))
            .File("C:\\WINDOWS\\SYSTEM\\MMSYSTEM.DRV", Bytes(ne_.bytes))
            .File("C:\\WINDOWS\\SYSTEM\\PLAIN.DLL", Bytes(noResources.bytes))
            .File("C:\\WINDOWS\\SYSTEM\\MANIFEST.DLL", Bytes(noVersion.bytes))
            .File("C:\\WINDOWS\\SYSTEM\\DAMAGED.DLL",
                  Bytes(imagewriter::Corrupt(pe_, imagewriter::Corruption::CyclicDirectory)))
            .File("C:\\WINDOWS\\README.TXT", "not an image\r\n")
            .File("C:\\WINDOWS\\EMPTY.DLL", "");
    }

    testsupport::MachineBuilder machine_;
    imagewriter::Image pe_;
    imagewriter::Image ne_;
};

TEST_F(VersionApi, SizeAndLastError) {
    struct Case {
        const char* path;
        bool found;
        win32::DWORD error;
    };
    const Case cases[] = {
        {"C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX", true, win32::ERROR_SUCCESS},
        {"c:\\windows\\system\\comctl32.ocx", true, win32::ERROR_SUCCESS},
        {"C:/WINDOWS/SYSTEM/../SYSTEM/COMCTL32.OCX", true, win32::ERROR_SUCCESS},
        {"C:\\WINDOWS\\SYSTEM\\MMSYSTEM.DRV", true, win32::ERROR_SUCCESS},
        {"C:\\WINDOWS\\SYSTEM\\MISSING.DLL", false, win32::ERROR_FILE_NOT_FOUND},
        {"C:\\NOWHERE\\MISSING.DLL", false, win32::ERROR_PATH_NOT_FOUND},
        {"C:\\WINDOWS\\README.TXT", false, win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\WINDOWS\\EMPTY.DLL", false, win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\WINDOWS\\SYSTEM\\PLAIN.DLL", false, win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\WINDOWS\\SYSTEM\\MANIFEST.DLL", false, win32::ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"C:\\WINDOWS\\SYSTEM\\DAMAGED.DLL", false, win32::ERROR_BAD_FORMAT},
        {"C:\\WINDOWS", false, win32::ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        win32::SetLastError(0xDEADBEEF);
        win32::DWORD handle = 0x55555555;
        const win32::DWORD size = win32::GetFileVersionInfoSizeA(c.path, &handle);
        EXPECT_EQ(size != 0, c.found) << c.path;
        EXPECT_EQ(win32::GetLastError(), c.error) << c.path;
        EXPECT_EQ(handle, 0u) << c.path;
        const auto block = win32::GetFileVersionInfoA(c.path);
        EXPECT_EQ(block.has_value(), c.found) << c.path;
        EXPECT_EQ(win32::GetLastError(), c.error) << c.path;
    }
    const auto block = win32::GetFileVersionInfoA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
    EXPECT_EQ(win32::GetFileVersionInfoSizeA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"),
              2 * block->size() + 4);
}

TEST_F(VersionApi, BlockHoldsTheResourceBytes) {
    const auto block = win32::GetFileVersionInfoA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
    ASSERT_TRUE(block);
    EXPECT_EQ(*block, imagewriter::BuildVersionBlock(Info()));
    // NE lengths count in alignment units, so the block carries the padding after it.
    const auto ne = win32::GetFileVersionInfoA("C:\\WINDOWS\\SYSTEM\\MMSYSTEM.DRV");
    ASSERT_TRUE(ne);
    const auto built = imagewriter::BuildVersionBlock(Info(), true);
    ASSERT_EQ(ne->size(), (built.size() + 15) / 16 * 16);
    EXPECT_TRUE(std::equal(built.begin(), built.end(), ne->begin()));
}

TEST_F(VersionApi, QueryFailureSetsResourceTypeNotFound) {
    const auto block = win32::GetFileVersionInfoA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
    ASSERT_TRUE(block);
    win32::SetLastError(0xDEADBEEF);
    const auto company = win32::VerQueryValueA(*block, "\\StringFileInfo\\040904B0\\CompanyName");
    ASSERT_TRUE(company);
    EXPECT_EQ(company->Text(), "Korvane");
    EXPECT_EQ(win32::GetLastError(), 0xDEADBEEFu);
    EXPECT_FALSE(win32::VerQueryValueA(*block, "\\StringFileInfo\\040704E4\\CompanyName"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_RESOURCE_TYPE_NOT_FOUND);
    EXPECT_FALSE(win32::VerQueryValueA({}, "\\"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_RESOURCE_TYPE_NOT_FOUND);
}

TEST_F(VersionApi, PipeNamedLikeAnImageDoesNotBlock) {
    const auto fifo = machine_.HostPath("C:\\WINDOWS\\PIPE.DLL");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(win32::GetFileVersionInfoSizeA("C:\\WINDOWS\\PIPE.DLL"), 0u);
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_RESOURCE_DATA_NOT_FOUND);
}

TEST_F(VersionApi, UnreadableFileGivesAccessDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads files whatever their mode";
    }
    const auto host = machine_.HostPath("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX");
    ASSERT_EQ(::chmod(host.c_str(), 0), 0);
    EXPECT_EQ(win32::GetFileVersionInfoSizeA("C:\\WINDOWS\\SYSTEM\\COMCTL32.OCX"), 0u);
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_ACCESS_DENIED);
    ::chmod(host.c_str(), 0644);
}

}  // namespace

namespace {

// The image kind that tells copies for different processors apart, read through the machine.
TEST(ImageMachine, FormatAndProcessorOfEachKindOfFile) {
    testsupport::MachineBuilder machine;
    const auto image = [](Format format) {
        const auto built = imagewriter::BuildImage(imagewriter::VersionImage(Info(), format));
        return Bytes(built.bytes);
    };
    const auto pe = imagewriter::BuildImage(imagewriter::VersionImage(Info()));
    machine.File("C:\\A\\PE32.DLL", image(Format::Pe32))
        .File("C:\\A\\PE64.DLL", image(Format::Pe32Plus))
        .File("C:\\A\\NE.DLL", image(Format::Ne))
        .File("C:\\A\\LE.VXD", image(Format::Le))
        .File("C:\\A\\TEXT.DLL", "not an image")
        .File("C:\\A\\SHORT.DLL",
              Bytes(imagewriter::Corrupt(pe, imagewriter::Corruption::TruncatedDosHeader)))
        .File("C:\\A\\LX.DLL", [&] {
            std::string lx = Bytes(pe.bytes);
            lx[pe.layout.newHeader] = 'L';
            lx[pe.layout.newHeader + 1] = 'X';
            return lx;
        }());
    using win32::ImageFormat;
    const struct {
        const char* path;
        win32::ImageMachine expected;
    } cases[] = {
        {"C:\\A\\PE32.DLL", {ImageFormat::PE, 0x014C}},
        {"C:\\A\\PE64.DLL", {ImageFormat::PE, 0x8664}},
        {"C:\\A\\NE.DLL", {ImageFormat::NE, 0}},
        {"C:\\A\\LE.VXD", {ImageFormat::LE, 0}},
        {"C:\\A\\TEXT.DLL", {}},
        {"C:\\A\\SHORT.DLL", {}},
        {"C:\\A\\LX.DLL", {}},
    };
    for (const auto& c : cases) {
        const auto found = win32::GetImageMachine(c.path);
        ASSERT_TRUE(found) << c.path;
        EXPECT_EQ(*found, c.expected) << c.path;
    }
    EXPECT_FALSE(win32::GetImageMachine("C:\\A\\MISSING.DLL"));
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(win32::GetImageMachine("C:\\A")) << "a folder cannot be read as a file";
    EXPECT_EQ(win32::GetLastError(), win32::ERROR_ACCESS_DENIED);
}

}  // namespace
