// One file's version texts, dates, size, attributes and short name.
#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "platform/automation/Date.h"
#include "tests/controls/file/FileTestSupport.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using filetest::FileTest;
using imagewriter::StringTable;
using imagewriter::VersionInfo;
using Texts = std::array<std::string, 8>;

std::string Image(const VersionInfo& info) {
    const auto bytes = imagewriter::BuildImage(imagewriter::VersionImage(info)).bytes;
    return std::string(bytes.begin(), bytes.end());
}

StringTable Table(std::uint16_t language, std::uint16_t codePage, const std::string& tag) {
    return StringTable{language,
                       codePage,
                       {{"CompanyName", tag + " Co"},
                        {"FileDescription", tag + " description"},
                        {"FileVersion", tag + " 1.0"},
                        {"InternalName", tag + " internal"},
                        {"LegalCopyright", tag + " (C)"},
                        {"OriginalFilename", tag + ".DLL"},
                        {"ProductName", tag + " product"},
                        {"ProductVersion", tag + " 2.0"}},
                       ""};
}

// In the order GetFileProperties hands them back.
Texts Expected(const std::string& tag) {
    return {tag + " Co",      tag + " description", tag + " internal", tag + " (C)",
            tag + " product", tag + ".DLL",         tag + " 2.0",      tag + " 1.0"};
}

TEST_F(FileTest, GetFilePropertiesReadsTheFirstTranslationOnly) {
    VersionInfo english;
    english.tables = {Table(0x0409, 0x04B0, "US")};

    VersionInfo germanFirst;
    germanFirst.tables = {Table(0x0409, 0x04B0, "US"), Table(0x0407, 0x04E4, "DE")};
    germanFirst.translations = {{0x0407, 0x04E4}, {0x0409, 0x04B0}};

    VersionInfo noTranslation;
    noTranslation.tables = {Table(0x0409, 0x04B0, "US")};
    noTranslation.withTranslation = false;

    VersionInfo emptyAndLong = english;
    const std::string longText(300, 'v');
    emptyAndLong.tables[0].strings = {{"CompanyName", ""}, {"FileVersion", longText}};

    machine.File("C:\\US.DLL", Image(english))
        .File("C:\\DE.DLL", Image(germanFirst))
        .File("C:\\NOTRANS.DLL", Image(noTranslation))
        .File("C:\\ODD.DLL", Image(emptyAndLong))
        .File("C:\\README.TXT", "just text");

    const struct {
        const char* file;
        Texts texts;
    } cases[] = {
        {"C:\\US.DLL", Expected("US")},
        {"c:\\us.dll", Expected("US")},
        {"C:\\DE.DLL", Expected("DE")},
        {"C:\\NOTRANS.DLL", {}},
        {"C:\\ODD.DLL", {"", "", "", "", "", "", "", longText}},
        {"C:\\README.TXT", {}},
        {"C:\\MISSING.DLL", {}},
        {"C:\\WINDOWS", {}},
    };
    for (const auto& c : cases) {
        Texts got;
        got.fill("left over");
        file.GetFileProperties(c.file, &got[0], &got[1], &got[2], &got[3], &got[4], &got[5],
                               &got[6], &got[7]);
        EXPECT_EQ(got, c.texts) << c.file;
    }
    std::string company = "left over";
    file.GetFileProperties("C:\\US.DLL", &company);
    EXPECT_EQ(company, "US Co");
}

