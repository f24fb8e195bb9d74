#pragma once
// Finding and loading the version resource of an executable image: PE32, PE32+, 16-bit NE
// and LE (virtual device drivers). LX images (OS/2 2.x) carry no Windows resources.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/win32/version/VersionImage.h"

namespace win32 {

struct VersionResource {
    std::vector<std::uint8_t> block;  // the resource's bytes: a version block
    bool sixteenBitLayout = false;    // from an NE or LE image: 8-bit text
};

struct VersionLoadResult {
    std::optional<VersionResource> resource;
    std::uint32_t error = 0;  // the Win32 error code when there is no resource
};

// What kind of executable image a file is, and for which processor: enough to tell copies of
// one name apart that no program of the other kind can load (a PE32+ and a PE32 library, a
// 16-bit NE one and either).
enum class ImageFormat : std::uint8_t { NotAnImage, PE, NE, LE };
struct ImageMachine {
    ImageFormat format = ImageFormat::NotAnImage;
    // The Machine field of a PE image's file header (0x014C x86, 0x8664 x64, 0xAA64 ARM64,
    // ...); 0 for the other formats.
    std::uint16_t machine = 0;

    bool operator==(const ImageMachine&) const = default;
};

// Anything that is not an MZ file whose new header is PE, NE or LE (LX images too, and
// damaged headers) is NotAnImage.
ImageMachine ReadImageMachine(ImageSource& image);

// The version block is at most 64 KiB (its length is a WORD); a resource claiming more is
// read only that far.
inline constexpr std::uint32_t kMaxVersionBlock = 0x10000;

// Of several RT_VERSION resources, the one Windows loads on an English (US) system: name 1,
// language neutral, else 0x0409, else 0x0009, else the first listed. Anything malformed
// (truncated headers, offsets or sizes past the end, cyclic resource trees, an empty or
// overlong root block) gives no resource with ERROR_BAD_FORMAT; a file that is not an
// executable image, or has no resources, ERROR_RESOURCE_DATA_NOT_FOUND; an image without
// RT_VERSION, ERROR_RESOURCE_TYPE_NOT_FOUND; without name 1, ERROR_RESOURCE_NAME_NOT_FOUND.
VersionLoadResult LoadVersionResource(ImageSource& image);
VersionLoadResult LoadVersionResource(std::span<const std::uint8_t> image);

// The size GetFileVersionInfoSizeA reports for a resource: Windows leaves room beside the
// block for the text it converts between code pages.
std::uint32_t VersionInfoSize(const VersionResource& resource);

}  // namespace win32
