#include "platform/win32/version/VersionResource.h"

#include <algorithm>
#include <array>

#include "platform/win32/version/VersionBlock.h"
#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionTypes.h"

namespace win32 {

bool MemoryImageSource::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes_.size() || bytes_.size() - offset < out.size()) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

namespace {

// Where an image's new header lies and what it is; the error code when there is none.
struct NewHeader {
    ImageFormat format = ImageFormat::NotAnImage;
    std::uint32_t offset = 0;
    std::uint32_t error = 0;
};

NewHeader FindNewHeader(ImageSource& image) {
    const auto fail = [](std::uint32_t error) {
        return NewHeader{ImageFormat::NotAnImage, 0, error};
    };
    std::array<std::uint8_t, 64> dos{};
    const auto head = std::span(dos).first(std::min<std::uint64_t>(dos.size(), image.Size()));
    if (!image.Read(0, head) || head.size() < 2 || dos[0] != 'M' || dos[1] != 'Z') {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    const std::uint32_t newHeader = ReadU32(dos, 0x3C);
    std::array<std::uint8_t, 4> signature;
    if (head.size() < dos.size() || !image.Read(newHeader, std::span(signature).first(2))) {
        return fail(ERROR_BAD_FORMAT);
    }
    if (signature[0] == 'P' && signature[1] == 'E') {
        if (!image.Read(newHeader, signature) || signature[2] != 0 || signature[3] != 0) {
            return fail(ERROR_BAD_FORMAT);
        }
        return {ImageFormat::PE, newHeader, 0};
    }
    if (signature[0] == 'N' && signature[1] == 'E') {
        return {ImageFormat::NE, newHeader, 0};
    }
    if (signature[0] == 'L' && signature[1] == 'E') {
        return {ImageFormat::LE, newHeader, 0};
    }
    if (signature[0] == 'L' && signature[1] == 'X') {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);  // OS/2 2.x: no Windows resources
    }
    return fail(ERROR_BAD_FORMAT);
}

}  // namespace

ImageMachine ReadImageMachine(ImageSource& image) {
    const NewHeader header = FindNewHeader(image);
    if (header.format != ImageFormat::PE) {
        return {header.format, 0};
    }
    // The file header follows the four signature bytes; its first field is the machine.
    std::array<std::uint8_t, 2> machine{};
    if (!image.Read(std::uint64_t{header.offset} + 4, machine)) {
        return {};
    }
    return {ImageFormat::PE, ReadU16(machine, 0)};
}

VersionLoadResult LoadVersionResource(ImageSource& image) {
    const auto fail = [](std::uint32_t error) { return VersionLoadResult{{}, error}; };
    const NewHeader header = FindNewHeader(image);
    ResourceLookup found;
    bool sixteenBitLayout = false;
    switch (header.format) {
        case ImageFormat::PE:
            found = FindPeVersionResource(image, header.offset);
            break;
        case ImageFormat::NE:
            found = FindNeVersionResource(image, header.offset);
            sixteenBitLayout = true;
            break;
        case ImageFormat::LE:
            found = FindLeVersionResource(image, header.offset);
            sixteenBitLayout = true;
            break;
        case ImageFormat::NotAnImage:
            return fail(header.error);
    }
    if (!found.offset) {
        return fail(found.error);
    }
    VersionResource resource;
    resource.sixteenBitLayout = sixteenBitLayout;
    resource.block.resize(std::min(found.size, kMaxVersionBlock));
    if (!image.Read(*found.offset, resource.block) || !IsValidVersionBlock(resource.block)) {
        return fail(ERROR_BAD_FORMAT);
    }
    return VersionLoadResult{std::move(resource), 0};
}

VersionLoadResult LoadVersionResource(std::span<const std::uint8_t> image) {
    MemoryImageSource source(image);
    return LoadVersionResource(source);
}

std::uint32_t VersionInfoSize(const VersionResource& resource) {
    const auto length = static_cast<std::uint32_t>(resource.block.size());
    if (!resource.sixteenBitLayout) {
        return length * 2 + 4;
    }
    // Windows reserves (length - fixed info) * 4 for a 16-bit block, which is less than the
    // block itself when there is no fixed info; never report less than the block.
    if (length <= VS_FIXEDFILEINFO::kSize) {
        return length;
    }
    return std::max(length, (length - VS_FIXEDFILEINFO::kSize) * 4);
}

}  // namespace win32
