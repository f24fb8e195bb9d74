// Damaged copies of written images, for the tests of readers that must refuse them.
#include <stdexcept>

#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"

namespace imagewriter {
namespace {

std::uint16_t GetU16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t GetU32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return GetU16(b, at) | static_cast<std::uint32_t>(GetU16(b, at + 2)) << 16;
}

void SetU16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
    b[at] = static_cast<std::uint8_t>(v);
}

void SetU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    SetU16(b, at, static_cast<std::uint16_t>(v));
    SetU16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

[[noreturn]] void NotApplicable(const char* what) {
    throw std::invalid_argument(std::string("corruption does not apply: ") + what);
}

// The directory table the root's RT_VERSION entry leads to.
std::size_t VersionTypeDirectory(const Image& image) {
    const auto& b = image.bytes;
    const std::size_t root = image.layout.resourceTable;
    const std::size_t count = GetU16(b, root + 12) + GetU16(b, root + 14);
    for (std::size_t i = 0; i < count; ++i) {
        if (GetU32(b, root + 16 + 8 * i) == win32::RT_VERSION) {
            return root + (GetU32(b, root + 16 + 8 * i + 4) & 0x7FFFFFFF);
        }
    }
    NotApplicable("the image has no version resource");
}

}  // namespace

std::vector<std::uint8_t> Corrupt(const Image& image, Corruption corruption) {
    std::vector<std::uint8_t> b = image.bytes;
    const Layout& l = image.layout;
    const bool ne = image.format == Format::Ne;
    const bool le = image.format == Format::Le;
    const bool hasData = !l.data.empty();
    switch (corruption) {
        case Corruption::TruncatedDosHeader:
            b.resize(0x30);
            break;
        case Corruption::TruncatedNewHeader:
            b.resize(l.newHeader + (ne ? 0x20 : le ? 0xB0 : 0x30));
            break;
        case Corruption::NewHeaderPastEnd:
            SetU32(b, 0x3C, static_cast<std::uint32_t>(b.size() + 0x1000));
            break;
        case Corruption::ResourceTableUnmapped:
            if (ne) {
                SetU16(b, l.newHeader + 0x24, 0xFFF0);
            } else if (le) {
                SetU32(b, l.newHeader + 0xB8, 0x7FFFFF00);
            } else if (l.directories.empty()) {
                NotApplicable("the image has no resources");
            } else {
                const std::size_t countAt =
                    l.optionalHeader + (GetU16(b, l.optionalHeader) == 0x20B ? 108 : 92);
                SetU32(b, countAt + 4 + 16, 0x7FFF0000);
            }
            break;
        case Corruption::HugeDirectory:
            if (ne || le || l.directories.empty()) {
                NotApplicable("no PE resource tree");
            }
            SetU16(b, l.resourceTable + 12, 0xFFFF);
            SetU16(b, l.resourceTable + 14, 0xFFFF);
            break;
        case Corruption::CyclicDirectory:
        case Corruption::SelfLoopDirectory: {
            if (ne || le) {
                NotApplicable("no PE resource tree");
            }
            const std::size_t dir = VersionTypeDirectory(image);
            const std::size_t target =
                corruption == Corruption::CyclicDirectory ? 0 : dir - l.resourceTable;
            SetU32(b, dir + 16 + 4, 0x80000000u | static_cast<std::uint32_t>(target));
            break;
        }
        case Corruption::DataPastEnd:
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            if (ne) {
                SetU16(b, l.entries[0], static_cast<std::uint16_t>((b.size() >> 4) + 0x100));
            } else if (le) {
                SetU32(b, l.newHeader + 0xB8, static_cast<std::uint32_t>(b.size() - 4));
            } else {
                SetU32(b, l.entries[0], 0x7FFFFF00);
            }
            break;
        case Corruption::HugeDataSize:
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            if (ne) {
                SetU16(b, l.entries[0] + 2, 0xFFFF);
            } else if (le) {
                SetU32(b, l.entries[0] + 8, 0x7FFFFFF0);
            } else {
                SetU32(b, l.entries[0] + 4, 0x7FFFFFF0);
            }
            break;
        case Corruption::ZeroLengthRoot:
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            SetU16(b, l.data[0], 0);
            break;
        case Corruption::ZeroLengthChild: {
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            // The root's first child follows its key and its fixed info, each padded to 4.
            const std::size_t root = l.data[0];
            const bool sixteen = b[root + 4] >= 0x20 && b[root + 4] < 0x80;
            const std::size_t key = sixteen ? 16 : 32;  // "VS_VERSION_INFO" and its NUL
            const std::size_t value = AlignUp((sixteen ? 4 : 6) + key, 4);
            SetU16(b, root + value + AlignUp(GetU16(b, root + 2), 4), 0);
            break;
        }
        case Corruption::RootLengthPastEnd:
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            SetU16(b, l.data[0], 0xFFF0);
            break;
        case Corruption::TruncatedData:
            if (!hasData) {
                NotApplicable("the image has no resources");
            }
            b.resize(l.data[0] + 24);
            break;
        case Corruption::HugeAlignmentShift:
            if (!ne || !hasData) {
                NotApplicable("no NE resource table");
            }
            SetU16(b, l.resourceTable, 40);
            break;
    }
    return b;
}

}  // namespace imagewriter
