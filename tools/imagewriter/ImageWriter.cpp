#include "tools/imagewriter/ImageWriter.h"

#include <stdexcept>

#include "tools/imagewriter/Writers.h"

namespace imagewriter {

void WriteDosHeader(ByteWriter& out, std::uint32_t newHeader, std::string_view message) {
    const std::vector<std::uint8_t> stub{
        0x0E,              // push cs
        0x1F,              // pop ds
        0xBA, 0x0E, 0x00,  // mov dx, message
        0xB4, 0x09,        // mov ah, 9 (print)
        0xCD, 0x21,        // int 21h
        0xB8, 0x01, 0x4C,  // mov ax, 4C01h (exit 1)
        0xCD, 0x21,        // int 21h
    };
    if (0x40 + stub.size() + message.size() > newHeader) {
        throw std::logic_error("DOS stub does not fit before the new header");
    }
    out.Append("MZ");
    out.U16(static_cast<std::uint16_t>(newHeader % 512));  // bytes on the last page
    out.U16(static_cast<std::uint16_t>((newHeader + 511) / 512));
    out.U16(0);       // relocations
    out.U16(4);       // header paragraphs
    out.U16(0x10);    // minimum extra paragraphs
    out.U16(0xFFFF);  // maximum extra paragraphs
    out.U16(0);       // SS
    out.U16(0xB8);    // SP
    out.U16(0);       // checksum
    out.U16(0);       // IP
    out.U16(0);       // CS
    out.U16(0x40);    // relocation table: a new-format executable
    out.U16(0);       // overlay
    out.Zeros(0x3C - out.Size());
    out.U32(newHeader);
    out.Append(stub);
    out.Append(message);
    out.Zeros(newHeader - out.Size());
}

ImageSpec VersionImage(const VersionInfo& info, Format format, std::uint16_t language) {
    ImageSpec shape;
    shape.format = format;
    Resource resource;
    resource.language = language;
    resource.data = BuildVersionBlock(info, format == Format::Ne || format == Format::Le);
    shape.resources.push_back(std::move(resource));
    return shape;
}

Image BuildImage(const ImageSpec& shape) {
    switch (shape.format) {
        case Format::Ne:
            return BuildNeImage(shape);
        case Format::Le:
            return BuildLeImage(shape);
        case Format::Pe32:
        case Format::Pe32Plus:
            break;
    }
    return BuildPeImage(shape);
}

}  // namespace imagewriter
