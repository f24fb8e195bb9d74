#include "platform/win32/shell32/ShellLink.h"

#include <algorithm>
#include <array>
#include <map>

#include "platform/automation/Text.h"
#include "platform/machine/Text.h"

namespace win32 {
namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kLinkClsid = {
    0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// LinkFlags.
constexpr std::uint32_t kHasLinkTargetIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasRelativePath = 0x08;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
constexpr std::uint32_t kForceNoLinkInfo = 0x100;

// LinkInfoFlags.
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;

constexpr std::size_t kMaxCount = 0xFFFF;

class Writer {
  public:
    void U8(std::uint8_t value) { bytes_.push_back(value); }
    void U16(std::uint32_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void U64(std::uint64_t value) {
        U32(static_cast<std::uint32_t>(value));
        U32(static_cast<std::uint32_t>(value >> 32));
    }
    void Bytes(std::span<const std::uint8_t> data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::vector<std::uint8_t> bytes_;
};

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool Has(std::size_t at, std::size_t count) const {
        return at <= bytes_.size() && count <= bytes_.size() - at;
    }
    std::optional<std::uint16_t> U16(std::size_t at) const {
        if (!Has(at, 2)) {
            return std::nullopt;
        }
        return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
    }
    std::optional<std::uint32_t> U32(std::size_t at) const {
        const auto low = U16(at);
        const auto high = U16(at + 2);
        if (!low || !high) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(*low) | (static_cast<std::uint32_t>(*high) << 16);
    }
    std::optional<std::uint64_t> U64(std::size_t at) const {
        const auto low = U32(at);
        const auto high = U32(at + 4);
        if (!low || !high) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(*low) | (static_cast<std::uint64_t>(*high) << 32);
    }
    // A NUL-terminated 8-bit string starting at `at` and ending before `limit`.
    std::optional<std::string> Ansi(std::size_t at, std::size_t limit) const {
        limit = std::min(limit, bytes_.size());
        for (std::size_t i = at; i < limit; ++i) {
            if (bytes_[i] == 0) {
                return machine::text::Cp1252ToUtf8(
                    std::string_view(reinterpret_cast<const char*>(bytes_.data() + at), i - at));
            }
        }
        return std::nullopt;
    }
    // A NUL-terminated UTF-16 string starting at `at` and ending before `limit`.
    std::optional<std::string> Wide(std::size_t at, std::size_t limit) const {
        limit = std::min(limit, bytes_.size());
        std::vector<std::uint16_t> units;
        for (std::size_t i = at; i + 1 < limit; i += 2) {
            const std::uint16_t unit = static_cast<std::uint16_t>(bytes_[i] | (bytes_[i + 1] << 8));
            if (unit == 0) {
                return FromUtf16(units);
            }
            units.push_back(unit);
        }
        return std::nullopt;
    }
    static std::string FromUtf16(std::span<const std::uint16_t> units) {
        std::string text;
        for (std::size_t i = 0; i < units.size(); ++i) {
            char32_t cp = units[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                units[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
                ++i;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;
            }
            automation::AppendUtf8(text, cp);
        }
        return text;
    }
    std::size_t size() const { return bytes_.size(); }

  private:
    std::span<const std::uint8_t> bytes_;
};

std::vector<std::uint16_t> ToUtf16(std::string_view text) {
    std::vector<std::uint16_t> units;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t cp = automation::NextCodePoint(text, pos);
        if (cp >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return units;
}

// The Windows-1252 form; false when a character had to become "?".
bool ToAnsi(std::string_view text, std::vector<std::uint8_t>& out) {
    static const std::map<char32_t, std::uint8_t> kHigh = [] {
        std::map<char32_t, std::uint8_t> table;
        for (int b = 0x80; b <= 0xFF; ++b) {
            table[automation::CodePointFromWindows1252(static_cast<std::uint8_t>(b))] =
                static_cast<std::uint8_t>(b);
        }
        return table;
    }();
    bool exact = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t cp = automation::NextCodePoint(text, pos);
        if (cp < 0x80) {
            out.push_back(static_cast<std::uint8_t>(cp));
        } else if (const auto it = kHigh.find(cp); it != kHigh.end()) {
            out.push_back(it->second);
        } else {
            out.push_back('?');
            exact = false;
        }
    }
    out.push_back(0);
    return exact;
}

void WriteCountedString(Writer& out, std::string_view text) {
    std::vector<std::uint16_t> units = ToUtf16(text);
    units.resize(std::min(units.size(), kMaxCount));
    out.U16(static_cast<std::uint32_t>(units.size()));
    for (const std::uint16_t unit : units) {
        out.U16(unit);
    }
}

void WriteLinkInfo(Writer& out, const ShellLink& link) {
    std::vector<std::uint8_t> label;
    ToAnsi(link.volumeLabel, label);
    std::vector<std::uint8_t> basePath;
    const bool exact = ToAnsi(link.targetPath, basePath);
    const std::uint32_t headerSize = exact ? 0x1C : 0x24;
    const std::uint32_t volumeIdSize = 0x10 + static_cast<std::uint32_t>(label.size());
    const std::uint32_t volumeIdOffset = headerSize;
    const std::uint32_t basePathOffset = volumeIdOffset + volumeIdSize;
    const std::uint32_t suffixOffset = basePathOffset + static_cast<std::uint32_t>(basePath.size());
    std::uint32_t size = suffixOffset + 1;
    std::vector<std::uint16_t> wideBasePath;
    std::uint32_t wideBasePathOffset = 0;
    std::uint32_t wideSuffixOffset = 0;
    if (!exact) {
        wideBasePath = ToUtf16(link.targetPath);
        wideBasePath.push_back(0);
        wideBasePathOffset = size;
        wideSuffixOffset = wideBasePathOffset + static_cast<std::uint32_t>(wideBasePath.size() * 2);
        size = wideSuffixOffset + 2;
    }
    out.U32(size);
    out.U32(headerSize);
    out.U32(kVolumeIdAndLocalBasePath);
    out.U32(volumeIdOffset);
    out.U32(basePathOffset);
    out.U32(0);  // no network location
    out.U32(suffixOffset);
    if (!exact) {
        out.U32(wideBasePathOffset);
        out.U32(wideSuffixOffset);
    }
    out.U32(volumeIdSize);
    out.U32(link.driveType);
    out.U32(link.driveSerialNumber);
    out.U32(0x10);  // the label follows the four fields
    out.Bytes(label);
    out.Bytes(basePath);
    out.U8(0);  // the common path suffix: empty
    if (!exact) {
        for (const std::uint16_t unit : wideBasePath) {
            out.U16(unit);
        }
        out.U16(0);
    }
}

// Reads the LinkInfo at `at` into `link`; false when it is malformed.
bool ReadLinkInfo(const Reader& in, std::size_t at, std::uint32_t size, ShellLink& link) {
    const auto headerSize = in.U32(at + 4);
    const auto flags = in.U32(at + 8);
    const auto volumeIdOffset = in.U32(at + 12);
    const auto basePathOffset = in.U32(at + 16);
    if (!headerSize || !flags || !volumeIdOffset || !basePathOffset || *headerSize < 0x1C ||
        *headerSize > size) {
        return false;
    }
    if ((*flags & kVolumeIdAndLocalBasePath) == 0) {
        return true;
    }
    const std::size_t end = at + size;
    if (*volumeIdOffset >= size || *basePathOffset >= size) {
        return false;
    }
    const std::size_t volume = at + *volumeIdOffset;
    const auto volumeSize = in.U32(volume);
    const auto driveType = in.U32(volume + 4);
    const auto serial = in.U32(volume + 8);
    const auto labelOffset = in.U32(volume + 12);
    if (!volumeSize || !driveType || !serial || !labelOffset || *volumeSize < 0x10 ||
        *volumeSize > end - volume || *labelOffset >= *volumeSize) {
        return false;
    }
    link.driveType = *driveType;
    link.driveSerialNumber = *serial;
    if (*labelOffset == 0x14) {
        const auto wideOffset = in.U32(volume + 16);
        if (!wideOffset || *wideOffset >= *volumeSize) {
            return false;
        }
        const auto label = in.Wide(volume + *wideOffset, volume + *volumeSize);
        if (!label) {
            return false;
        }
        link.volumeLabel = *label;
    } else {
        const auto label = in.Ansi(volume + *labelOffset, volume + *volumeSize);
        if (!label) {
            return false;
        }
        link.volumeLabel = *label;
    }
    std::optional<std::string> basePath;
    if (*headerSize >= 0x24) {
        const auto wideOffset = in.U32(at + 28);
        if (!wideOffset) {
            return false;
        }
        if (*wideOffset != 0) {
            if (*wideOffset >= size) {
                return false;
            }
            basePath = in.Wide(at + *wideOffset, end);
        }
    }
    if (!basePath) {
        basePath = in.Ansi(at + *basePathOffset, end);
    }
    if (!basePath) {
        return false;
    }
    link.targetPath = *basePath;
    return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeShellLink(const ShellLink& link) {
    std::uint32_t flags = kIsUnicode;
    flags |= link.targetPath.empty() ? kForceNoLinkInfo : kHasLinkInfo;
    const std::pair<std::uint32_t, const std::string*> strings[] = {
        {kHasName, &link.description},
        {kHasRelativePath, &link.relativePath},
        {kHasWorkingDir, &link.workingDirectory},
        {kHasArguments, &link.arguments},
        {kHasIconLocation, &link.iconLocation},
    };
    for (const auto& [flag, text] : strings) {
        if (!text->empty()) {
            flags |= flag;
        }
    }

    Writer out;
    out.U32(kHeaderSize);
    out.Bytes(kLinkClsid);
    out.U32(flags);
    out.U32(link.fileAttributes);
    out.U64(link.creationTime);
    out.U64(link.accessTime);
    out.U64(link.writeTime);
    out.U32(link.fileSize);
    out.U32(static_cast<std::uint32_t>(link.iconIndex));
    out.U32(link.showCommand);
    out.U16(link.hotKey);
    out.U16(0);
    out.U32(0);
    out.U32(0);
    if ((flags & kHasLinkInfo) != 0) {
        WriteLinkInfo(out, link);
    }
    for (const auto& [flag, text] : strings) {
        if ((flags & flag) != 0) {
            WriteCountedString(out, *text);
        }
    }
    out.U32(0);  // the terminal extra-data block
    return out.Take();
}

std::optional<ShellLink> DecodeShellLink(std::span<const std::uint8_t> bytes) {
    const Reader in(bytes);
    const auto headerSize = in.U32(0);
    if (!headerSize || *headerSize != kHeaderSize || !in.Has(0, kHeaderSize) ||
        !std::equal(kLinkClsid.begin(), kLinkClsid.end(), bytes.begin() + 4)) {
        return std::nullopt;
    }
    ShellLink link;
    const std::uint32_t flags = *in.U32(20);
    link.fileAttributes = *in.U32(24);
    link.creationTime = *in.U64(28);
    link.accessTime = *in.U64(36);
    link.writeTime = *in.U64(44);
    link.fileSize = *in.U32(52);
    link.iconIndex = static_cast<std::int32_t>(*in.U32(56));
    link.showCommand = *in.U32(60);
    link.hotKey = *in.U16(64);

    std::size_t at = kHeaderSize;
    if ((flags & kHasLinkTargetIdList) != 0) {
        const auto idListSize = in.U16(at);
        if (!idListSize || !in.Has(at + 2, *idListSize)) {
            return std::nullopt;
        }
        at += 2 + *idListSize;
    }
    if ((flags & kHasLinkInfo) != 0 && (flags & kForceNoLinkInfo) == 0) {
        const auto size = in.U32(at);
        if (!size || *size < 0x1C || !in.Has(at, *size) || !ReadLinkInfo(in, at, *size, link)) {
            return std::nullopt;
        }
        at += *size;
    } else if ((flags & kHasLinkInfo) != 0) {
        const auto size = in.U32(at);
        if (!size || !in.Has(at, *size)) {
            return std::nullopt;
        }
        at += *size;
    }
    std::string* const strings[] = {&link.description, &link.relativePath, &link.workingDirectory,
                                    &link.arguments, &link.iconLocation};
    const std::uint32_t stringFlags[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                         kHasIconLocation};
    for (std::size_t i = 0; i < std::size(strings); ++i) {
        if ((flags & stringFlags[i]) == 0) {
            continue;
        }
        const auto count = in.U16(at);
        if (!count) {
            return std::nullopt;
        }
        at += 2;
        if ((flags & kIsUnicode) != 0) {
            if (!in.Has(at, std::size_t{*count} * 2)) {
                return std::nullopt;
            }
            std::vector<std::uint16_t> units;
            for (std::size_t k = 0; k < *count; ++k) {
                units.push_back(*in.U16(at + 2 * k));
            }
            *strings[i] = Reader::FromUtf16(units);
            at += std::size_t{*count} * 2;
        } else {
            if (!in.Has(at, *count)) {
                return std::nullopt;
            }
            *strings[i] = machine::text::Cp1252ToUtf8(
                std::string_view(reinterpret_cast<const char*>(bytes.data() + at), *count));
            at += *count;
        }
    }
    return link;
}

}  // namespace win32
