// Finding the version resource in written PE32, PE32+ and NE images, and refusing damaged ones.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/win32/version/VersionBlock.h"
#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionResource.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::BuildImage;
using imagewriter::BuildVersionBlock;
using imagewriter::Corruption;
using imagewriter::Format;
using imagewriter::ImageSpec;
using imagewriter::Resource;
using imagewriter::StringTable;
using imagewriter::VersionInfo;
using win32::LoadVersionResource;

VersionInfo InfoWithCompany(const std::string& company, std::uint16_t language = 0x0409) {
    VersionInfo info;
    info.tables.push_back(StringTable{language, 0x04B0, {{"CompanyName", company}}, ""});
    return info;
}

// The CompanyName of the resource an image yields, read through its first translation.
std::string CompanyOf(const std::vector<std::uint8_t>& image) {
    const auto loaded = LoadVersionResource(image);
    if (!loaded.resource) {
        return "error " + std::to_string(loaded.error);
    }
    const auto& block = loaded.resource->block;
    const auto translation = win32::QueryVersionBlock(block, "\\VarFileInfo\\Translation");
    if (!translation || translation->bytes.size() < 4) {
        return "no translation";
    }
    char key[9];
    std::snprintf(key, sizeof key, "%02X%02X%02X%02X", translation->bytes[1], translation->bytes[0],
                  translation->bytes[3], translation->bytes[2]);
    const auto value =
        win32::QueryVersionBlock(block, std::string("\\StringFileInfo\\") + key + "\\CompanyName");
    return value ? value->Text() : "no value";
}

Resource VersionResource(std::uint16_t language, const std::string& company,
                         imagewriter::ResourceId name = std::uint16_t{1}) {
    Resource r;
    r.name = std::move(name);
    r.language = language;
    r.data = BuildVersionBlock(InfoWithCompany(company, language));
    return r;
}

class PeFormats : public testing::TestWithParam<Format> {};

TEST_P(PeFormats, LanguageChosenAsOnAnEnglishSystem) {
    struct Case {
        std::vector<std::uint16_t> languages;
        std::uint16_t chosen;
    };
    const Case cases[] = {
        {{0x0409}, 0x0409},
        {{0x0407, 0x0000, 0x0409}, 0x0000},
        {{0x0407, 0x0409, 0x0009}, 0x0409},
        {{0x040C, 0x0009, 0x0809}, 0x0009},
        {{0x0407, 0x040C}, 0x0407},
        {{0x0C09, 0x0809}, 0x0809},  // English, but neither US nor plain: the first listed
        {{0x0411, 0x0400}, 0x0400},  // the user's default is not neutral
    };
    for (const Case& c : cases) {
        ImageSpec shape;
        shape.format = GetParam();
        for (const std::uint16_t language : c.languages) {
            shape.resources.push_back(
                VersionResource(language, "lang " + std::to_string(language)));
        }
        EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), "lang " + std::to_string(c.chosen))
            << "chosen " << c.chosen;
    }
}

TEST_P(PeFormats, OnlyName1Counts) {
    struct Case {
        const char* what;
        std::vector<Resource> resources;
        std::string expected;
    };
    Resource otherType;
    otherType.type = std::uint16_t{24};  // a manifest
    otherType.data = {'<', 'x', '/', '>'};
    Resource namedType = otherType;
    namedType.type = std::string("CUSTOM");
    const Case cases[] = {
        {"name 2 before name 1",
         {VersionResource(0x0409, "two", std::uint16_t{2}), VersionResource(0x0409, "one")},
         "one"},
        {"named entry beside name 1",
         {VersionResource(0x0409, "named", std::string("VS_VERSION_INFO")),
          VersionResource(0x0409, "one")},
         "one"},
        {"among other types", {otherType, namedType, VersionResource(0x0409, "one")}, "one"},
        {"only name 2", {VersionResource(0x0409, "two", std::uint16_t{2})}, "error 1814"},
        {"only a named entry",
         {VersionResource(0x0409, "named", std::string("VS_VERSION_INFO"))},
         "error 1814"},
        {"no version type", {otherType, namedType}, "error 1813"},
        {"no resources at all", {}, "error 1812"},
    };
    for (const Case& c : cases) {
        ImageSpec shape;
        shape.format = GetParam();
        shape.resources = c.resources;
        EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), c.expected) << c.what;
    }
}

