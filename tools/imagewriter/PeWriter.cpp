// PE32 and PE32+ images: headers, a code section, the resource section, optional padding.
#include <algorithm>
#include <map>
#include <stdexcept>

#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"
#include "tools/imagewriter/Writers.h"

namespace imagewriter {
namespace {

constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint32_t kNewHeader = 0x80;
// A fixed link time keeps the images reproducible: 1 Jan 2001.
constexpr std::uint32_t kTimeDateStamp = 0x3A4FC880;

// Resource ids sort as linkers sort them: names (case-insensitively) before numbers.
struct IdLess {
    bool operator()(const ResourceId& a, const ResourceId& b) const {
        if (a.index() != b.index()) {
            return a.index() > b.index();
        }
        if (const auto* n = std::get_if<std::uint16_t>(&a)) {
            return *n < std::get<std::uint16_t>(b);
        }
        return UpperUtf16(std::get<std::string>(a)) < UpperUtf16(std::get<std::string>(b));
    }
    static std::u16string UpperUtf16(const std::string& s) {
        std::u16string u = EncodeUtf16(s);
        for (char16_t& c : u) {
            if (c >= u'a' && c <= u'z') {
                c = static_cast<char16_t>(c - 0x20);
            }
        }
        return u;
    }
};

struct Section {
    std::string name;
    std::vector<std::uint8_t> data;
    std::uint32_t virtualSize = 0;
    std::uint32_t characteristics = 0;
    std::uint32_t rva = 0;
    std::uint32_t fileOffset = 0;
};

// The resource section as resource compilers lay it out: every directory table, then the
// data entries, then the name strings, then the data. Offsets are relative to the section.
struct ResourceSection {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> directories;
    std::vector<std::uint32_t> entries;
    std::vector<std::uint32_t> data;
};

ResourceSection BuildResources(const std::vector<Resource>& resources, std::uint32_t rva) {
    using Languages = std::map<std::uint16_t, std::size_t>;  // language -> resource index
    using Names = std::map<ResourceId, Languages, IdLess>;
    std::map<ResourceId, Names, IdLess> tree;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const Resource& r = resources[i];
        if (!tree[r.type][r.name].emplace(r.language, i).second) {
            throw std::invalid_argument("two resources with the same type, name and language");
        }
    }
    const auto directorySize = [](std::size_t entries) { return 16 + 8 * entries; };
    // Offsets of every table before anything is written.
    std::uint32_t at = static_cast<std::uint32_t>(directorySize(tree.size()));
    std::vector<std::uint32_t> typeDirs, nameDirs;
    for (const auto& [type, names] : tree) {
        typeDirs.push_back(at);
        at += static_cast<std::uint32_t>(directorySize(names.size()));
    }
    for (const auto& [type, names] : tree) {
        for (const auto& [name, languages] : names) {
            nameDirs.push_back(at);
            at += static_cast<std::uint32_t>(directorySize(languages.size()));
        }
    }
    ResourceSection section;
    section.entries.resize(resources.size());
    section.data.resize(resources.size());
    for (const auto& [type, names] : tree) {
        for (const auto& [name, languages] : names) {
            for (const auto& [language, index] : languages) {
                section.entries[index] = at;
                at += 16;
            }
        }
    }
    std::map<std::string, std::uint32_t> strings;
    for (const auto& [type, names] : tree) {
        if (const auto* s = std::get_if<std::string>(&type)) {
            strings.emplace(*s, 0);
        }
        for (const auto& [name, languages] : names) {
            if (const auto* s = std::get_if<std::string>(&name)) {
                strings.emplace(*s, 0);
            }
        }
    }
    for (auto& [text, offset] : strings) {
        offset = at;
        at += static_cast<std::uint32_t>(2 + 2 * EncodeUtf16(text).size());
        at = static_cast<std::uint32_t>(AlignUp(at, 2));
    }
    for (std::size_t i = 0; i < resources.size(); ++i) {
        at = static_cast<std::uint32_t>(AlignUp(at, 8));
        section.data[i] = at;
        at += static_cast<std::uint32_t>(resources[i].data.size());
    }

