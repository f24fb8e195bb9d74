#pragma once
// The lines of Wine's registry files (system.reg, user.reg, userdef.reg), read and written as
// Wine's server reads and writes them:
//
//   WINE REGISTRY Version 2
//   ;; All keys relative to REGISTRY\\Machine
//
//   #arch=win64
//
//   [Software\\Microsoft\\Windows\\CurrentVersion] 1796695636      key, seconds since 1970
//   #time=1dd86b8d8d587ba                                            last write, FILETIME hex
//   "CommonFilesDir"="C:\\Program Files\\Common Files"               REG_SZ
//   "Path"=str(2):"%SystemRoot%\\system32"                           other string types
//   "Count"=dword:00000001                                           REG_DWORD
//   "Data"=hex:02,00,\                                               REG_BINARY, wrapped
//     00,01
//   @=hex(7):61,00,00,00                                             the default value, as hex
//
// Names and strings are UTF-16 in Wine: a character above 127 is written as \x followed by
// its hex code, control characters as C escapes (\n, \t, ...) or octal, and a backslash or
// the quote (in a key path: the brackets) with a backslash before it. A key path's names are
// joined by one escaped backslash. The store keeps names and the data of string types as
// UTF-8 (bytes that are not UTF-8 are Windows-1252), every other type as the bytes Wine has.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/WindowsForm.h"

namespace wine {

// Wine's own escaping of UTF-16 text; `quotes` are the characters that get a backslash besides
// the backslash itself ("\"" for names and strings, "[]" for key paths).
std::string EscapeUnits(std::u16string_view units, std::string_view quotes);
// Reads escaped text from `pos` up to the unescaped `end` character, which is consumed;
// nullopt when the text ends before it.
std::optional<std::u16string> UnescapeUntil(std::string_view text, std::size_t& pos, char end);

using registry::TextFromUtf16;
using registry::Utf16FromText;

// The data of a value as Wine keeps it (UTF-16 for the string types, as Windows) and back.
inline std::vector<std::uint8_t> WineData(std::uint32_t type,
                                          std::span<const std::uint8_t> storeData) {
    return registry::WindowsData(type, storeData);
}
using registry::StoreData;

struct ValueLine {
    std::string name;  // UTF-8; empty for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;  // as the store keeps it
};

// One value item: the value line and its continuation lines. nullopt for text that is no
// value Wine writes.
std::optional<ValueLine> ParseValue(std::string_view text);
// The item Wine writes for the value, with its line end.
std::string RenderValue(const ValueLine& value);

struct KeyLine {
    std::vector<std::string> names;  // UTF-8, relative to the file's root
    std::optional<std::uint32_t> seconds;
};

// "[Software\\Wine] 1796695629"; nullopt when the line is no key line.
std::optional<KeyLine> ParseKeyLine(std::string_view line);
std::string RenderKeyLine(const KeyLine& key);

// A FILETIME as the "#time=" line carries it, and the seconds since 1970 of the key line.
std::string RenderTimeLine(std::uint64_t filetime);
std::optional<std::uint64_t> ParseTimeLine(std::string_view line);
std::uint32_t SecondsOf(std::uint64_t filetime);
using registry::FiletimeNow;

}  // namespace wine
