// The version resource of a virtual device driver (LE image).
//
// LE images have no resource tree for Windows resources; the header of a Windows driver
// instead points at one resource in the layout of a 16-bit resource file:
//   BYTE 0xFF, WORD type, BYTE 0xFF, WORD name, WORD flags, DWORD size, then `size` bytes.
// The version block inside is in the 16-bit layout (8-bit text).
#include <array>

#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionImage.h"
#include "platform/win32/version/VersionTypes.h"

namespace win32 {
namespace {

constexpr std::size_t kLeHeaderSize = 0xC4;
constexpr std::size_t kResourceOffsetAt = 0xB8;  // e32_winresoff, a file offset
constexpr std::size_t kResourceLengthAt = 0xBC;  // e32_winreslen
constexpr std::size_t kRecordHeader = 12;

}  // namespace

ResourceLookup FindLeVersionResource(ImageSource& image, std::uint64_t leOffset) {
    const auto fail = [](std::uint32_t error) { return ResourceLookup{{}, 0, error}; };
    std::array<std::uint8_t, kLeHeaderSize> header;
    if (!image.Read(leOffset, header)) {
        return fail(ERROR_BAD_FORMAT);
    }
    const std::uint32_t offset = ReadU32(header, kResourceOffsetAt);
    const std::uint32_t length = ReadU32(header, kResourceLengthAt);
    if (length == 0) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    std::array<std::uint8_t, kRecordHeader> record;
    if (length < record.size() || !image.Read(offset, record) || record[0] != 0xFF ||
        record[3] != 0xFF) {
        return fail(ERROR_BAD_FORMAT);
    }
    if (ReadU16(record, 1) != RT_VERSION) {
        return fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    if (ReadU16(record, 4) != VS_VERSION_INFO) {
        return fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    const std::uint32_t size = ReadU32(record, 8);
    const std::uint64_t data = std::uint64_t{offset} + kRecordHeader;
    if (size == 0 || size > length - kRecordHeader || data > image.Size() ||
        image.Size() - data < size) {
        return fail(ERROR_BAD_FORMAT);
    }
    return ResourceLookup{data, size, 0};
}

}  // namespace win32
