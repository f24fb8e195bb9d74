// RT_VERSION lookup in PE32 and PE32+ images.
//
// The resource tree has three levels (type, name, language) of IMAGE_RESOURCE_DIRECTORY
// tables: 16 bytes of header whose last two WORDs count the named and the numbered entries,
// then 8-byte entries {Name, OffsetToData}. A set high bit in OffsetToData points at a
// subdirectory, else at a 16-byte IMAGE_RESOURCE_DATA_ENTRY {RVA, Size, CodePage, Reserved}.
// Tree offsets are relative to the start of the tree; data entries hold RVAs.
#include <algorithm>
#include <array>

#include "platform/win32/version/VersionErrors.h"
#include "platform/win32/version/VersionImage.h"
#include "platform/win32/version/VersionTypes.h"

namespace win32 {
namespace {

// Windows XP, the newest system of the era these files come from, refuses images with more.
constexpr std::uint32_t kMaxSections = 96;
// No real type, name or language level comes near this; a larger count is a corrupt tree.
constexpr std::uint32_t kMaxDirectoryEntries = 4096;
constexpr std::uint32_t kSubdirectory = 0x80000000;
constexpr std::uint32_t kNamedEntry = 0x80000000;
constexpr std::size_t kFileHeaderSize = 24;  // signature and IMAGE_FILE_HEADER
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kResourceDirectory = 2;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t extent;  // bytes backed by the file
    std::uint32_t rawPointer;
};

struct Entry {
    std::uint32_t name;
    std::uint32_t offset;
};

class PeReader {
  public:
    PeReader(ImageSource& image, std::vector<Section> sections, std::uint32_t treeRva)
        : image_(image), sections_(std::move(sections)), treeRva_(treeRva) {}

    ResourceLookup Find() {
        const Section* tree = SectionOf(treeRva_);
        if (tree == nullptr) {
            return Fail(ERROR_BAD_FORMAT);
        }
        treeOffset_ = std::uint64_t{tree->rawPointer} + (treeRva_ - tree->virtualAddress);
        treeSize_ = tree->virtualAddress + tree->extent - treeRva_;

        std::vector<std::uint32_t> visited;
        std::uint32_t dir = 0;
        for (const std::uint16_t id : {RT_VERSION, VS_VERSION_INFO}) {
            visited.push_back(dir);
            const auto entries = ReadDirectory(dir);
            if (!entries) {
                return Fail(ERROR_BAD_FORMAT);
            }
            const auto found = std::find_if(entries->begin(), entries->end(),
                                            [&](const Entry& e) { return e.name == id; });
            if (found == entries->end()) {
                return Fail(id == RT_VERSION ? ERROR_RESOURCE_TYPE_NOT_FOUND
                                             : ERROR_RESOURCE_NAME_NOT_FOUND);
            }
            dir = found->offset & ~kSubdirectory;
            // A tree that leads back to a table already walked is corrupt, not deep.
            if ((found->offset & kSubdirectory) == 0 ||
                std::find(visited.begin(), visited.end(), dir) != visited.end()) {
                return Fail(ERROR_BAD_FORMAT);
            }
        }
        const auto languages = ReadDirectory(dir);
        if (!languages) {
            return Fail(ERROR_BAD_FORMAT);
        }
        const Entry* chosen = ChooseLanguage(*languages);
        if (chosen == nullptr) {
            return Fail(ERROR_RESOURCE_LANG_NOT_FOUND);
        }
        if ((chosen->offset & kSubdirectory) != 0) {
            return Fail(ERROR_BAD_FORMAT);
        }
        return ReadDataEntry(chosen->offset);
    }

  private:
    static ResourceLookup Fail(std::uint32_t error) { return ResourceLookup{{}, 0, error}; }