TEST_P(PeFormats, PaddingAfterTheResourcesIsNeverRead) {
    // Readers fetch what they walk, so an image of several megabytes costs a few pages.
    class CountingSource final : public win32::ImageSource {
      public:
        explicit CountingSource(const std::vector<std::uint8_t>& b) : inner_(b) {}
        std::uint64_t Size() const override { return inner_.Size(); }
        bool Read(std::uint64_t offset, std::span<std::uint8_t> out) override {
            for (std::uint64_t page = offset / 4096; page <= (offset + out.size() - 1) / 4096;
                 ++page) {
                pages.insert(page);
            }
            bytes += out.size();
            return inner_.Read(offset, out);
        }
        std::set<std::uint64_t> pages;
        std::size_t bytes = 0;

      private:
        win32::MemoryImageSource inner_;
    };
    ImageSpec shape = imagewriter::VersionImage(InfoWithCompany("big"), GetParam());
    shape.minimumSize = 8 << 20;
    const auto image = BuildImage(shape);
    ASSERT_GE(image.bytes.size(), std::size_t{8} << 20);
    CountingSource source(image.bytes);
    const auto loaded = LoadVersionResource(source);
    ASSERT_TRUE(loaded.resource);
    EXPECT_LE(source.pages.size(), 3u);
    EXPECT_LE(source.bytes, 2048u);
}

INSTANTIATE_TEST_SUITE_P(Pe, PeFormats, testing::Values(Format::Pe32, Format::Pe32Plus),
                         [](const auto& info) {
                             return info.param == Format::Pe32 ? "Pe32" : "Pe32Plus";
                         });

TEST(VersionResource, NeImagesCarryEightBitBlocks) {
    VersionInfo info = InfoWithCompany("Caf\u00e9 \u20ac");
    info.fixed->os = win32::VOS_DOS_WINDOWS16;
    const auto image = BuildImage(imagewriter::VersionImage(info, Format::Ne));
    const auto loaded = LoadVersionResource(image.bytes);
    ASSERT_TRUE(loaded.resource) << loaded.error;
    EXPECT_TRUE(loaded.resource->sixteenBitLayout);
    EXPECT_TRUE(win32::IsVersionBlock16(loaded.resource->block));
    EXPECT_EQ(CompanyOf(image.bytes), "Caf\u00e9 \u20ac");
    const auto root = win32::QueryVersionBlock(loaded.resource->block, "\\");
    ASSERT_TRUE(root);
    EXPECT_EQ(win32::ReadFixedFileInfo(root->bytes)->dwFileOS, win32::VOS_DOS_WINDOWS16);
}

TEST(VersionResource, VirtualDeviceDriversCarryEightBitBlocks) {
    VersionInfo info = InfoWithCompany("Caf\u00e9 \u20ac");
    info.fixed->os = win32::VOS_DOS_WINDOWS32;
    info.fixed->type = win32::VFT_VXD;
    const auto image = BuildImage(imagewriter::VersionImage(info, Format::Le));
    const auto loaded = LoadVersionResource(image.bytes);
    ASSERT_TRUE(loaded.resource) << loaded.error;
    EXPECT_TRUE(loaded.resource->sixteenBitLayout);
    EXPECT_EQ(CompanyOf(image.bytes), "Caf\u00e9 \u20ac");
    const auto root = win32::QueryVersionBlock(loaded.resource->block, "\\");
    ASSERT_TRUE(root);
    EXPECT_EQ(win32::ReadFixedFileInfo(root->bytes)->dwFileType, win32::VFT_VXD);

    ImageSpec shape;
    shape.format = Format::Le;
    Resource other;
    other.type = std::uint16_t{6};
    other.data = std::vector<std::uint8_t>(20, 1);
    Resource two = other;
    two.type = win32::RT_VERSION;
    two.name = std::uint16_t{2};
    const struct {
        const char* what;
        std::vector<Resource> resources;
        std::string expected;
    } cases[] = {
        {"another type", {other}, "error 1813"},
        {"another name", {two}, "error 1814"},
        {"no resource", {}, "error 1812"},
    };
    for (const auto& c : cases) {
        shape.resources = c.resources;
        EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), c.expected) << c.what;
    }
}

