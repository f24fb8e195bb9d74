// The writer's images must look real to any reader, not only to ours.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::BuildImage;
using imagewriter::Format;
using imagewriter::StringTable;
using imagewriter::VersionInfo;

std::uint32_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8);
}
std::uint32_t U32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return U16(b, at) | (U16(b, at + 2) << 16);
}

VersionInfo Info() {
    VersionInfo info;
    info.tables.push_back(StringTable{0x0409, 0x04B0, {{"CompanyName", "Korvane"}}, ""});
    return info;
}

class PeImages : public testing::TestWithParam<std::tuple<Format, bool, std::uint64_t>> {};

TEST_P(PeImages, HeadersAreConsistentAndAligned) {
    const auto [format, dll, minimumSize] = GetParam();
    imagewriter::ImageSpec shape = imagewriter::VersionImage(Info(), format);
    shape.dll = dll;
    shape.minimumSize = minimumSize;
    const auto b = BuildImage(shape).bytes;
    ASSERT_GE(b.size(), minimumSize);
    ASSERT_EQ(U16(b, 0), 0x5A4Du);
    const std::uint32_t pe = U32(b, 0x3C);
    ASSERT_EQ(U32(b, pe), 0x00004550u);
    EXPECT_EQ(U16(b, pe + 4), format == Format::Pe32 ? 0x014Cu : 0x8664u);
    EXPECT_EQ((U16(b, pe + 22) & 0x2000) != 0, dll);
    const std::uint32_t sections = U16(b, pe + 6);
    const std::uint32_t optional = pe + 24;
    const std::uint32_t optionalSize = U16(b, pe + 20);
    EXPECT_EQ(U16(b, optional), format == Format::Pe32 ? 0x10Bu : 0x20Bu);
    const std::uint32_t sectionAlignment = U32(b, optional + 32);
    const std::uint32_t fileAlignment = U32(b, optional + 36);
    const std::uint32_t sizeOfImage = U32(b, optional + 56);
    const std::uint32_t sizeOfHeaders = U32(b, optional + 60);
    EXPECT_EQ(sizeOfImage % sectionAlignment, 0u);
    EXPECT_EQ(sizeOfHeaders % fileAlignment, 0u);
    EXPECT_GE(sizeOfHeaders, optional + optionalSize + 40 * sections);

    std::uint32_t nextRva = sectionAlignment;
    std::uint32_t nextRaw = sizeOfHeaders;
    const std::uint32_t dirs = optional + (format == Format::Pe32 ? 96 : 112);
    bool resourcesFound = false;
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::uint32_t s = optional + optionalSize + 40 * i;
        const std::uint32_t virtualSize = U32(b, s + 8);
        const std::uint32_t rva = U32(b, s + 12);
        const std::uint32_t rawSize = U32(b, s + 16);
        const std::uint32_t raw = U32(b, s + 20);
        EXPECT_EQ(rva, nextRva) << "section " << i;
        EXPECT_EQ(raw, nextRaw) << "section " << i;
        EXPECT_EQ(rawSize % fileAlignment, 0u);
        EXPECT_LE(virtualSize, rawSize);
        nextRva = rva + (virtualSize + sectionAlignment - 1) / sectionAlignment * sectionAlignment;
        nextRaw = raw + rawSize;
        if (U32(b, dirs + 16) == rva) {
            resourcesFound = true;
            EXPECT_EQ(U32(b, dirs + 20), virtualSize);
        }
    }
    EXPECT_TRUE(resourcesFound);
    EXPECT_EQ(nextRva, sizeOfImage);
    EXPECT_EQ(nextRaw, b.size());
    const std::uint32_t entry = U32(b, optional + 16);
    EXPECT_EQ(entry, sectionAlignment) << "the entry point is the start of the code";

    // The checksum: words summed with the carries folded back, the field itself left out,
    // plus the file length.
    const std::size_t checksumAt = optional + 64;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        if (i != checksumAt && i != checksumAt + 2) {
            sum += U16(b, i);
            sum = (sum & 0xFFFF) + (sum >> 16);
        }
    }
    EXPECT_EQ(U32(b, checksumAt), sum + b.size());
}

INSTANTIATE_TEST_SUITE_P(
    Writer, PeImages,
    testing::Combine(testing::Values(Format::Pe32, Format::Pe32Plus), testing::Bool(),
                     testing::Values(std::uint64_t{0}, std::uint64_t{100000})));