    ByteWriter out;
    out.Zeros(at);
    const auto idField = [&](const ResourceId& id) -> std::uint32_t {
        if (const auto* n = std::get_if<std::uint16_t>(&id)) {
            return *n;
        }
        return 0x80000000u | strings.at(std::get<std::string>(id));
    };
    const auto writeDirectory = [&](std::uint32_t offset, std::size_t named, std::size_t count) {
        out.PutU16(offset + 12, static_cast<std::uint16_t>(named));
        out.PutU16(offset + 14, static_cast<std::uint16_t>(count - named));
        section.directories.push_back(offset);
    };
    const auto countNamed = [](const auto& map) {
        return static_cast<std::size_t>(std::count_if(map.begin(), map.end(), [](const auto& kv) {
            return std::holds_alternative<std::string>(kv.first);
        }));
    };
    writeDirectory(0, countNamed(tree), tree.size());
    std::size_t typeIndex = 0, nameIndex = 0, slot = 0;
    for (const auto& [type, names] : tree) {
        out.PutU32(16 + 8 * slot, idField(type));
        out.PutU32(16 + 8 * slot + 4, 0x80000000u | typeDirs[typeIndex]);
        ++slot;
        const std::uint32_t typeDir = typeDirs[typeIndex++];
        writeDirectory(typeDir, countNamed(names), names.size());
        std::size_t nameSlot = 0;
        for (const auto& [name, languages] : names) {
            const std::uint32_t nameDir = nameDirs[nameIndex++];
            out.PutU32(typeDir + 16 + 8 * nameSlot, idField(name));
            out.PutU32(typeDir + 16 + 8 * nameSlot + 4, 0x80000000u | nameDir);
            ++nameSlot;
            writeDirectory(nameDir, 0, languages.size());
            std::size_t languageSlot = 0;
            for (const auto& [language, index] : languages) {
                out.PutU32(nameDir + 16 + 8 * languageSlot, language);
                out.PutU32(nameDir + 16 + 8 * languageSlot + 4, section.entries[index]);
                ++languageSlot;
                out.PutU32(section.entries[index], rva + section.data[index]);
                out.PutU32(section.entries[index] + 4,
                           static_cast<std::uint32_t>(resources[index].data.size()));
                std::copy(resources[index].data.begin(), resources[index].data.end(),
                          out.Bytes().begin() + section.data[index]);
            }
        }
    }
    for (const auto& [text, offset] : strings) {
        const std::u16string units = EncodeUtf16(text);
        out.PutU16(offset, static_cast<std::uint16_t>(units.size()));
        for (std::size_t i = 0; i < units.size(); ++i) {
            out.PutU16(offset + 2 + 2 * i, units[i]);
        }
    }
    section.bytes = std::move(out.Bytes());
    return section;
}

// The PE checksum: 16-bit one's-complement-style sum of the file with the checksum field
// taken as zero, plus the file's length.
std::uint32_t Checksum(const std::vector<std::uint8_t>& bytes, std::size_t checksumAt) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        if (i == checksumAt || i == checksumAt + 2) {
            continue;
        }
        std::uint32_t word = bytes[i];
        if (i + 1 < bytes.size()) {
            word |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        }
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + bytes.size());
}

}  // namespace