    const Section* SectionOf(std::uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.extent) {
                return &s;
            }
        }
        return nullptr;
    }

    bool ReadTree(std::uint32_t offset, std::span<std::uint8_t> out) {
        if (offset > treeSize_ || treeSize_ - offset < out.size()) {
            return false;
        }
        return image_.Read(treeOffset_ + offset, out);
    }

    std::optional<std::vector<Entry>> ReadDirectory(std::uint32_t offset) {
        std::array<std::uint8_t, 16> header;
        if (!ReadTree(offset, header)) {
            return std::nullopt;
        }
        const std::uint32_t count = std::uint32_t{ReadU16(header, 12)} + ReadU16(header, 14);
        if (count > kMaxDirectoryEntries) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> raw(count * 8);
        if (!ReadTree(offset + 16, raw)) {
            return std::nullopt;
        }
        std::vector<Entry> entries(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            entries[i] = Entry{ReadU32(raw, 8 * i), ReadU32(raw, 8 * i + 4)};
        }
        return entries;
    }

    // The language Windows loads on an English (US) system: neutral, then US English, then
    // any English, else the first one listed.
    static const Entry* ChooseLanguage(const std::vector<Entry>& entries) {
        for (const std::uint32_t language : {0x0000u, 0x0409u, 0x0009u}) {
            for (const Entry& e : entries) {
                if (e.name == language) {
                    return &e;
                }
            }
        }
        for (const Entry& e : entries) {
            if ((e.name & kNamedEntry) == 0) {
                return &e;
            }
        }
        return nullptr;
    }

    ResourceLookup ReadDataEntry(std::uint32_t offset) {
        std::array<std::uint8_t, 16> entry;
        if (!ReadTree(offset, entry)) {
            return Fail(ERROR_BAD_FORMAT);
        }
        const std::uint32_t rva = ReadU32(entry, 0);
        const std::uint32_t size = ReadU32(entry, 4);
        const Section* section = SectionOf(rva);
        if (size == 0 || section == nullptr ||
            section->virtualAddress + section->extent - rva < size) {
            return Fail(ERROR_BAD_FORMAT);
        }
        const std::uint64_t at =
            std::uint64_t{section->rawPointer} + (rva - section->virtualAddress);
        if (at > image_.Size() || image_.Size() - at < size) {
            return Fail(ERROR_BAD_FORMAT);
        }
        return ResourceLookup{at, size, 0};
    }

    ImageSource& image_;
    std::vector<Section> sections_;
    std::uint32_t treeRva_;
    std::uint64_t treeOffset_ = 0;
    std::uint32_t treeSize_ = 0;
};

}  // namespace

ResourceLookup FindPeVersionResource(ImageSource& image, std::uint64_t peOffset) {
    const auto fail = [](std::uint32_t error) { return ResourceLookup{{}, 0, error}; };
    std::array<std::uint8_t, kFileHeaderSize> fileHeader;
    if (!image.Read(peOffset, fileHeader)) {
        return fail(ERROR_BAD_FORMAT);
    }
    const std::uint16_t sectionCount = ReadU16(fileHeader, 6);
    const std::uint16_t optionalSize = ReadU16(fileHeader, 20);

    // PE32 keeps NumberOfRvaAndSizes at 92 and the directories at 96; PE32+ 16 bytes later.
    std::array<std::uint8_t, 240> optional{};
    const std::size_t optionalRead = std::min<std::size_t>(optionalSize, optional.size());
    if (optionalRead < 2 ||
        !image.Read(peOffset + kFileHeaderSize, std::span(optional).first(optionalRead))) {
        return fail(ERROR_BAD_FORMAT);
    }
    std::size_t countAt;
    switch (ReadU16(optional, 0)) {
        case 0x10B:
            countAt = 92;
            break;
        case 0x20B:
            countAt = 108;
            break;
        default:
            return fail(ERROR_BAD_FORMAT);
    }
    const std::size_t directoryAt = countAt + 4 + 8 * kResourceDirectory;
    if (optionalRead < countAt + 4) {
        return fail(ERROR_BAD_FORMAT);
    }
    if (ReadU32(optional, countAt) <= kResourceDirectory || optionalRead < directoryAt + 8) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }
    const std::uint32_t treeRva = ReadU32(optional, directoryAt);
    if (treeRva == 0) {
        return fail(ERROR_RESOURCE_DATA_NOT_FOUND);
    }

    if (sectionCount == 0 || sectionCount > kMaxSections) {
        return fail(ERROR_BAD_FORMAT);
    }
    std::vector<std::uint8_t> table(sectionCount * kSectionHeaderSize);
    if (!image.Read(peOffset + kFileHeaderSize + optionalSize, table)) {
        return fail(ERROR_BAD_FORMAT);
    }
    std::vector<Section> sections;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const auto header = std::span(table).subspan(i * kSectionHeaderSize, kSectionHeaderSize);
        const std::uint32_t virtualSize = ReadU32(header, 8);
        const std::uint32_t rawSize = ReadU32(header, 16);
        // Bytes past VirtualSize are not mapped; bytes past SizeOfRawData are zeros, not file.
        const std::uint32_t extent = virtualSize != 0 ? std::min(virtualSize, rawSize) : rawSize;
        const std::uint32_t virtualAddress = ReadU32(header, 12);
        if (extent != 0 && virtualAddress <= UINT32_MAX - extent) {
            sections.push_back(Section{virtualAddress, extent, ReadU32(header, 20)});
        }
    }
    return PeReader(image, std::move(sections), treeRva).Find();
}

}  // namespace win32
