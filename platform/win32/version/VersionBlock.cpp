#include "platform/win32/version/VersionBlock.h"

#include <algorithm>

#include "platform/machine/Text.h"
#include "platform/win32/version/VersionImage.h"

namespace win32 {
namespace {

constexpr std::size_t Align4(std::size_t n) {
    return (n + 3) & ~std::size_t{3};
}

// UTF-16LE code units to UTF-8, stopping at a NUL; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        char32_t unit = ReadU16(bytes, 2 * i);
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = ReadU16(bytes, 2 * i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        machine::text::AppendUtf8(out, unit);
    }
    return out;
}

std::string Cp1252UpToNul(std::span<const std::uint8_t> bytes) {
    const auto nul = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return machine::text::Cp1252ToUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), nul - bytes.begin()));
}

struct Node {
    std::size_t start = 0;
    std::size_t end = 0;  // clamped to the readable part of the block
    std::uint16_t wLength = 0;
    bool keyTerminated = false;
    std::size_t keyStart = 0;
    std::size_t keyEnd = 0;  // the NUL
    std::size_t valueStart = 0;
    std::size_t valueBytes = 0;  // clamped to the node
    bool text = false;
    std::size_t childrenStart = 0;
};

// Walks a block without ever reading past `limit`, the end of the root node. Offsets inside a
// node are aligned relative to the node itself, as Windows computes them.
class BlockReader {
  public:
    explicit BlockReader(std::span<const std::uint8_t> block)
        : block_(block),
          is16_(IsVersionBlock16(block)),
          header_(is16_ ? 4 : 6),
          charSize_(is16_ ? 1 : 2) {
        limit_ = block_.size();
        if (block_.size() >= header_) {
            limit_ = std::min<std::size_t>(limit_, ReadU16(block_, 0));
        }
    }

    bool Is16() const { return is16_; }

    // nullopt when no node fits at `start`; a length of zero ends a list of children.
    std::optional<Node> Parse(std::size_t start) const {
        if (start > limit_ || limit_ - start < header_) {
            return std::nullopt;
        }
        Node n;
        n.start = start;
        n.wLength = ReadU16(block_, start);
        if (n.wLength < header_) {
            return std::nullopt;
        }
        n.end = std::min(limit_, start + n.wLength);
        const std::uint16_t valueLength = ReadU16(block_, start + 2);
        const std::uint16_t type = is16_ ? 0 : ReadU16(block_, start + 4);
        n.keyStart = start + header_;
        for (std::size_t at = n.keyStart; at + charSize_ <= n.end; at += charSize_) {
            if (block_[at] == 0 && (charSize_ == 1 || block_[at + 1] == 0)) {
                n.keyTerminated = true;
                n.keyEnd = at;
                break;
            }
        }
        if (!n.keyTerminated) {
            n.valueStart = n.childrenStart = n.end;
            return n;
        }
        n.valueStart = start + Align4(n.keyEnd + charSize_ - start);
        n.text = type != 0;
        const std::size_t rawBytes = is16_ ? valueLength : valueLength * (n.text ? 2u : 1u);
        n.childrenStart = n.valueStart + Align4(rawBytes);
        if (n.valueStart < n.end) {
            n.valueBytes = std::min(rawBytes, n.end - n.valueStart);
            if (n.text) {
                n.valueBytes &= ~std::size_t{1};
            }
        }
        return n;
    }

    bool KeyEquals(const Node& n, std::string_view name) const {
        const auto key = block_.subspan(n.keyStart, n.keyEnd - n.keyStart);
        const std::string utf8 = is16_ ? Cp1252UpToNul(key) : Utf16LeToUtf8(key);
        return machine::text::EqualsNoCase(utf8, name);
    }

    std::optional<Node> FindChild(const Node& parent, std::string_view name) const {
        // Every node is at least a header long, so each step moves on by at least 4 bytes.
        for (std::size_t at = parent.childrenStart; at < parent.end;) {
            const auto child = Parse(at);
            if (!child) {
                return std::nullopt;
            }
            if (child->keyTerminated && KeyEquals(*child, name)) {
                return child;
            }
            at += Align4(child->wLength);
        }
        return std::nullopt;
    }

    VersionValue Value(const Node& n) const {
        VersionValue v;
        const auto bytes = block_.subspan(n.valueStart, n.valueBytes);
        v.bytes.assign(bytes.begin(), bytes.end());
        v.wide = !is16_;
        v.length = static_cast<std::uint32_t>(n.text ? n.valueBytes / 2 : n.valueBytes);
        return v;
    }

  private:
    std::span<const std::uint8_t> block_;
    bool is16_;
    std::size_t header_;
    std::size_t charSize_;
    std::size_t limit_;
};

}  // namespace

std::string VersionValue::Text() const {
    return wide ? Utf16LeToUtf8(bytes) : Cp1252UpToNul(bytes);
}

bool IsVersionBlock16(std::span<const std::uint8_t> block) {
    // Windows compares a signed char, so only printable ASCII marks the 16-bit layout.
    return block.size() > 4 && block[4] >= 0x20 && block[4] < 0x80;
}

bool IsValidVersionBlock(std::span<const std::uint8_t> block) {
    const BlockReader reader(block);
    const auto root = reader.Parse(0);
    return root && root->keyTerminated && root->wLength <= block.size();
}

std::optional<VersionValue> QueryVersionBlock(std::span<const std::uint8_t> block,
                                              std::string_view subBlock) {
    if (!IsValidVersionBlock(block)) {
        return std::nullopt;
    }
    const BlockReader reader(block);
    auto node = reader.Parse(0);
    while (!subBlock.empty()) {
        const std::size_t slash = subBlock.find('\\');
        const std::string_view name = subBlock.substr(0, slash);
        subBlock =
            slash == std::string_view::npos ? std::string_view{} : subBlock.substr(slash + 1);
        if (name.empty()) {
            continue;
        }
        node = reader.FindChild(*node, name);
        if (!node) {
            return std::nullopt;
        }
    }
    return reader.Value(*node);
}

std::optional<VS_FIXEDFILEINFO> ReadFixedFileInfo(std::span<const std::uint8_t> value) {
    if (value.size() < VS_FIXEDFILEINFO::kSize || ReadU32(value, 0) != VS_FFI_SIGNATURE) {
        return std::nullopt;
    }
    VS_FIXEDFILEINFO info;
    std::uint32_t* fields[] = {
        &info.dwSignature,     &info.dwStrucVersion,     &info.dwFileVersionMS,
        &info.dwFileVersionLS, &info.dwProductVersionMS, &info.dwProductVersionLS,
        &info.dwFileFlagsMask, &info.dwFileFlags,        &info.dwFileOS,
        &info.dwFileType,      &info.dwFileSubtype,      &info.dwFileDateMS,
        &info.dwFileDateLS};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        *fields[i] = ReadU32(value, 4 * i);
    }
    return info;
}

}  // namespace win32