TEST(VersionResource, NeNameRules) {
    ImageSpec shape;
    shape.format = Format::Ne;
    Resource two;
    two.name = std::uint16_t{2};
    two.data = BuildVersionBlock(InfoWithCompany("two"), true);
    Resource one = two;
    one.name = std::uint16_t{1};
    one.data = BuildVersionBlock(InfoWithCompany("one"), true);
    Resource icon;
    icon.type = std::string("ICONS");
    icon.data = std::vector<std::uint8_t>(40, 0x11);
    shape.resources = {icon, two, one};
    EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), "one");
    shape.resources = {icon, two};
    EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), "error 1814");
    shape.resources = {icon};
    EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), "error 1813");
    shape.resources = {};
    EXPECT_EQ(CompanyOf(BuildImage(shape).bytes), "error 1812");
}

TEST(VersionResource, FilesThatAreNoImages) {
    const auto withSignature = [](const char* sig) {
        auto image = BuildImage(imagewriter::VersionImage(InfoWithCompany("x"))).bytes;
        image[0x80] = static_cast<std::uint8_t>(sig[0]);
        image[0x81] = static_cast<std::uint8_t>(sig[1]);
        return image;
    };
    const std::string text = "just some text\r\n";
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::uint32_t error;
    };
    const Case cases[] = {
        {"empty file", {}, win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"one byte", {'M'}, win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"text", std::vector<std::uint8_t>(text.begin(), text.end()),
         win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"OS/2 2.x image", withSignature("LX"), win32::ERROR_RESOURCE_DATA_NOT_FOUND},
        {"unknown new header", withSignature("QQ"), win32::ERROR_BAD_FORMAT},
        {"PE without its NULs", withSignature("PE") /* intact */, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadVersionResource(c.bytes).error, c.error) << c.what;
    }
    auto peNoNul = withSignature("PE");
    peNoNul[0x82] = 'X';
    EXPECT_EQ(LoadVersionResource(peNoNul).error, win32::ERROR_BAD_FORMAT);
}

struct CorruptCase {
    Corruption corruption;
    Format format;
    std::uint32_t error;  // 0: still read
};

class Corrupted : public testing::TestWithParam<CorruptCase> {};

TEST_P(Corrupted, GivesNoVersionResource) {
    ImageSpec shape = imagewriter::VersionImage(InfoWithCompany("x"), GetParam().format);
    // A second type and a second language make the tree deeper than the minimum.
    Resource manifest;
    manifest.type = std::uint16_t{24};
    manifest.data = {'<', 'x', '/', '>'};
    if (GetParam().format == Format::Pe32 || GetParam().format == Format::Pe32Plus) {
        shape.resources.push_back(manifest);
        Resource german = VersionResource(0x0407, "de");
        shape.resources.push_back(german);
    }
    const auto image = BuildImage(shape);
    const auto damaged = imagewriter::Corrupt(image, GetParam().corruption);
    const auto loaded = LoadVersionResource(damaged);
    EXPECT_EQ(loaded.error, GetParam().error);
    EXPECT_EQ(loaded.resource.has_value(), GetParam().error == 0);
}

