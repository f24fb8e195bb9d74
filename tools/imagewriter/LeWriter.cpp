// LE images as virtual device drivers are linked: one code object of one page, the loader
// tables, and the driver's single Windows resource in the layout of a 16-bit resource file.
#include <stdexcept>

#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"
#include "tools/imagewriter/Writers.h"

namespace imagewriter {
namespace {

constexpr std::uint32_t kNewHeader = 0x80;
constexpr std::uint32_t kHeaderSize = 0xC4;
constexpr std::uint32_t kPageSize = 0x1000;

void LengthPrefixed(ByteWriter& out, const std::string& text, std::uint16_t ordinal) {
    const std::string bytes = EncodeCp1252(text);
    if (bytes.size() > 127) {
        throw std::invalid_argument("LE name longer than 127 characters");
    }
    out.U8(static_cast<std::uint8_t>(bytes.size()));
    out.Append(bytes);
    out.U16(ordinal);
}

}  // namespace

Image BuildLeImage(const ImageSpec& shape) {
    if (shape.resources.size() > 1) {
        throw std::invalid_argument("an LE image holds at most one resource");
    }
    const std::vector<std::uint8_t> code{0xF9, 0xC3};  // stc; ret: the control procedure

    // The loader section, offsets relative to the LE header.
    ByteWriter loader;
    const std::uint32_t objectTable = kHeaderSize;
    loader.U32(kPageSize);  // virtual size
    loader.U32(0);          // relocation base
    loader.U32(0x2045);     // readable, executable, preloaded, 32-bit
    loader.U32(1);          // first page
    loader.U32(1);          // page count
    loader.U32(0);
    const std::uint32_t pageMap = kHeaderSize + static_cast<std::uint32_t>(loader.Size());
    loader.Append(std::vector<std::uint8_t>{0x00, 0x00, 0x01, 0x00});  // page 1, legal
    const std::uint32_t residentNames = kHeaderSize + static_cast<std::uint32_t>(loader.Size());
    LengthPrefixed(loader, shape.moduleName, 0);
    LengthPrefixed(loader, shape.moduleName + "_DDB", 1);
    loader.U8(0);
    const std::uint32_t entryTable = kHeaderSize + static_cast<std::uint32_t>(loader.Size());
    // One bundle of one 32-bit entry: the device descriptor at offset 0 of object 1.
    loader.Append(std::vector<std::uint8_t>{0x01, 0x03, 0x01, 0x00, 0x03, 0, 0, 0, 0, 0x00});
    const auto loaderSize = static_cast<std::uint32_t>(loader.Size());
    const std::uint32_t fixupPages = kHeaderSize + loaderSize;
    loader.U32(0);
    loader.U32(0);
    const std::uint32_t fixupRecords = kHeaderSize + static_cast<std::uint32_t>(loader.Size());

    const std::uint32_t nonResidentNames = kNewHeader + fixupRecords;
    ByteWriter names;
    LengthPrefixed(names, shape.moduleName + " virtual device", 0);
    names.U8(0);

    Image image;
    image.format = Format::Le;
    image.layout.newHeader = kNewHeader;
    ByteWriter tail;  // after the non-resident names: the resource record, then the page
    const std::uint32_t tailAt = nonResidentNames + static_cast<std::uint32_t>(names.Size());
    std::uint32_t resourceAt = 0;
    std::uint32_t resourceLength = 0;
    if (!shape.resources.empty()) {
        const Resource& r = shape.resources.front();
        const auto* type = std::get_if<std::uint16_t>(&r.type);
        const auto* name = std::get_if<std::uint16_t>(&r.name);
        if (type == nullptr || name == nullptr) {
            throw std::invalid_argument("LE resources have numbered types and names");
        }
        resourceAt = tailAt;
        tail.U8(0xFF);
        tail.U16(*type);
        tail.U8(0xFF);
        tail.U16(*name);
        tail.U16(0x0030);  // movable, pure
        tail.U32(static_cast<std::uint32_t>(r.data.size()));
        tail.Append(r.data);
        resourceLength = static_cast<std::uint32_t>(tail.Size());
        image.layout.resourceTable = resourceAt;
        image.layout.entries.push_back(resourceAt);
        image.layout.data.push_back(resourceAt + 12);
    }
    const std::size_t pageAt = AlignUp(tailAt + tail.Size(), 0x200);

    ByteWriter out;
    WriteDosHeader(out, kNewHeader, "This program requires Windows.\r\n$");
    out.Append("LE");
    out.U8(0);  // little-endian bytes
    out.U8(0);  // and words
    out.U32(0);
    out.U16(2);  // 80386
    out.U16(4);  // Windows virtual device
    out.U32(0);
    out.U32(0x00038000);  // virtual device driver module
    out.U32(1);           // pages
    out.U32(1);           // start object
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(kPageSize);
    out.U32(static_cast<std::uint32_t>(code.size()));
    out.U32(fixupRecords - fixupPages);
    out.U32(0);
    out.U32(loaderSize);
    out.U32(0);
    out.U32(objectTable);
    out.U32(1);
    out.U32(pageMap);
    out.U32(0);
    out.U32(residentNames);  // resource table: empty, where the names start
    out.U32(0);
    out.U32(residentNames);
    out.U32(entryTable);
    out.U32(0);
    out.U32(0);
    out.U32(fixupPages);
    out.U32(fixupRecords);
    out.U32(fixupRecords);  // imported modules
    out.U32(0);
    out.U32(fixupRecords);  // imported procedures
    out.U32(0);
    out.U32(static_cast<std::uint32_t>(pageAt));
    out.U32(1);  // preload pages
    out.U32(nonResidentNames);
    out.U32(static_cast<std::uint32_t>(names.Size()));
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    out.Zeros(12);
    out.U32(resourceAt);
    out.U32(resourceLength);
    out.U16(0);       // device id: none
    out.U16(0x030A);  // DDK 3.10
    out.Append(loader.Bytes());
    out.Append(names.Bytes());
    out.Append(tail.Bytes());
    out.AlignTo(0x200);
    out.Append(code);
    out.AlignTo(16);
    if (shape.minimumSize > out.Size()) {
        out.Zeros(shape.minimumSize - out.Size());
    }
    image.bytes = std::move(out.Bytes());
    return image;
}

}  // namespace imagewriter
