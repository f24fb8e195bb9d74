#include "platform/wine/WineRegText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "platform/automation/Text.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/WindowsForm.h"

namespace wine {
namespace {

using registry::BytesOfUnits;
using registry::UnitsOfBytes;

constexpr std::uint64_t kTicksPerSecond = 10'000'000;
constexpr std::uint64_t kTicks1601To1970 = 116'444'736'000'000'000;
// Wine breaks a hex line once it is longer than this.
constexpr int kHexLineLimit = 76;

// The C escapes Wine uses for control characters; '.' where it writes octal.
constexpr std::string_view kControlEscapes = ".......abtnvfr.............e....";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

std::optional<std::uint32_t> ParseHex32(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// The bytes of "aa,bb,\<newline>  cc": blanks, line continuations and a final comma allowed.
std::optional<std::vector<std::uint8_t>> ParseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',') {
            ++pos;
            continue;
        }
        if (c == '\\') {
            ++pos;
            continue;
        }
        const int high = HexDigit(c);
        if (high < 0) {
            return std::nullopt;
        }
        ++pos;
        int value = high;
        if (pos < text.size() && HexDigit(text[pos]) >= 0) {
            value = value * 16 + HexDigit(text[pos]);
            ++pos;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

std::string WithoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

}  // namespace

std::string EscapeUnits(std::u16string_view units, std::string_view quotes) {
    std::string out;
    out.reserve(units.size());
    char buffer[16];
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t c = units[i];
        const bool hasNext = i + 1 < units.size();
        const char16_t next = hasNext ? units[i + 1] : 0;
        if (c > 127) {
            // A hex digit after the escape would be read as part of it: the long form then.
            const bool digitFollows =
                hasNext && next < 128 && HexDigit(static_cast<char>(next)) >= 0;
            std::snprintf(buffer, sizeof buffer, digitFollows ? "\\x%04x" : "\\x%x",
                          static_cast<unsigned>(c));
            out += buffer;
            continue;
        }
        if (c < 32) {
            if (kControlEscapes[c] != '.') {
                out += '\\';
                out += kControlEscapes[c];
            } else {
                const bool octalFollows = hasNext && next >= '0' && next <= '7';
                std::snprintf(buffer, sizeof buffer, octalFollows ? "\\%03o" : "\\%o",
                              static_cast<unsigned>(c));
                out += buffer;
            }
            continue;
        }
        const char ascii = static_cast<char>(c);
        if (ascii == '\\' || quotes.find(ascii) != std::string_view::npos) {
            out += '\\';
        }
        out += ascii;
    }
    return out;
}

std::optional<std::u16string> UnescapeUntil(std::string_view text, std::size_t& pos, char end) {
    std::u16string out;
    while (pos < text.size()) {
        // Plain ASCII, most of what Wine writes, is taken a run at a time (a registry file is
        // read whole when a prefix is opened).
        std::size_t run = pos;
        while (run < text.size() && text[run] != end && text[run] != '\\' &&
               static_cast<unsigned char>(text[run]) < 0x80) {
            ++run;
        }
        if (run > pos) {
            out.append(text.begin() + static_cast<std::ptrdiff_t>(pos),
                       text.begin() + static_cast<std::ptrdiff_t>(run));
            pos = run;
            continue;
        }
        const char c = text[pos];
        if (c == end) {
            ++pos;
            return out;
        }
        if (c != '\\') {
            // Wine writes only ASCII; any other byte is read as the text it encodes.
            const char32_t code = automation::NextCodePoint(text, pos);
            if (code >= 0x10000) {
                out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(code));
            }
            continue;
        }
        ++pos;
        if (pos >= text.size()) {
            return std::nullopt;
        }
        const char e = text[pos];
        const std::size_t control = e == '.' ? std::string_view::npos : kControlEscapes.find(e);
        if (control != std::string_view::npos) {
            out.push_back(static_cast<char16_t>(control));
            ++pos;
        } else if (e == 'x') {
            ++pos;
            if (pos >= text.size() || HexDigit(text[pos]) < 0) {
                out.push_back(u'x');
                continue;
            }
            char16_t value = 0;
            for (int n = 0; n < 4 && pos < text.size() && HexDigit(text[pos]) >= 0; ++n, ++pos) {
                value = static_cast<char16_t>(value * 16 + HexDigit(text[pos]));
            }
            out.push_back(value);
        } else if (e >= '0' && e <= '7') {
            char16_t value = 0;
            for (int n = 0; n < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7';
                 ++n, ++pos) {
                value = static_cast<char16_t>(value * 8 + (text[pos] - '0'));
            }
            out.push_back(value);
        } else {
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(e)));
            ++pos;
        }
    }
    return std::nullopt;
}

