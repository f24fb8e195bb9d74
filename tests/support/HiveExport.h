#pragma once
// A hive file as two readers no one here wrote read it: hivexregedit --export (libhivex's Perl
// tool, whose REGEDIT4-style text holds every value's type and bytes) and regfexport
// (libregf's, which checks the format on its own terms, the "db" records of long values
// among them).

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ExportedValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;  // as the hive holds it (strings in UTF-16)
    bool operator==(const ExportedValue&) const = default;
};

struct HiveExport {
    // By key path below the root ("" for the root, "Select", "ControlSet001\Control"), then
    // by value name ("" for the default value).
    std::map<std::string, std::map<std::string, ExportedValue>> keys;
    // Empty when the reader read the whole hive.
    std::string error;

    const ExportedValue* Find(const std::string& key, const std::string& name) const;
};

HiveExport ExportWithHivexregedit(const std::filesystem::path& hive);

// regfexport's whole output; `error` set when it failed or reported a damage.
struct RegfExport {
    std::string text;
    std::string error;
};
RegfExport ExportWithRegfexport(const std::filesystem::path& hive);

// Bytes of UTF-16LE text with its closing NUL, as a hive keeps a REG_SZ.
std::vector<std::uint8_t> Utf16z(const std::u16string& text);

}  // namespace testsupport
