// Lookups in version blocks as GetFileVersionInfoA returns them, in both layouts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/version/VersionBlock.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::BuildVersionBlock;
using imagewriter::StringEntry;
using imagewriter::StringTable;
using imagewriter::VersionInfo;
using win32::QueryVersionBlock;

VersionInfo Sample() {
    VersionInfo info;
    info.fixed = imagewriter::FixedInfo{};
    info.fixed->fileVersion = {4, 71, 3328, 1};
    info.fixed->productVersion = {5, 0, 2195, 6};
    info.fixed->flags = win32::VS_FF_PRERELEASE;
    info.fixed->os = win32::VOS_DOS_WINDOWS32;
    info.fixed->type = win32::VFT_DRV;
    info.fixed->subtype = win32::VFT2_DRV_SOUND;
    info.tables.push_back(StringTable{0x0409,
                                      0x04E4,
                                      {{"CompanyName", "Korvane Software"},
                                       {"FileDescription", "  padded value  "},
                                       {"OriginalFilename", "SAMPLE.DLL"},
                                       {"Comments", ""},
                                       {"PrivateBuild", "", false},
                                       {"SpecialBuild", "no terminator", false}},
                                      ""});
    return info;
}

std::optional<std::string> Text(const std::vector<std::uint8_t>& block, const std::string& path) {
    const auto value = QueryVersionBlock(block, path);
    if (!value) {
        return std::nullopt;
    }
    return value->Text();
}

struct PathCase {
    const char* path;
    std::optional<std::string> expected;
};

class BothLayouts : public testing::TestWithParam<bool> {};

TEST_P(BothLayouts, StringPathsMatchWithoutRegardToCase) {
    const auto block = BuildVersionBlock(Sample(), GetParam());
    const PathCase cases[] = {
        {"\\StringFileInfo\\040904E4\\CompanyName", "Korvane Software"},
        {"\\stringfileinfo\\040904e4\\COMPANYNAME", "Korvane Software"},
        {"StringFileInfo\\040904E4\\CompanyName", "Korvane Software"},
        {"\\\\StringFileInfo\\\\040904E4\\CompanyName\\", "Korvane Software"},
        {"\\StringFileInfo\\040904E4\\OriginalFileName", "SAMPLE.DLL"},
        {"\\StringFileInfo\\040904E4\\FileDescription", "  padded value  "},
        {"\\StringFileInfo\\040904E4\\Comments", ""},
        {"\\StringFileInfo\\040904E4\\PrivateBuild", ""},
        {"\\StringFileInfo\\040904E4\\SpecialBuild", "no terminator"},
        {"\\StringFileInfo\\040904E4\\Company", std::nullopt},
        {"\\StringFileInfo\\040904E4\\CompanyNameX", std::nullopt},
        {"\\StringFileInfo\\040904B0\\CompanyName", std::nullopt},
        {"\\StringFileInfo\\CompanyName", std::nullopt},
        {"\\VarFileInfo\\CompanyName", std::nullopt},
        {"/StringFileInfo/040904E4/CompanyName", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(block, c.path), c.expected) << c.path;
    }
}

TEST_P(BothLayouts, RootGivesTheFixedFileInfo) {
    const auto block = BuildVersionBlock(Sample(), GetParam());
    for (const char* root : {"\\", "", "\\\\"}) {
        const auto value = QueryVersionBlock(block, root);
        ASSERT_TRUE(value) << root;
        EXPECT_EQ(value->length, win32::VS_FIXEDFILEINFO::kSize);
        const auto fixed = win32::ReadFixedFileInfo(value->bytes);
        ASSERT_TRUE(fixed);
        EXPECT_EQ(fixed->dwSignature, win32::VS_FFI_SIGNATURE);
        EXPECT_EQ(fixed->dwFileVersionMS, 0x00040047u);
        EXPECT_EQ(fixed->dwFileVersionLS, 0x0D000001u);
        EXPECT_EQ(fixed->dwProductVersionMS, 0x00050000u);
        EXPECT_EQ(fixed->dwProductVersionLS, 0x08930006u);
        EXPECT_EQ(fixed->dwFileFlags, win32::VS_FF_PRERELEASE);
        EXPECT_EQ(fixed->dwFileOS, win32::VOS_DOS_WINDOWS32);
        EXPECT_EQ(fixed->dwFileType, win32::VFT_DRV);
        EXPECT_EQ(fixed->dwFileSubtype, win32::VFT2_DRV_SOUND);
    }
}