const CorruptCase kCorruptCases[] = {
    {Corruption::TruncatedDosHeader, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedDosHeader, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedNewHeader, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedNewHeader, Format::Pe32Plus, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedNewHeader, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::NewHeaderPastEnd, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::NewHeaderPastEnd, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::ResourceTableUnmapped, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::ResourceTableUnmapped, Format::Pe32Plus, win32::ERROR_BAD_FORMAT},
    {Corruption::ResourceTableUnmapped, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::HugeDirectory, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::CyclicDirectory, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::CyclicDirectory, Format::Pe32Plus, win32::ERROR_BAD_FORMAT},
    {Corruption::SelfLoopDirectory, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::DataPastEnd, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::DataPastEnd, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::HugeDataSize, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::HugeDataSize, Format::Pe32Plus, win32::ERROR_BAD_FORMAT},
    // NE lengths are rounded up to the alignment; one reaching past the end is read to the end.
    {Corruption::HugeDataSize, Format::Ne, 0},
    {Corruption::ZeroLengthRoot, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::ZeroLengthRoot, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::RootLengthPastEnd, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::RootLengthPastEnd, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedData, Format::Pe32, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedData, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::HugeAlignmentShift, Format::Ne, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedDosHeader, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedNewHeader, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::NewHeaderPastEnd, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::ResourceTableUnmapped, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::DataPastEnd, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::HugeDataSize, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::ZeroLengthRoot, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::RootLengthPastEnd, Format::Le, win32::ERROR_BAD_FORMAT},
    {Corruption::TruncatedData, Format::Le, win32::ERROR_BAD_FORMAT},
    // The root is whole; the damage shows in the lookups (see below).
    {Corruption::ZeroLengthChild, Format::Pe32, 0},
};

std::string CaseName(const testing::TestParamInfo<CorruptCase>& info) {
    static const char* const kFormats[] = {"Pe32", "Pe32Plus", "Ne", "Le"};
    static const char* const kCorruptions[] = {
        "TruncatedDosHeader", "TruncatedNewHeader", "NewHeaderPastEnd",  "ResourceTableUnmapped",
        "HugeDirectory",      "CyclicDirectory",    "SelfLoopDirectory", "DataPastEnd",
        "HugeDataSize",       "ZeroLengthRoot",     "ZeroLengthChild",   "RootLengthPastEnd",
        "TruncatedData",      "HugeAlignmentShift"};
    return std::string(kFormats[static_cast<int>(info.param.format)]) + "_" +
           kCorruptions[static_cast<int>(info.param.corruption)];
}

INSTANTIATE_TEST_SUITE_P(Images, Corrupted, testing::ValuesIn(kCorruptCases), CaseName);

TEST(VersionResource, ZeroLengthChildEndsTheLookup) {
    for (const Format format : {Format::Pe32, Format::Ne, Format::Le}) {
        const auto image = BuildImage(imagewriter::VersionImage(InfoWithCompany("x"), format));
        EXPECT_EQ(CompanyOf(imagewriter::Corrupt(image, Corruption::ZeroLengthChild)),
                  "no translation");
    }
}

TEST(VersionResource, ReportedSizeLeavesRoomForConvertedText) {
    const auto pe = LoadVersionResource(
        BuildImage(imagewriter::VersionImage(InfoWithCompany("x"), Format::Pe32)).bytes);
    ASSERT_TRUE(pe.resource);
    const auto peLength = static_cast<std::uint32_t>(pe.resource->block.size());
    EXPECT_EQ(win32::VersionInfoSize(*pe.resource), peLength * 2 + 4);

    const auto ne = LoadVersionResource(
        BuildImage(imagewriter::VersionImage(InfoWithCompany("x"), Format::Ne)).bytes);
    ASSERT_TRUE(ne.resource);
    const auto neLength = static_cast<std::uint32_t>(ne.resource->block.size());
    EXPECT_EQ(win32::VersionInfoSize(*ne.resource), (neLength - 52) * 4);

    // Without fixed info the Windows formula would fall below the block, or wrap around.
    win32::VersionResource tiny;
    tiny.sixteenBitLayout = true;
    tiny.block.resize(40);
    EXPECT_EQ(win32::VersionInfoSize(tiny), 40u);
    tiny.block.resize(60);
    EXPECT_EQ(win32::VersionInfoSize(tiny), 60u);
}

}  // namespace
