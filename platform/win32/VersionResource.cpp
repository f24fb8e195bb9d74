#include "platform/win32/VersionResource.h"

#include <algorithm>
#include <array>

#include "platform/win32/VersionBlock.h"
#include "platform/win32/VersionErrors.h"
#include "platform/win32/VersionTypes.h"

namespace win32 {

bool MemoryImageSource::Read(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset > bytes_.size() || bytes_.size() - offset < out.size()) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
    return true;
}

VersionLoadResult LoadVersionResource(ImageSource& image) {
    const auto fail = [](std::uint32_t error) { return VersionLoadResult{{}, error}; };
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
    ResourceLookup found;
    bool sixteenBitLayout = false;
    if (signature[0] == 'P' && signature[1] == 'E') {
        if (!image.Read(newHeader, signature) || signature[2] != 0 || signature[3] != 0) {
            return fail(ERROR_BAD_FORMAT);
        }
        found = FindPeVersionResource(image, newHeader);
    } else if (signature[0] == 'N' && signature[1] == 'E') {
        found = FindNeVersionResource(image, newHeader);
        sixteenBitLayout = true;
    } else if (signature[0] == 'L' && signature[1] == 'E') {
        found = FindLeVersionResource(image, newHeader);
        sixteenBitLayout = true;
    } else if (signature[0] == 'L' && signature[1] == 'X') {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);  // OS/2 2.x: no Windows resources
    } else {
        return fail(ERROR_BAD_FORMAT);
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