std::optional<ValueLine> ParseValue(std::string_view text) {
    ValueLine value;
    std::size_t pos = 0;
    if (text.starts_with("@=")) {
        pos = 2;
    } else if (text.starts_with('"')) {
        pos = 1;
        const auto name = UnescapeUntil(text, pos, '"');
        if (!name || pos >= text.size() || text[pos] != '=') {
            return std::nullopt;
        }
        value.name = TextFromUtf16(*name);
        ++pos;
    } else {
        return std::nullopt;
    }
    const std::string rest = WithoutLineEnd(text.substr(pos));
    const std::string_view data = rest;
    std::optional<std::uint32_t> stringType;
    std::size_t quote = 0;
    if (data.starts_with('"')) {
        stringType = registry::REG_SZ;
        quote = 0;
    } else if (data.starts_with("str:\"")) {
        stringType = registry::REG_SZ;
        quote = 4;
    } else if (data.starts_with("str(")) {
        const std::size_t close = data.find("):\"");
        const auto type =
            close == std::string_view::npos ? std::nullopt : ParseHex32(data.substr(4, close - 4));
        if (!type) {
            return std::nullopt;
        }
        stringType = *type;
        quote = close + 2;
    }
    if (stringType) {
        std::size_t at = quote + 1;
        auto units = UnescapeUntil(data, at, '"');
        if (!units || at != data.size()) {
            return std::nullopt;
        }
        units->push_back(u'\0');
        value.type = *stringType;
        value.data = StoreData(value.type, BytesOfUnits(*units));
        return value;
    }
    if (data.starts_with("dword:")) {
        const auto number = ParseHex32(data.substr(6));
        if (!number || data.size() - 6 > 8) {
            return std::nullopt;
        }
        value.type = registry::REG_DWORD;
        for (int shift = 0; shift < 32; shift += 8) {
            value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
        }
        return value;
    }
    std::size_t bytesAt = 0;
    if (data.starts_with("hex:")) {
        value.type = registry::REG_BINARY;
        bytesAt = 4;
    } else if (data.starts_with("hex(")) {
        const std::size_t close = data.find("):");
        const auto type =
            close == std::string_view::npos ? std::nullopt : ParseHex32(data.substr(4, close - 4));
        if (!type) {
            return std::nullopt;
        }
        value.type = *type;
        bytesAt = close + 2;
    } else {
        return std::nullopt;
    }
    const auto bytes = ParseHexBytes(data.substr(bytesAt));
    if (!bytes) {
        return std::nullopt;
    }
    value.data = StoreData(value.type, *bytes);
    return value;
}

std::string RenderValue(const ValueLine& value) {
    std::string out;
    if (value.name.empty()) {
        out = "@=";
    } else {
        out = "\"" + EscapeUnits(Utf16FromText(value.name), "\"") + "\"=";
    }
    const std::vector<std::uint8_t> data = WineData(value.type, value.data);
    if (registry::IsStringType(value.type) && data.size() >= 2 && data.size() % 2 == 0 &&
        data[data.size() - 1] == 0 && data[data.size() - 2] == 0) {
        if (value.type != registry::REG_SZ) {
            out += "str(" + Hex(value.type) + "):";
        }
        const std::u16string units = UnitsOfBytes(std::span(data).first(data.size() - 2));
        out += "\"" + EscapeUnits(units, "\"") + "\"\n";
        return out;
    }
    if (value.type == registry::REG_DWORD && data.size() == 4) {
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x",
                      static_cast<unsigned>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                            (static_cast<std::uint32_t>(data[3]) << 24)));
        return out + text + "\n";
    }
    out += value.type == registry::REG_BINARY ? "hex:" : "hex(" + Hex(value.type) + "):";
    int count = static_cast<int>(out.size());
    char byte[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, "%02x", data[i]);
        out += byte;
        count += 2;
        if (i + 1 < data.size()) {
            out += ',';
            if (++count > kHexLineLimit) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    return out + "\n";
}

std::optional<KeyLine> ParseKeyLine(std::string_view line) {
    if (!line.starts_with('[')) {
        return std::nullopt;
    }
    std::size_t pos = 1;
    const auto path = UnescapeUntil(line, pos, ']');
    if (!path) {
        return std::nullopt;
    }
    KeyLine key;
    std::size_t start = 0;
    while (start <= path->size()) {
        std::size_t end = path->find(u'\\', start);
        if (end == std::u16string::npos) {
            end = path->size();
        }
        if (end > start) {
            key.names.push_back(
                TextFromUtf16(std::u16string_view(*path).substr(start, end - start)));
        }
        start = end + 1;
    }
    std::string_view rest = line.substr(pos);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) {
        rest.remove_prefix(1);
    }
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == '\r' || rest.back() == ' ')) {
        rest.remove_suffix(1);
    }
    std::uint32_t seconds = 0;
    if (const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), seconds);
        ec == std::errc() && end == rest.data() + rest.size()) {
        key.seconds = seconds;
    }
    return key;
}

std::string RenderKeyLine(const KeyLine& key) {
    std::string out = "[";
    for (std::size_t i = 0; i < key.names.size(); ++i) {
        if (i > 0) {
            out += "\\\\";
        }
        out += EscapeUnits(Utf16FromText(key.names[i]), "[]");
    }
    out += "]";
    if (key.seconds) {
        out += " " + std::to_string(*key.seconds);
    }
    return out + "\n";
}

std::string RenderTimeLine(std::uint64_t filetime) {
    char text[48];
    std::snprintf(text, sizeof text, "#time=%x%08x\n", static_cast<unsigned>(filetime >> 32),
                  static_cast<unsigned>(filetime & 0xFFFFFFFFu));
    return text;
}

std::optional<std::uint64_t> ParseTimeLine(std::string_view line) {
    if (!line.starts_with("#time=")) {
        return std::nullopt;
    }
    line.remove_prefix(6);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value, 16);
    if (ec != std::errc() || end != line.data() + line.size() || line.empty()) {
        return std::nullopt;
    }
    return value;
}

std::uint32_t SecondsOf(std::uint64_t filetime) {
    return static_cast<std::uint32_t>((filetime - kTicks1601To1970) / kTicksPerSecond);
}

}  // namespace wine