Image BuildPeImage(const ImageSpec& shape) {
    const bool plus = shape.format == Format::Pe32Plus;
    const std::uint16_t optionalSize = plus ? 240 : 224;
    std::vector<Section> sections;

    Section text{".text", {}, 0, 0x60000020};
    if (shape.dll) {
        // DllMain: return TRUE (stdcall pops three arguments on x86).
        text.data = plus ? std::vector<std::uint8_t>{0xB8, 1, 0, 0, 0, 0xC3}
                         : std::vector<std::uint8_t>{0xB8, 1, 0, 0, 0, 0xC2, 0x0C, 0};
    } else {
        text.data = {0x31, 0xC0, 0xC3};  // return 0
    }
    sections.push_back(std::move(text));
    const bool hasResources = !shape.resources.empty();
    if (hasResources) {
        sections.push_back(Section{".rsrc", {}, 0, 0x40000040});
    }

    const std::uint32_t headersEnd =
        kNewHeader + 24 + optionalSize + 40 * static_cast<std::uint32_t>(sections.size() + 1);
    const auto headersSize = static_cast<std::uint32_t>(AlignUp(headersEnd, kFileAlignment));
    std::uint32_t rva = kSectionAlignment;
    std::uint32_t fileOffset = headersSize;
    ResourceSection resources;
    for (Section& s : sections) {
        s.rva = rva;
        if (s.name == ".rsrc") {
            resources = BuildResources(shape.resources, rva);
            s.data = resources.bytes;
        }
        s.virtualSize = static_cast<std::uint32_t>(s.data.size());
        s.fileOffset = fileOffset;
        fileOffset += static_cast<std::uint32_t>(AlignUp(s.data.size(), kFileAlignment));
        rva += static_cast<std::uint32_t>(
            AlignUp(std::max<std::size_t>(s.data.size(), 1), kSectionAlignment));
    }
    if (shape.minimumSize > fileOffset) {
        Section pad{".data", {}, 0, 0xC0000040};
        pad.data.resize(AlignUp(shape.minimumSize - fileOffset, kFileAlignment));
        pad.virtualSize = static_cast<std::uint32_t>(pad.data.size());
        pad.rva = rva;
        pad.fileOffset = fileOffset;
        rva += static_cast<std::uint32_t>(AlignUp(pad.data.size(), kSectionAlignment));
        sections.push_back(std::move(pad));
    }
    const std::uint32_t imageSize = rva;

    Image image;
    image.format = shape.format;
    ByteWriter out;
    WriteDosHeader(out, kNewHeader, "This program cannot be run in DOS mode.\r\r\n$");
    if (!shape.wineSignature.empty()) {
        // As Wine's build tool marks its modules: over the first 32 bytes of the DOS stub.
        std::vector<std::uint8_t>& bytes = out.Bytes();
        std::fill(bytes.begin() + 0x40, bytes.begin() + 0x60, 0);
        std::copy(shape.wineSignature.begin(),
                  shape.wineSignature.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                    shape.wineSignature.size(), 31)),
                  bytes.begin() + 0x40);
    }
    image.layout.newHeader = kNewHeader;
    out.Append(std::string_view("PE\0\0", 4));
    out.U16(plus ? 0x8664 : 0x014C);
    out.U16(static_cast<std::uint16_t>(sections.size()));
    out.U32(kTimeDateStamp);
    out.U32(0);
    out.U32(0);
    out.U16(optionalSize);
    std::uint16_t characteristics =
        0x0002 | 0x0004 | 0x0008;               // executable, no line numbers/symbols
    characteristics |= plus ? 0x0020 : 0x0100;  // large addresses / 32-bit words
    if (shape.dll) {
        characteristics |= 0x2000;
    } else {
        characteristics |= 0x0001;  // an executable loads at its preferred base
    }
    out.U16(characteristics);

    image.layout.optionalHeader = static_cast<std::uint32_t>(out.Size());
    const std::size_t optionalStart = out.Size();
    const auto sumSizes = [&](std::uint32_t flag) {
        std::uint32_t total = 0;
        for (const Section& s : sections) {
            if (s.characteristics & flag) {
                total += static_cast<std::uint32_t>(AlignUp(s.data.size(), kFileAlignment));
            }
        }
        return total;
    };
    out.U16(plus ? 0x20B : 0x10B);
    out.U8(6);  // linker version
    out.U8(0);
    out.U32(sumSizes(0x20));
    out.U32(sumSizes(0x40));
    out.U32(0);
    out.U32(sections[0].rva);  // entry point: the start of the code
    out.U32(sections[0].rva);  // base of code
    const std::uint64_t imageBase = plus ? (shape.dll ? 0x180000000ull : 0x140000000ull)
                                         : (shape.dll ? 0x10000000ull : 0x400000ull);
    if (plus) {
        out.U64(imageBase);
    } else {
        out.U32(sections.size() > 1 ? sections[1].rva : 0);  // base of data
        out.U32(static_cast<std::uint32_t>(imageBase));
    }
    out.U32(kSectionAlignment);
    out.U32(kFileAlignment);
    out.U16(4);  // operating system 4.0: loads on the 95/98 family and NT 4
    out.U16(0);
    out.U16(1);  // image version 1.0
    out.U16(0);
    out.U16(4);  // subsystem version 4.0
    out.U16(0);
    out.U32(0);
    out.U32(imageSize);
    out.U32(headersSize);
    const std::size_t checksumAt = out.Size();
    out.U32(0);
    out.U16(2);  // Windows GUI
    out.U16(0);
    const auto sizeField = [&](std::uint64_t v) {
        if (plus) {
            out.U64(v);
        } else {
            out.U32(static_cast<std::uint32_t>(v));
        }
    };
    sizeField(0x100000);  // stack reserve
    sizeField(0x1000);    // stack commit
    sizeField(0x100000);  // heap reserve
    sizeField(0x1000);    // heap commit
    out.U32(0);
    out.U32(16);
    for (std::uint32_t d = 0; d < 16; ++d) {
        if (d == 2 && hasResources) {
            out.U32(sections[1].rva);
            out.U32(static_cast<std::uint32_t>(sections[1].data.size()));
        } else {
            out.U32(0);
            out.U32(0);
        }
    }
    if (out.Size() - optionalStart != optionalSize) {
        throw std::logic_error("optional header size mismatch");
    }

    image.layout.sectionTable = static_cast<std::uint32_t>(out.Size());
    for (const Section& s : sections) {
        std::string name = s.name;
        name.resize(8, '\0');
        out.Append(name);
        out.U32(s.virtualSize);
        out.U32(s.rva);
        out.U32(static_cast<std::uint32_t>(AlignUp(s.data.size(), kFileAlignment)));
        out.U32(s.fileOffset);
        out.U32(0);
        out.U32(0);
        out.U16(0);
        out.U16(0);
        out.U32(s.characteristics);
    }
    out.AlignTo(kFileAlignment);
    for (const Section& s : sections) {
        out.Append(s.data);
        out.AlignTo(kFileAlignment);
    }

    if (hasResources) {
        const std::uint32_t base = sections[1].fileOffset;
        image.layout.resourceTable = base;
        for (const std::uint32_t d : resources.directories) {
            image.layout.directories.push_back(base + d);
        }
        for (const std::uint32_t e : resources.entries) {
            image.layout.entries.push_back(base + e);
        }
        for (const std::uint32_t d : resources.data) {
            image.layout.data.push_back(base + d);
        }
    }
    out.PutU32(checksumAt, Checksum(out.Bytes(), checksumAt));
    image.bytes = std::move(out.Bytes());
    return image;
}

}  // namespace imagewriter
