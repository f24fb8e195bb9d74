#pragma once
// The registry as Windows keeps it on disk, for the stores that read its files: text in UTF-16
// little-endian (the stores hand out UTF-8, bytes that are not UTF-8 being Windows-1252) and
// times as FILETIME values (100-nanosecond intervals since 1 January 1601 UTC).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

std::u16string Utf16FromText(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string TextFromUtf16(std::u16string_view units);

// Little-endian bytes of UTF-16 units and back; an odd last byte is dropped.
std::vector<std::uint8_t> BytesOfUnits(std::u16string_view units);
std::u16string UnitsOfBytes(std::span<const std::uint8_t> bytes);

// The data of a value as Windows keeps it (the string types as UTF-16, NULs included, every
// other type as it is) and as the stores keep it.
std::vector<std::uint8_t> WindowsData(std::uint32_t type, std::span<const std::uint8_t> storeData);
std::vector<std::uint8_t> StoreData(std::uint32_t type, std::span<const std::uint8_t> windowsData);

// The host's clock as a FILETIME, for the last-write times of keys and files.
std::uint64_t FiletimeNow();

}  // namespace registry