TEST_P(BothLayouts, TranslationHoldsEveryEntryInOrder) {
    VersionInfo info = Sample();
    info.tables.push_back(StringTable{0x0407, 0x04B0, {{"CompanyName", "Korvane GmbH"}}, ""});
    const auto block = BuildVersionBlock(info, GetParam());
    const auto value = QueryVersionBlock(block, "\\VarFileInfo\\Translation");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->length, 8u);
    EXPECT_EQ(value->bytes,
              (std::vector<std::uint8_t>{0x09, 0x04, 0xE4, 0x04, 0x07, 0x04, 0xB0, 0x04}));
    EXPECT_EQ(Text(block, "\\StringFileInfo\\040704B0\\CompanyName"), "Korvane GmbH");
}

TEST_P(BothLayouts, NoFixedInfoAndNoTranslation) {
    VersionInfo info = Sample();
    info.fixed.reset();
    info.withTranslation = false;
    const auto block = BuildVersionBlock(info, GetParam());
    const auto root = QueryVersionBlock(block, "\\");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->length, 0u);
    EXPECT_FALSE(win32::ReadFixedFileInfo(root->bytes));
    EXPECT_FALSE(QueryVersionBlock(block, "\\VarFileInfo\\Translation"));
    EXPECT_EQ(Text(block, "\\StringFileInfo\\040904E4\\CompanyName"), "Korvane Software");
}

INSTANTIATE_TEST_SUITE_P(Layout, BothLayouts, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Bit16" : "Bit32"; });

TEST(VersionBlock, LayoutIsToldApartAsWindowsDoes) {
    EXPECT_FALSE(win32::IsVersionBlock16(BuildVersionBlock(Sample(), false)));
    EXPECT_TRUE(win32::IsVersionBlock16(BuildVersionBlock(Sample(), true)));
}

TEST(VersionBlock, WideTextComesBackAsUtf8) {
    const std::string values[] = {
        "Soci\u00e9t\u00e9 G\u00e9n\u00e9rale \u00a9 1999",
        "\u041a\u043e\u0440\u0432\u0430\u043d",  // Cyrillic
        "\u65e5\u672c\u8a9e",                    // CJK
        "emoji \U0001F600 outside the BMP",
        "tab\there\nnewline\\backslash",
    };
    for (const std::string& v : values) {
        VersionInfo info;
        info.tables.push_back(StringTable{0x0409, 0x04B0, {{"ProductName", v}}, ""});
        const auto block = BuildVersionBlock(info, false);
        EXPECT_EQ(Text(block, "\\StringFileInfo\\040904B0\\ProductName"), v);
    }
}

TEST(VersionBlock, EightBitTextIsWindows1252) {
    VersionInfo info;
    info.tables.push_back(
        StringTable{0x040C, 0x04E4, {{"CompanyName", "Caf\u00e9 \u20ac \u2013 \u00ae"}}, ""});
    const auto block = BuildVersionBlock(info, true);
    const auto value = QueryVersionBlock(block, "\\StringFileInfo\\040C04E4\\CompanyName");
    ASSERT_TRUE(value);
    EXPECT_FALSE(value->wide);
    // Stored as 8-bit bytes: the euro sign is 0x80, the dash 0x96.
    EXPECT_EQ(value->length, 11u);
    EXPECT_EQ(value->bytes[5], 0x80);
    EXPECT_EQ(value->Text(), "Caf\u00e9 \u20ac \u2013 \u00ae");
}

TEST(VersionBlock, NamesWithLatin1LettersMatchWithoutRegardToCase) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0407, 0x04E4, {{"\u00c4nderung", "ja"}}, ""});
    for (const bool sixteen : {false, true}) {
        const auto block = BuildVersionBlock(info, sixteen);
        EXPECT_EQ(Text(block, "\\StringFileInfo\\040704E4\\\u00e4NDERUNG"), "ja") << sixteen;
    }
}

