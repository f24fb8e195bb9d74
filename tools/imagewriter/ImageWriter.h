#pragma once
// Builds small, valid executable images (PE32, PE32+, 16-bit NE, LE virtual device drivers)
// that carry chosen version resources, and corrupt variants of them. Used by the tests, the fuzz
// seeds, the benchmarks and the demo machine. Text is given in UTF-8.
//
// The images look like linker output to any reader: an MZ header with a DOS stub, file and
// section alignment, a code section whose entry point returns success, a resource section laid
// out as resource compilers do (named entries before numbered ones, both sorted), a correct
// PE checksum; NE images carry a segment table, resident and non-resident name tables; LE
// images an object table, page map, name and entry tables and the driver's resource record.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/win32/version/VersionTypes.h"

namespace imagewriter {

struct Translation {
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 0x04B0;
};

struct StringEntry {
    std::string name;
    std::string value;
    // False: the stored length leaves out the terminating NUL and none is written.
    bool terminated = true;
};

struct StringTable {
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 0x04B0;
    std::vector<StringEntry> strings;
    // The table's key; empty: the language and code page as eight upper-case hex digits.
    std::string key;
};

struct FixedInfo {
    std::array<std::uint16_t, 4> fileVersion{1, 0, 0, 0};
    std::array<std::uint16_t, 4> productVersion{1, 0, 0, 0};
    std::uint32_t flagsMask = win32::VS_FFI_FILEFLAGSMASK;
    std::uint32_t flags = 0;
    std::uint32_t os = win32::VOS_NT_WINDOWS32;
    std::uint32_t type = win32::VFT_DLL;
    std::uint32_t subtype = win32::VFT2_UNKNOWN;
    std::uint64_t date = 0;
};

struct VersionInfo {
    std::optional<FixedInfo> fixed = FixedInfo{};
    std::vector<StringTable> tables;
    // False: no VarFileInfo block at all.
    bool withTranslation = true;
    // Empty: one entry per string table, in table order.
    std::vector<Translation> translations;
    // When set, stored as the Translation value instead of `translations` (odd lengths).
    std::optional<std::vector<std::uint8_t>> translationBytes;
};

// The version block in the 32-bit layout (UTF-16 text) or the 16-bit one (Windows-1252 text).
// Throws std::invalid_argument for text the 16-bit layout cannot hold or a block over 64 KiB.
std::vector<std::uint8_t> BuildVersionBlock(const VersionInfo& info, bool sixteenBit = false);

using ResourceId = std::variant<std::uint16_t, std::string>;

struct Resource {
    ResourceId type = win32::RT_VERSION;
    ResourceId name = win32::VS_VERSION_INFO;
    std::uint16_t language = 0x0409;  // PE only; NE and LE resources have no language
    std::vector<std::uint8_t> data;
};

// An LE image holds at most one resource, with numbered type and name.
enum class Format { Pe32, Pe32Plus, Ne, Le };

struct ImageSpec {
    Format format = Format::Pe32;
    bool dll = true;
    std::vector<Resource> resources;
    // An extra data section (PE) or trailing bytes (NE, LE) bring the file to at least this
    // size.
    std::uint64_t minimumSize = 0;
    std::string moduleName = "MODULE";  // NE and LE
    // PE: the signature Wine writes into the modules it installs ("Wine builtin DLL", "Wine
    // placeholder DLL"), at 0x40 over the DOS stub; empty for a program's own image.
    std::string wineSignature;
};

// An image of `format` with one version resource in `language`, the block laid out as the
// format's own (16-bit for NE and LE).
ImageSpec VersionImage(const VersionInfo& info, Format format = Format::Pe32,
                       std::uint16_t language = 0x0409);

// File offsets of what was written, for tests that damage particular structures.
struct Layout {
    std::uint32_t newHeader = 0;             // the PE or NE header
    std::uint32_t optionalHeader = 0;        // PE
    std::uint32_t sectionTable = 0;          // PE
    std::uint32_t resourceTable = 0;         // PE: the root directory; NE: the resource table
    std::vector<std::uint32_t> directories;  // PE: directory tables, root first
    // Per resource, in the order given: PE its data entry, NE its NAMEINFO record, LE its
    // resource record.
    std::vector<std::uint32_t> entries;
    std::vector<std::uint32_t> data;  // per resource, in the order given
};

struct Image {
    Format format = Format::Pe32;
    std::vector<std::uint8_t> bytes;
    Layout layout;
};

// Throws std::invalid_argument for a shape no real image could have.
Image BuildImage(const ImageSpec& shape);

enum class Corruption {
    TruncatedDosHeader,     // the file ends inside the MZ header
    TruncatedNewHeader,     // the file ends inside the PE or NE header
    NewHeaderPastEnd,       // the MZ header points past the end of the file
    ResourceTableUnmapped,  // PE: the tree lies in no section; NE, LE: past the end
    HugeDirectory,          // PE: the root directory claims 131070 entries
    CyclicDirectory,        // PE: the version type's directory leads back to the root
    SelfLoopDirectory,      // PE: the version type's directory leads to itself
    DataPastEnd,            // the first resource's data starts past the end of the file
    HugeDataSize,           // the first resource claims a size beyond the file
    ZeroLengthRoot,         // the first resource's version block has a root length of 0
    ZeroLengthChild,        // ... its first child has a length of 0
    RootLengthPastEnd,      // ... its root claims more bytes than the resource holds
    TruncatedData,          // the file ends in the middle of the first resource's data
    HugeAlignmentShift,     // NE: resource offsets shifted by 40 bits
};

// A copy of `image` damaged as named; throws std::invalid_argument when the damage does not
// apply to the image's format.
std::vector<std::uint8_t> Corrupt(const Image& image, Corruption corruption);

}  // namespace imagewriter
