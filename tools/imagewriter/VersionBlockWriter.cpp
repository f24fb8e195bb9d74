#include <map>
#include <stdexcept>

#include "platform/machine/Text.h"
#include "tools/imagewriter/ByteWriter.h"
#include "tools/imagewriter/ImageWriter.h"

namespace imagewriter {
namespace {

// Splits off the next UTF-8 sequence and decodes it.
char32_t NextCodePoint(std::string_view utf8, std::size_t& at, std::string_view& sequence) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || at + length > utf8.size()) {
        throw std::invalid_argument("text is not valid UTF-8");
    }
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(utf8[at + i]);
        if ((b & 0xC0) != 0x80) {
            throw std::invalid_argument("text is not valid UTF-8");
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    sequence = utf8.substr(at, length);
    at += length;
    return cp;
}

// A version-block node before it is laid out.
struct Node {
    std::string key;
    std::vector<std::uint8_t> value;
    std::uint16_t valueLength = 0;
    std::uint16_t type = 0;  // 1: text (32-bit layout only)
    std::vector<Node> children;
};

void Emit(ByteWriter& out, const Node& node, bool sixteenBit) {
    out.AlignTo(4);
    const std::size_t start = out.Size();
    out.U16(0);
    out.U16(node.valueLength);
    if (sixteenBit) {
        out.Append(EncodeCp1252(node.key));
        out.U8(0);
    } else {
        out.U16(node.type);
        for (const char16_t unit : EncodeUtf16(node.key)) {
            out.U16(unit);
        }
        out.U16(0);
    }
    out.AlignTo(4);
    out.Append(node.value);
    for (const Node& child : node.children) {
        Emit(out, child, sixteenBit);
    }
    const std::size_t length = out.Size() - start;
    if (length > 0xFFFF) {
        throw std::invalid_argument("version block larger than 64 KiB");
    }
    out.PutU16(start, static_cast<std::uint16_t>(length));
}

Node TextNode(const StringEntry& entry, bool sixteenBit) {
    Node node{entry.name, {}, 0, 1, {}};
    ByteWriter value;
    std::size_t characters;
    if (sixteenBit) {
        const std::string text = EncodeCp1252(entry.value);
        value.Append(text);
        characters = text.size();
        if (entry.terminated) {
            value.U8(0);
        }
    } else {
        const std::u16string text = EncodeUtf16(entry.value);
        for (const char16_t unit : text) {
            value.U16(unit);
        }
        characters = text.size();
        if (entry.terminated) {
            value.U16(0);
        }
    }
    node.valueLength = static_cast<std::uint16_t>(characters + (entry.terminated ? 1 : 0));
    node.value = std::move(value.Bytes());
    return node;
}

std::vector<std::uint8_t> FixedInfoBytes(const FixedInfo& f) {
    const auto pack = [](std::uint16_t high, std::uint16_t low) {
        return static_cast<std::uint32_t>(high) << 16 | low;
    };
    ByteWriter out;
    out.U32(win32::VS_FFI_SIGNATURE);
    out.U32(win32::VS_FFI_STRUCVERSION);
    out.U32(pack(f.fileVersion[0], f.fileVersion[1]));
    out.U32(pack(f.fileVersion[2], f.fileVersion[3]));
    out.U32(pack(f.productVersion[0], f.productVersion[1]));
    out.U32(pack(f.productVersion[2], f.productVersion[3]));
    out.U32(f.flagsMask);
    out.U32(f.flags);
    out.U32(f.os);
    out.U32(f.type);
    out.U32(f.subtype);
    out.U64(f.date);
    return std::move(out.Bytes());
}

}  // namespace

std::u16string EncodeUtf16(std::string_view utf8) {
    std::u16string out;
    std::string_view sequence;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, at, sequence);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string EncodeCp1252(std::string_view utf8) {
    // The reverse of the one decoding table the code base keeps.
    static const std::map<std::string, char> kHigh = [] {
        std::map<std::string, char> m;
        for (int b = 0x80; b <= 0xFF; ++b) {
            const char c = static_cast<char>(b);
            m.emplace(machine::text::Cp1252ToUtf8(std::string_view(&c, 1)), c);
        }
        return m;
    }();
    std::string out;
    std::string_view sequence;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, at, sequence);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        const auto found = kHigh.find(std::string(sequence));
        if (found == kHigh.end()) {
            throw std::invalid_argument("character outside Windows-1252: " + std::string(sequence));
        }
        out += found->second;
    }
    return out;
}

std::string Hex(std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return out;
}

std::vector<std::uint8_t> BuildVersionBlock(const VersionInfo& info, bool sixteenBit) {
    Node root{"VS_VERSION_INFO", {}, 0, 0, {}};
    if (info.fixed) {
        root.value = FixedInfoBytes(*info.fixed);
        root.valueLength = static_cast<std::uint16_t>(root.value.size());
    }
    if (!info.tables.empty()) {
        Node files{"StringFileInfo", {}, 0, 1, {}};
        for (const StringTable& table : info.tables) {
            Node node{
                table.key.empty()
                    ? Hex(static_cast<std::uint32_t>(table.language) << 16 | table.codePage, 8)
                    : table.key,
                {},
                0,
                1,
                {}};
            for (const StringEntry& entry : table.strings) {
                node.children.push_back(TextNode(entry, sixteenBit));
            }
            files.children.push_back(std::move(node));
        }
        root.children.push_back(std::move(files));
    }
    if (info.withTranslation) {
        Node var{"Translation", {}, 0, 0, {}};
        if (info.translationBytes) {
            var.value = *info.translationBytes;
        } else {
            ByteWriter value;
            if (info.translations.empty()) {
                for (const StringTable& table : info.tables) {
                    value.U16(table.language);
                    value.U16(table.codePage);
                }
            } else {
                for (const Translation& t : info.translations) {
                    value.U16(t.language);
                    value.U16(t.codePage);
                }
            }
            var.value = std::move(value.Bytes());
        }
        var.valueLength = static_cast<std::uint16_t>(var.value.size());
        root.children.push_back(Node{"VarFileInfo", {}, 0, 1, {std::move(var)}});
    }
    ByteWriter out;
    Emit(out, root, sixteenBit);
    return std::move(out.Bytes());
}

}  // namespace imagewriter
