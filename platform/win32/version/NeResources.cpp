// RT_VERSION lookup in 16-bit NE images.
//
// The resource table (its offset is the WORD at 0x24 of the NE header, relative to that
// header) starts with a WORD alignment shift, then TYPEINFO records {WORD type, WORD count,
// DWORD reserved} each followed by `count` NAMEINFO records of 12 bytes {WORD offset,
// WORD length (both in units of 1 << shift), WORD flags, WORD id, DWORD reserved}; a type of
// zero ends the list. Numbered types and names carry the high bit.
#include <algorithm>
#include <array>

#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionImage.h"
#include "platform/win32/version/VersionTypes.h"

namespace win32 {
namespace {

constexpr std::size_t kNeHeaderSize = 64;
// The table's offset is a WORD, so it cannot reach much past 64 KiB of the header.
constexpr std::uint64_t kMaxTableSize = 0x10000;
// Larger shifts would place resources beyond 4 GiB; no linker wrote them.
constexpr std::uint16_t kMaxShift = 16;
constexpr std::uint16_t kNumbered = 0x8000;

}  // namespace

ResourceLookup FindNeVersionResource(ImageSource& image, std::uint64_t neOffset) {
    const auto fail = [](std::uint32_t error) { return ResourceLookup{{}, 0, error}; };
    std::array<std::uint8_t, kNeHeaderSize> header;
    if (!image.Read(neOffset, header)) {
        return fail(ERROR_BAD_FORMAT);
    }
    const std::uint16_t tableOffset = ReadU16(header, 0x24);
    const std::uint16_t residentNames = ReadU16(header, 0x26);
    if (tableOffset == residentNames) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    // The resident-name table follows the resource table in every linker's layout.
    const std::uint64_t start = neOffset + tableOffset;
    std::uint64_t end = residentNames > tableOffset ? neOffset + residentNames : image.Size();
    end = std::min({end, image.Size(), start + kMaxTableSize});
    if (start >= end) {
        return fail(ERROR_BAD_FORMAT);
    }
    std::vector<std::uint8_t> table(end - start);
    if (!image.Read(start, table) || table.size() < 2) {
        return fail(ERROR_BAD_FORMAT);
    }
    const std::uint16_t shift = ReadU16(table, 0);
    if (shift > kMaxShift) {
        return fail(ERROR_BAD_FORMAT);
    }
    bool versionType = false;
    for (std::size_t at = 2;;) {
        if (table.size() - at < 2) {
            return fail(ERROR_BAD_FORMAT);
        }
        const std::uint16_t type = ReadU16(table, at);
        if (type == 0) {
            break;
        }
        if (table.size() - at < 8) {
            return fail(ERROR_BAD_FORMAT);
        }
        const std::uint16_t count = ReadU16(table, at + 2);
        at += 8;
        if ((table.size() - at) / 12 < count) {
            return fail(ERROR_BAD_FORMAT);
        }
        if (type == (kNumbered | RT_VERSION)) {
            versionType = true;
            for (std::size_t i = 0; i < count; ++i) {
                const auto name = std::span(table).subspan(at + 12 * i, 12);
                if (ReadU16(name, 6) != (kNumbered | VS_VERSION_INFO)) {
                    continue;
                }
                const std::uint64_t offset = std::uint64_t{ReadU16(name, 0)} << shift;
                const std::uint64_t size = std::uint64_t{ReadU16(name, 2)} << shift;
                if (size == 0 || offset >= image.Size()) {
                    return fail(ERROR_BAD_FORMAT);
                }
                // The length is rounded up to the alignment, and a file may end before the
                // padding of its last resource; the block's own length decides what counts.
                const std::uint64_t present = std::min(size, image.Size() - offset);
                return ResourceLookup{offset, static_cast<std::uint32_t>(present), 0};
            }
        }
        at += 12 * std::size_t{count};
    }
    return fail(versionType ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
}

}  // namespace win32
