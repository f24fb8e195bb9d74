#pragma once
// The base block of a registry hive file (regf), the first 4096 bytes, all little-endian:
//
//   0 "regf"   4 primary sequence   8 secondary sequence   12 last written (FILETIME)
//   20 major version (1)   24 minor version (3, 5, 6)   28 file type (0 hive, 1 and 6 logs)
//   32 format (1)   36 root cell offset   40 size of the hive bins   44 clustering factor (1)
//   48 file name (UTF-16, 64 bytes)   508 checksum: XOR of the 127 dwords before it
//
// Windows raises the primary sequence before it writes a hive and the secondary one after:
// unequal numbers mean a write that did not finish. Windows stores a checksum that would be 0
// as 1 and one that would be 0xFFFFFFFF as 0xFFFFFFFE, where libhivex and libregf compare the
// XOR as it is; a header sealed here never has such a checksum, so every reader agrees.
//
// Offsets inside the hive (cells) count from the first hive bin at file offset 4096. A bin
// starts "hbin", its offset, its size (a multiple of 4096); a cell is its size (negative while
// in use) and its data.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace offline {

inline constexpr std::size_t kBaseBlockSize = 4096;
inline constexpr std::size_t kChecksumOffset = 508;
// The smallest hive libhivex opens: the base block and one bin.
inline constexpr std::size_t kSmallestHive = 8192;
// Minor versions from 4 on keep values longer than this in "db" records of several cells.
inline constexpr std::size_t kLongestSingleCellValue = 16344;
inline constexpr std::uint32_t kFirstBigDataMinor = 4;

struct RegfHeader {
    std::uint32_t primarySequence = 0;
    std::uint32_t secondarySequence = 0;
    std::uint64_t lastWritten = 0;
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t fileType = 0;
    std::uint32_t rootCell = 0;
    std::uint32_t binsSize = 0;
    std::uint32_t storedChecksum = 0;
    // The XOR of the dwords before the checksum.
    std::uint32_t computedChecksum = 0;

    // As libhivex compares it, or in Windows' form of the two special values.
    bool checksumValid() const;
};

// nullopt when the bytes are shorter than the checksum or do not start "regf".
std::optional<RegfHeader> ReadRegfHeader(std::span<const std::uint8_t> bytes);

std::uint32_t RegfChecksum(std::span<const std::uint8_t> baseBlock);

// Sets the last-written time and the checksum of a base block (at least 512 bytes). A time
// whose checksum would be 0 or 0xFFFFFFFF is moved on by a tick.
void SealBaseBlock(std::span<std::uint8_t> baseBlock, std::uint64_t filetime);

// An empty hive with one key, `rootName`, that libhivex opens and writes into: the base block,
// one bin holding the root key, its security descriptor (full access for SYSTEM and the
// Administrators, reading for Users, inherited by every key made below it) and the free rest.
std::vector<std::uint8_t> EmptyHive(std::string_view rootName, std::uint32_t minor,
                                    std::uint64_t filetime);

std::uint32_t ReadLe32(std::span<const std::uint8_t> bytes, std::size_t at);
void WriteLe32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);

}  // namespace offline