TEST_F(FileTest, GetFileDatesGivesLocalTimesAndTheSizeOrLeavesThePresets) {
    using Clock = testsupport::MachineBuilder::Clock;
    const auto written = Clock::from_time_t(315532800 + 12345);  // 1 January 1980, 03:25:45 UTC
    machine.File("C:\\A.DLL", "12345").WriteTime("C:\\A.DLL", written);
    const auto unknown = automation::Date(Qz_File::UNKNOWN_DATE);

    automation::Date created = unknown;
    automation::Date modified = unknown;
    automation::Date accessed = unknown;
    double size = 0;
    file.GetFileDates("C:\\A.DLL", created, &modified, &accessed, &size);
    EXPECT_EQ(modified, automation::DateFromUnixTime(315532800 + 12345));
    EXPECT_NE(created, unknown);
    EXPECT_NE(accessed, unknown);
    EXPECT_EQ(size, 5);

    for (const char* missing : {"C:\\MISSING.DLL", "C:\\WINDOWS", "Q:\\A.DLL"}) {
        created = modified = accessed = unknown;
        size = 0;
        file.GetFileDates(missing, created, &modified, &accessed, &size);
        EXPECT_EQ(created, unknown) << missing;
        EXPECT_EQ(modified, unknown) << missing;
        EXPECT_EQ(accessed, unknown) << missing;
        EXPECT_EQ(size, -1) << missing;
    }

    created = unknown;
    file.GetFileDates("C:\\A.DLL", created);
    EXPECT_NE(created, unknown) << "the optional arguments may be left out";
}

TEST_F(FileTest, GetFileDatesOfAFileLargerThan2GB) {
    machine.File("C:\\BIG.DAT");
    if (::truncate(machine.HostPath("C:\\BIG.DAT").c_str(), 3221225472LL) != 0) {
        GTEST_SKIP() << "the temporary folder cannot hold a sparse 3 GB file";
    }
    automation::Date created;
    double size = 0;
    file.GetFileDates("C:\\BIG.DAT", created, nullptr, nullptr, &size);
    EXPECT_EQ(size, 3221225472.0);
}

TEST_F(FileTest, GetImageTypeNamesTheFormatAndTheProcessor) {
    const auto image = [](imagewriter::Format format) {
        const auto bytes =
            imagewriter::BuildImage(imagewriter::VersionImage(VersionInfo{}, format)).bytes;
        return std::string(bytes.begin(), bytes.end());
    };
    machine.File("C:\\X86.DLL", image(imagewriter::Format::Pe32))
        .File("C:\\X64.DLL", image(imagewriter::Format::Pe32Plus))
        .File("C:\\OLD.DRV", image(imagewriter::Format::Ne))
        .File("C:\\DEV.VXD", image(imagewriter::Format::Le))
        .File("C:\\TEXT.DLL", "text");
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\X86.DLL", "PE 014C"}, {"C:\\X64.DLL", "PE 8664"}, {"C:\\OLD.DRV", "NE"},
        {"C:\\DEV.VXD", "LE"},      {"C:\\TEXT.DLL", ""},       {"C:\\MISSING.DLL", ""},
    };
    for (const auto& [path, type] : cases) {
        EXPECT_EQ(file.GetImageType(path), type) << path;
    }
}

TEST_F(FileTest, FileAttributesIsTheAttributeWordOrMinusOne) {
    SKIP_WITHOUT_XATTRS();
    machine.File("C:\\RH.DLL").Attributes("C:\\RH.DLL", 1 | 2).File("C:\\PLAIN.DLL");
    const struct {
        const char* path;
        std::int32_t attributes;
    } cases[] = {
        {"C:\\RH.DLL", 3},
        {"C:\\PLAIN.DLL", Qz_File::FILE_ATTRIBUTE_ARCHIVE},
        {"C:\\WINDOWS", Qz_File::FILE_ATTRIBUTE_DIRECTORY},
        {"C:\\MISSING.DLL", -1},
        {"C:\\MISSING\\A.DLL", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.FileAttributes(c.path), c.attributes) << c.path;
    }
}

TEST_F(FileTest, GetShortNameIsTheWholeShortPath) {
    machine.File("C:\\AUTOEXEC.BAT").File("C:\\Program Files\\Velto\\Long Name.dll");
    const struct {
        const char* path;
        const char* shortPath;
    } cases[] = {
        {"C:\\AUTOEXEC.BAT", "C:\\AUTOEXEC.BAT"},
        {"C:\\Program Files\\Velto\\Long Name.dll", "C:\\PROGRA~1\\Velto\\LONGNA~1.DLL"},
        {"C:\\MISSING.TXT", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(file.GetShortName(c.path), c.shortPath) << c.path;
    }
}

}  // namespace