TEST(ImageWriter, NeTablesLieInsideTheFile) {
    for (const std::uint64_t minimumSize : {std::uint64_t{0}, std::uint64_t{50000}}) {
        imagewriter::ImageSpec shape = imagewriter::VersionImage(Info(), Format::Ne);
        shape.minimumSize = minimumSize;
        const auto image = BuildImage(shape);
        const auto& b = image.bytes;
        EXPECT_GE(b.size(), minimumSize);
        const std::uint32_t ne = U32(b, 0x3C);
        ASSERT_EQ(U16(b, ne), 0x454Eu);
        const std::uint32_t resources = U16(b, ne + 0x24);
        const std::uint32_t residentNames = U16(b, ne + 0x26);
        EXPECT_LT(resources, residentNames);
        EXPECT_LT(U32(b, ne + 0x2C) + U16(b, ne + 0x20), b.size()) << "non-resident names";
        const std::uint32_t shift = U16(b, ne + 0x32);
        const std::uint32_t segment = ne + U16(b, ne + 0x22);
        EXPECT_LE((U16(b, segment) << shift) + U16(b, segment + 2), b.size());
        const std::uint32_t resourceShift = U16(b, ne + resources);
        const std::size_t name = image.layout.entries.at(0);
        EXPECT_EQ(U16(b, name) << resourceShift, image.layout.data.at(0));
        EXPECT_LE((U16(b, name) + U16(b, name + 2)) << resourceShift, b.size());
    }
}

TEST(ImageWriter, LeResourceRecordLiesInsideTheFile) {
    const auto image = BuildImage(imagewriter::VersionImage(Info(), Format::Le));
    const auto& b = image.bytes;
    const std::uint32_t le = U32(b, 0x3C);
    ASSERT_EQ(U16(b, le), 0x454Cu);
    const std::uint32_t record = U32(b, le + 0xB8);
    const std::uint32_t length = U32(b, le + 0xBC);
    EXPECT_LE(record + length, b.size());
    EXPECT_EQ(length, 12 + U32(b, record + 8));
    EXPECT_LT(U32(b, le + 0x80), b.size()) << "data pages";
}

TEST(ImageWriter, RefusesWhatNoImageCouldHold) {
    VersionInfo wide;
    wide.tables.push_back(StringTable{0x0411, 0x03A4, {{"CompanyName", "\u65e5\u672c"}}, ""});
    EXPECT_NO_THROW(imagewriter::BuildVersionBlock(wide, false));
    EXPECT_THROW(imagewriter::BuildVersionBlock(wide, true), std::invalid_argument);

    VersionInfo huge;
    huge.tables.push_back(StringTable{0x0409, 0x04B0, {{"Comments", std::string(40000, 'x')}}, ""});
    EXPECT_THROW(imagewriter::BuildVersionBlock(huge), std::invalid_argument);

    imagewriter::ImageSpec twice = imagewriter::VersionImage(Info());
    twice.resources.push_back(twice.resources.front());
    EXPECT_THROW(BuildImage(twice), std::invalid_argument);
    twice.format = Format::Le;
    EXPECT_THROW(BuildImage(twice), std::invalid_argument);

    VersionInfo broken;
    broken.tables.push_back(StringTable{0x0409, 0x04B0, {{"CompanyName", "\xC3("}}, ""});
    EXPECT_THROW(imagewriter::BuildVersionBlock(broken), std::invalid_argument);
}

TEST(ImageWriter, CorruptionsThatDoNotApplyAreRefused) {
    const auto ne = BuildImage(imagewriter::VersionImage(Info(), Format::Ne));
    EXPECT_THROW(imagewriter::Corrupt(ne, imagewriter::Corruption::CyclicDirectory),
                 std::invalid_argument);
    const auto pe = BuildImage(imagewriter::VersionImage(Info()));
    EXPECT_THROW(imagewriter::Corrupt(pe, imagewriter::Corruption::HugeAlignmentShift),
                 std::invalid_argument);
    EXPECT_THROW(imagewriter::Corrupt(BuildImage({}), imagewriter::Corruption::ZeroLengthRoot),
                 std::invalid_argument);
}

}  // namespace