TEST(VersionBlock, UnpairedSurrogateBecomesReplacementCharacter) {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x04B0, {{"ProductName", "ab"}}, ""});
    auto block = BuildVersionBlock(info, false);
    const auto value = QueryVersionBlock(block, "\\StringFileInfo\\040904B0\\ProductName");
    ASSERT_TRUE(value);
    win32::VersionValue broken = *value;
    broken.bytes[0] = 0x00;
    broken.bytes[1] = 0xD8;  // a high surrogate followed by 'b'
    EXPECT_EQ(broken.Text(),
              "\xEF\xBF\xBD"
              "b");
}

// Damaged blocks must give "not found", never a read outside the block.
TEST(VersionBlock, MalformedBlocksFindNothing) {
    const auto good = BuildVersionBlock(Sample(), false);
    const auto put16 = [](std::vector<std::uint8_t> b, std::size_t at, std::uint16_t v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
        return b;
    };
    // The root's key and fixed info take 92 bytes; StringFileInfo starts there.
    const std::size_t firstChild = 92;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> block;
        bool rootValid;
        bool stringFound;
    };
    const Case cases[] = {
        {"intact", good, true, true},
        {"empty", {}, false, false},
        {"shorter than a header", {0x10, 0x00, 0x00}, false, false},
        {"root length zero", put16(good, 0, 0), false, false},
        {"root length below its header", put16(good, 0, 4), false, false},
        {"root length past the end", put16(good, 0, 0xFFFF), false, false},
        {"root cut inside its key", std::vector<std::uint8_t>(good.begin(), good.begin() + 20),
         false, false},
        {"first child length zero", put16(good, firstChild, 0), true, false},
        {"first child length past the root", put16(good, firstChild, 0xFFF0), true, true},
        {"value length past the node", put16(good, 2, 0xFFFF), true, false},
        {"truncated in the strings",
         std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(win32::IsValidVersionBlock(c.block), c.rootValid) << c.what;
        EXPECT_EQ(Text(c.block, "\\StringFileInfo\\040904E4\\CompanyName").has_value(),
                  c.stringFound)
            << c.what;
    }
}

TEST(VersionBlock, KeyWithoutTerminatorNeverMatches) {
    auto block = BuildVersionBlock(Sample(), false);
    // Overwrite every NUL inside the root so no key ends inside its node.
    for (std::size_t i = 6; i < block.size(); ++i) {
        if (block[i] == 0) {
            block[i] = 'A';
        }
    }
    EXPECT_FALSE(QueryVersionBlock(block, "\\"));
    EXPECT_FALSE(QueryVersionBlock(block, "\\VarFileInfo\\Translation"));
}

TEST(VersionBlock, FixedFileInfoNeedsItsSignatureAndSize) {
    std::vector<std::uint8_t> value(win32::VS_FIXEDFILEINFO::kSize, 0);
    EXPECT_FALSE(win32::ReadFixedFileInfo(value));
    value[0] = 0xBD;
    value[1] = 0x04;
    value[2] = 0xEF;
    value[3] = 0xFE;
    EXPECT_TRUE(win32::ReadFixedFileInfo(value));
    value.pop_back();
    EXPECT_FALSE(win32::ReadFixedFileInfo(value));
}

}  // namespace
