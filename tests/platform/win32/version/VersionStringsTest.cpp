// The eight standard texts, read through the first translation only.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/version/VersionStrings.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::BuildVersionBlock;
using imagewriter::StringEntry;
using imagewriter::StringTable;
using imagewriter::Translation;
using imagewriter::VersionInfo;
using win32::ReadStandardVersionStrings;

std::vector<StringEntry> AllEight(const std::string& tag) {
    return {{"CompanyName", tag + " company"},     {"FileDescription", tag + " description"},
            {"FileVersion", tag + " 1.2.3.4"},     {"InternalName", tag + " internal"},
            {"LegalCopyright", tag + " (C) 1999"}, {"OriginalFilename", tag + ".DLL"},
            {"ProductName", tag + " product"},     {"ProductVersion", tag + " 1.2"}};
}

TEST(TranslationKey, EachByteIsTwoUpperCaseDigits) {
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* key;
    } cases[] = {
        {{0x09, 0x04, 0xB0, 0x04}, "040904B0"},
        {{0x07, 0x04, 0xE4, 0x04}, "040704E4"},
        {{0x0A, 0x00, 0x01, 0x00}, "000A0001"},
        {{0x09, 0x04, 0xB0, 0x04, 0x07, 0x04, 0xE4, 0x04}, "040904B0"},
        {{0x09, 0x04}, "04090000"},
        {{0x09}, "00090000"},
        {{}, "00000000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(win32::TranslationKey(c.bytes), c.key);
    }
}

TEST(StandardVersionStrings, AllEightThroughTheTranslation) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x04B0, AllEight("us"), ""});
    const auto s = ReadStandardVersionStrings(BuildVersionBlock(info));
    EXPECT_EQ(s.CompanyName, "us company");
    EXPECT_EQ(s.FileDescription, "us description");
    EXPECT_EQ(s.FileVersion, "us 1.2.3.4");
    EXPECT_EQ(s.InternalName, "us internal");
    EXPECT_EQ(s.LegalCopyright, "us (C) 1999");
    EXPECT_EQ(s.OriginalFilename, "us.DLL");
    EXPECT_EQ(s.ProductName, "us product");
    EXPECT_EQ(s.ProductVersion, "us 1.2");
}

TEST(StandardVersionStrings, OnlyTheFirstTranslationIsRead) {
    struct Case {
        const char* what;
        std::vector<Translation> translations;
        bool withTranslation;
        std::string company;
    };
    const Case cases[] = {
        {"German first", {{0x0407, 0x04E4}, {0x0409, 0x04B0}}, true, "de company"},
        {"US first", {{0x0409, 0x04B0}, {0x0407, 0x04E4}}, true, "us company"},
        {"first names a missing table: no fallback",
         {{0x040C, 0x04E4}, {0x0409, 0x04B0}},
         true,
         ""},
        {"no translation table", {}, false, ""},
    };
    for (const Case& c : cases) {
        VersionInfo info;
        info.tables.push_back(StringTable{0x0409, 0x04B0, AllEight("us"), ""});
        info.tables.push_back(StringTable{0x0407, 0x04E4, AllEight("de"), ""});
        info.translations = c.translations;
        info.withTranslation = c.withTranslation;
        for (const bool sixteen : {false, true}) {
            const auto s = ReadStandardVersionStrings(BuildVersionBlock(info, sixteen));
            EXPECT_EQ(s.CompanyName, c.company) << c.what;
            EXPECT_EQ(s.ProductVersion.empty(), c.company.empty()) << c.what;
        }
    }
}

TEST(StandardVersionStrings, ShortTranslationReadsMissingBytesAsZero) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x0000, {{"CompanyName", "short"}}, ""});
    info.tables.push_back(StringTable{0x0000, 0x0000, {{"CompanyName", "empty"}}, ""});
    info.translationBytes = std::vector<std::uint8_t>{0x09, 0x04};
    EXPECT_EQ(ReadStandardVersionStrings(BuildVersionBlock(info)).CompanyName, "short");
    info.translationBytes = std::vector<std::uint8_t>{};
    EXPECT_EQ(ReadStandardVersionStrings(BuildVersionBlock(info)).CompanyName, "empty");
}

TEST(StandardVersionStrings, EmptyAndUntrimmedValues) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409,
                                      0x04B0,
                                      {{"CompanyName", ""},
                                       {"FileDescription", "", false},
                                       {"FileVersion", " 4.0 "},
                                       {"originalfilename", "lower.dll"}},
                                      "040904b0"});
    const auto s = ReadStandardVersionStrings(BuildVersionBlock(info));
    EXPECT_EQ(s.CompanyName, "");
    EXPECT_EQ(s.FileDescription, "");
    EXPECT_EQ(s.FileVersion, " 4.0 ");
    EXPECT_EQ(s.OriginalFilename, "lower.dll");
    EXPECT_EQ(s.ProductName, "");
}

TEST(StandardVersionStrings, BlocksThatAreNoBlocksGiveEmptyTexts) {
    const std::vector<std::uint8_t> garbage(100, 0xFF);
    const auto s = ReadStandardVersionStrings(garbage);
    EXPECT_EQ(s.CompanyName, "");
    EXPECT_EQ(s.ProductVersion, "");
    EXPECT_EQ(ReadStandardVersionStrings({}).FileVersion, "");
}

}  // namespace
