// 16-bit NE images: header, one code segment, resource table, name tables.
#include <algorithm>
#include <stdexcept>

#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"
#include "tools/imagewriter/Writers.h"

namespace imagewriter {
namespace {

constexpr std::uint32_t kNewHeader = 0x80;
constexpr std::uint16_t kSegmentShift = 9;
constexpr std::uint16_t kResourceShift = 4;
constexpr std::uint16_t kNumbered = 0x8000;

void LengthPrefixed(ByteWriter& out, const std::string& text) {
    const std::string bytes = EncodeCp1252(text);
    if (bytes.size() > 255) {
        throw std::invalid_argument("NE name longer than 255 characters");
    }
    out.U8(static_cast<std::uint8_t>(bytes.size()));
    out.Append(bytes);
}

}  // namespace

Image BuildNeImage(const ImageSpec& shape) {
    // Types in the order they first appear, each with its resources in the order given.
    std::vector<std::pair<ResourceId, std::vector<std::size_t>>> types;
    for (std::size_t i = 0; i < shape.resources.size(); ++i) {
        const auto found = std::find_if(types.begin(), types.end(), [&](const auto& t) {
            return t.first == shape.resources[i].type;
        });
        if (found == types.end()) {
            types.push_back({shape.resources[i].type, {i}});
        } else {
            found->second.push_back(i);
        }
    }

    // Tables after the header, offsets relative to it.
    ByteWriter tables;
    tables.Zeros(8);  // the segment table, filled in once the code's place is known
    const auto resourceTable = static_cast<std::uint16_t>(0x40 + tables.Size());
    std::vector<std::size_t> nameInfo(shape.resources.size());
    std::vector<std::pair<std::size_t, std::string>> namedFields;  // field, string
    if (!shape.resources.empty()) {
        tables.U16(kResourceShift);
        for (const auto& [type, members] : types) {
            if (const auto* n = std::get_if<std::uint16_t>(&type)) {
                tables.U16(kNumbered | *n);
            } else {
                namedFields.push_back({tables.Size(), std::get<std::string>(type)});
                tables.U16(0);
            }
            tables.U16(static_cast<std::uint16_t>(members.size()));
            tables.U32(0);
            for (const std::size_t index : members) {
                nameInfo[index] = tables.Size();
                tables.Zeros(4);     // offset and length, once the data is placed
                tables.U16(0x1C30);  // movable, pure, discardable
                if (const auto* n = std::get_if<std::uint16_t>(&shape.resources[index].name)) {
                    tables.U16(kNumbered | *n);
                } else {
                    namedFields.push_back(
                        {tables.Size(), std::get<std::string>(shape.resources[index].name)});
                    tables.U16(0);
                }
                tables.U32(0);
            }
        }
        tables.U16(0);
        for (const auto& [field, text] : namedFields) {
            tables.PutU16(field, static_cast<std::uint16_t>(0x40 + tables.Size() - resourceTable));
            LengthPrefixed(tables, text);
        }
        tables.U8(0);
    }
    const auto residentNames = static_cast<std::uint16_t>(0x40 + tables.Size());
    LengthPrefixed(tables, shape.moduleName);
    tables.U16(0);
    tables.U8(0);
    const auto moduleReferences = static_cast<std::uint16_t>(0x40 + tables.Size());
    const auto importedNames = moduleReferences;
    tables.U8(0);
    const auto entryTable = static_cast<std::uint16_t>(0x40 + tables.Size());
    tables.U16(0);
    const auto nonResidentNames = static_cast<std::uint32_t>(kNewHeader + 0x40 + tables.Size());
    const std::size_t nonResidentStart = tables.Size();
    LengthPrefixed(tables, shape.moduleName + " module");
    tables.U16(0);
    tables.U8(0);
    const auto nonResidentSize = static_cast<std::uint16_t>(tables.Size() - nonResidentStart);

    Image image;
    image.format = Format::Ne;
    ByteWriter out;
    WriteDosHeader(out, kNewHeader, "This program requires Windows.\r\n$");
    image.layout.newHeader = kNewHeader;
    out.Append("NE");
    out.U8(5);  // linker version
    out.U8(1);
    out.U16(entryTable);
    out.U16(2);
    out.U32(0);
    out.U16(shape.dll ? 0x8001
                      : 0x0302);  // library with single data / application with Windows API
    out.U16(0);
    out.U16(shape.dll ? 0 : 0x1000);
    out.U16(shape.dll ? 0 : 0x2000);
    out.U32(0x00010000);  // CS:IP = segment 1, offset 0
    out.U32(0);
    out.U16(1);
    out.U16(0);
    out.U16(nonResidentSize);
    out.U16(0x40);
    out.U16(shape.resources.empty() ? residentNames : resourceTable);
    out.U16(residentNames);
    out.U16(moduleReferences);
    out.U16(importedNames);
    out.U32(nonResidentNames);
    out.U16(0);
    out.U16(kSegmentShift);
    out.U16(static_cast<std::uint16_t>(shape.resources.size()));
    out.U8(2);  // Windows
    out.U8(0);
    out.U16(0);
    out.U16(0);
    out.U16(0);
    out.U16(0x030A);  // Windows 3.10
    const std::size_t tablesAt = out.Size();
    out.Append(tables.Bytes());

    // The code segment: the library entry returns AX = 1.
    const std::vector<std::uint8_t> code{0xB8, 0x01, 0x00, 0xCB};
    out.AlignTo(std::size_t{1} << kSegmentShift);
    const std::size_t codeAt = out.Size();
    out.Append(code);
    out.PutU16(tablesAt, static_cast<std::uint16_t>(codeAt >> kSegmentShift));
    out.PutU16(tablesAt + 2, static_cast<std::uint16_t>(code.size()));
    out.PutU16(tablesAt + 4, 0x0050);  // code, movable, preload
    out.PutU16(tablesAt + 6, static_cast<std::uint16_t>(code.size()));

    for (std::size_t i = 0; i < shape.resources.size(); ++i) {
        out.AlignTo(std::size_t{1} << kResourceShift);
        const std::size_t at = out.Size();
        const std::size_t units = AlignUp(shape.resources[i].data.size(), 16) >> kResourceShift;
        if ((at >> kResourceShift) > 0xFFFF || units > 0xFFFF) {
            throw std::invalid_argument("NE resources beyond 1 MiB");
        }
        out.Append(shape.resources[i].data);
        const std::size_t field = tablesAt + nameInfo[i];
        out.PutU16(field, static_cast<std::uint16_t>(at >> kResourceShift));
        out.PutU16(field + 2, static_cast<std::uint16_t>(units));
        image.layout.entries.push_back(static_cast<std::uint32_t>(field));
        image.layout.data.push_back(static_cast<std::uint32_t>(at));
    }
    out.AlignTo(std::size_t{1} << kResourceShift);
    if (shape.minimumSize > out.Size()) {
        out.Zeros(shape.minimumSize - out.Size());
    }
    image.layout.resourceTable = static_cast<std::uint32_t>(kNewHeader + resourceTable);
    image.bytes = std::move(out.Bytes());
    return image;
}

}  // namespace imagewriter
