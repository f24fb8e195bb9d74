// Reading host files must give exactly what reading the same bytes from memory gives, wherever
// the structures fall relative to the pages the file reader caches.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/win32/version/VersionFile.h"
#include "tools/imagewriter/ImageWriter.h"

namespace {

using imagewriter::Format;

class VersionFile : public testing::Test {
  protected:
    VersionFile() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velto-versionfile-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            dir_ = pattern;
        }
    }
    ~VersionFile() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    void ExpectSameAsMemory(const std::vector<std::uint8_t>& bytes, const std::string& what) {
        const auto path = dir_ / "image.bin";
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        const auto fromFile = win32::LoadVersionResourceFromFile(path);
        const auto fromMemory = win32::LoadVersionResource(bytes);
        EXPECT_EQ(fromFile.error, fromMemory.error) << what;
        ASSERT_EQ(fromFile.resource.has_value(), fromMemory.resource.has_value()) << what;
        if (fromFile.resource) {
            EXPECT_EQ(fromFile.resource->block, fromMemory.resource->block) << what;
        }
        ++compared_;
    }

    std::filesystem::path dir_;
    int compared_ = 0;
};

TEST_F(VersionFile, SameAsMemoryWhereverTheDataFalls) {
    imagewriter::VersionInfo info;
    info.tables.push_back(imagewriter::StringTable{
        0x0409, 0x04B0, {{"CompanyName", "Korvane"}, {"Comments", std::string(3000, 'c')}}, ""});
    for (const Format format : {Format::Pe32, Format::Pe32Plus, Format::Ne}) {
        // Data of an earlier resource pushes the version block across page boundaries.
        for (std::size_t padding = 0; padding < 9000; padding += 1013) {
            imagewriter::ImageSpec shape = imagewriter::VersionImage(info, format);
            imagewriter::Resource data;
            data.type = std::uint16_t{10};
            data.data.assign(padding + 1, 0x5A);
            shape.resources.insert(shape.resources.begin(), data);
            const auto image = imagewriter::BuildImage(shape);
            const std::string what =
                std::to_string(static_cast<int>(format)) + "/" + std::to_string(padding);
            ExpectSameAsMemory(image.bytes, what);
            for (const std::size_t cut :
                 {std::size_t{image.layout.data.back()} + 1, image.bytes.size() - 1,
                  std::size_t{4096}, std::size_t{4097}}) {
                if (cut < image.bytes.size()) {
                    ExpectSameAsMemory(std::vector<std::uint8_t>(
                                           image.bytes.begin(),
                                           image.bytes.begin() + static_cast<std::ptrdiff_t>(cut)),
                                       what + " cut at " + std::to_string(cut));
                }
            }
        }
    }
    EXPECT_GT(compared_, 100);
}

TEST_F(VersionFile, SameAsMemoryForDamagedImages) {
    imagewriter::VersionInfo info;
    info.tables.push_back(imagewriter::StringTable{0x0409, 0x04B0, {{"CompanyName", "x"}}, ""});
    for (const Format format : {Format::Pe32, Format::Pe32Plus, Format::Ne, Format::Le}) {
        const auto image = imagewriter::BuildImage(imagewriter::VersionImage(info, format));
        for (int c = 0; c <= static_cast<int>(imagewriter::Corruption::HugeAlignmentShift); ++c) {
            try {
                ExpectSameAsMemory(
                    imagewriter::Corrupt(image, static_cast<imagewriter::Corruption>(c)),
                    std::to_string(static_cast<int>(format)) + " damage " + std::to_string(c));
            } catch (const std::invalid_argument&) {
                // The damage does not apply to this format.
            }
        }
    }
    EXPECT_GT(compared_, 30);
}

TEST_F(VersionFile, CachedPagesGiveTheFileBytesInAnyOrder) {
    std::vector<std::uint8_t> bytes(5 * 4096 + 123);
    std::mt19937 rng(7);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(rng());
    }
    const auto path = dir_ / "random.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    win32::FileImageSource source(fd, bytes.size());
    // Jumps back and forth over more pages than are cached, across page boundaries, up to
    // the last partial page, and reads too large for the cache.
    const std::pair<std::size_t, std::size_t> reads[] = {
        {0, 64},       {4090, 12},   {20480, 100}, {0, 2},      {8191, 2},
        {12000, 8000}, {4096, 4096}, {20600, 3},   {16380, 8},  {0, bytes.size()},
        {20603, 0},    {100, 4000},  {4095, 1},    {20000, 603}};
    for (const auto& [offset, length] : reads) {
        std::vector<std::uint8_t> out(length, 0xEE);
        ASSERT_TRUE(source.Read(offset, out)) << offset << "+" << length;
        EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + offset))
            << offset << "+" << length;
    }
    for (int i = 0; i < 2000; ++i) {
        const std::size_t offset = rng() % bytes.size();
        const std::size_t length = rng() % std::min<std::size_t>(300, bytes.size() - offset);
        std::vector<std::uint8_t> out(length);
        ASSERT_TRUE(source.Read(offset, out));
        ASSERT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + offset)) << offset;
    }
    std::vector<std::uint8_t> past(10);
    EXPECT_FALSE(source.Read(bytes.size() - 5, past));
    EXPECT_FALSE(source.Read(bytes.size() + 1, std::span(past).first(0)));
    EXPECT_EQ(source.Error(), 0);

    // A file that shrinks after it was opened ends the read instead of yielding zeros.
    std::filesystem::resize_file(path, 3 * 4096);
    win32::FileImageSource shrunk(fd, bytes.size());
    std::vector<std::uint8_t> tail(50);
    EXPECT_FALSE(shrunk.Read(4 * 4096 + 10, tail));
    EXPECT_FALSE(shrunk.Read(3 * 4096 - 10, tail));
    EXPECT_EQ(shrunk.Error(), 0);
    ::close(fd);
}

TEST_F(VersionFile, ReadErrorsAreKeptForTheCaller) {
    win32::FileImageSource source(-1, 1000);
    std::vector<std::uint8_t> out(10);
    EXPECT_FALSE(source.Read(0, out));
    EXPECT_EQ(source.Error(), EBADF);
}

}  // namespace
