#pragma once
// Lookups in a version block: the bytes of an RT_VERSION resource as GetFileVersionInfoA hands
// them out. A 32-bit image stores keys and text as UTF-16, a 16-bit image as 8-bit text in the
// system code page; both come back as UTF-8.
//
// Layout of every node (all little-endian, each node starts on a 4-byte boundary):
//   WORD wLength, WORD wValueLength, [WORD wType: 32-bit only, 1 = text], key + NUL,
//   padding to 4, value (wValueLength characters for text, else bytes), padding to 4, children.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/version/VersionTypes.h"

namespace win32 {

// One value found in a version block, copied out so that it outlives the block.
struct VersionValue {
    std::vector<std::uint8_t> bytes;  // as stored: binary data, or the characters of a text
    std::uint32_t length = 0;  // as Windows reports it: characters for text of a 32-bit block,
                               // else bytes; never more than `bytes` holds
    bool wide = false;         // characters are UTF-16 (a 32-bit block)

    // The value read as text, in UTF-8, up to its first NUL; nothing is trimmed.
    std::string Text() const;
};

// Windows tells the two layouts apart by the byte after the two length words: in the 16-bit
// layout it is the first character of the key, in the 32-bit layout the low byte of wType.
bool IsVersionBlock16(std::span<const std::uint8_t> block);

// True when the root node is whole: its length covers at least its header and key and lies
// inside `block`.
bool IsValidVersionBlock(std::span<const std::uint8_t> block);

// Looks up a path such as "\", "\VarFileInfo\Translation" or
// "\StringFileInfo\040904B0\CompanyName". Names match without regard to case; empty
// components are skipped, so "" names the root, whose value is the VS_FIXEDFILEINFO.
// Anything the block does not hold, or holds malformed, gives nullopt; so does every path
// when the root is not whole.
std::optional<VersionValue> QueryVersionBlock(std::span<const std::uint8_t> block,
                                              std::string_view subBlock);

// The fixed file info in a root value; nullopt when the value is shorter than the structure
// or does not carry its signature.
std::optional<VS_FIXEDFILEINFO> ReadFixedFileInfo(std::span<const std::uint8_t> value);

}  // namespace win32
