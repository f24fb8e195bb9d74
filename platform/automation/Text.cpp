#include "platform/automation/Text.h"

namespace automation {
namespace {

// Strict UTF-8 decoding: no overlong forms, no surrogates, nothing above U+10FFFF.
bool DecodeUtf8(std::string_view text, std::size_t& pos, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        codePoint = lead;
        ++pos;
        return true;
    }
    int length = 0;
    char32_t min = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
        min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
        min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
        min = 0x10000;
    } else {
        return false;
    }
    if (pos + static_cast<std::size_t>(length) > text.size()) {
        return false;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            return false;
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return false;
    }
    pos += static_cast<std::size_t>(length);
    return true;
}

char32_t Upper(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - 32;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return c - 32;
    }
    switch (c) {
        case 0xFF:
            return 0x178;
        case 0x161:
            return 0x160;
        case 0x153:
            return 0x152;
        case 0x17E:
            return 0x17D;
        default:
            return c;
    }
}

char32_t Lower(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return c + 32;
    }
    switch (c) {
        case 0x178:
            return 0xFF;
        case 0x160:
            return 0x161;
        case 0x152:
            return 0x153;
        case 0x17D:
            return 0x17E;
        default:
            return c;
    }
}

// The upper-case form of a text byte by byte, without building it.
class UpperBytes {
  public:
    explicit UpperBytes(std::string_view text) : text_(text) {}

    // The next byte, or -1 after the last.
    int Next() {
        if (at_ == length_) {
            if (pos_ >= text_.size()) {
                return -1;
            }
            Fill();
        }
        return static_cast<unsigned char>(bytes_[at_++]);
    }

  private:
    void Fill() {
        const std::size_t start = pos_;
        char32_t c = 0;
        at_ = 0;
        if (!DecodeUtf8(text_, pos_, c)) {
            bytes_[0] = text_[pos_++];
            length_ = 1;
            return;
        }
        const char32_t upper = Upper(c);
        if (upper == c) {
            length_ = pos_ - start;
            text_.copy(bytes_, length_, start);
            return;
        }
        std::string encoded;
        AppendUtf8(encoded, upper);
        length_ = encoded.copy(bytes_, sizeof bytes_);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    char bytes_[4] = {};
    std::size_t length_ = 0;
    std::size_t at_ = 0;
};

template <class Map>
std::string MapCase(std::string_view text, Map map) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t c = 0;
        const std::size_t start = pos;
        if (DecodeUtf8(text, pos, c)) {
            const char32_t mapped = map(c);
            if (mapped == c) {
                out.append(text.substr(start, pos - start));
            } else {
                AppendUtf8(out, mapped);
            }
        } else {
            out.push_back(text[pos++]);
        }
    }
    return out;
}

}  // namespace

std::string UCase(std::string_view text) {
    return MapCase(text, Upper);
}
std::string LCase(std::string_view text) {
    return MapCase(text, Lower);
}

std::string_view LTrim(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

std::string_view RTrim(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

std::string_view Trim(std::string_view text) {
    return RTrim(LTrim(text));
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    UpperBytes upperA(a);
    UpperBytes upperB(b);
    for (;;) {
        const int x = upperA.Next();
        const int y = upperB.Next();
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x < 0) {
            return 0;
        }
    }
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    // Every letter and its partner take the same number of bytes, so texts of different
    // lengths never match.
    return a == b || (a.size() == b.size() && CompareIgnoreCase(a, b) == 0);
}

bool IsValidUtf8(std::string_view text) {
    std::size_t pos = 0;
    char32_t c = 0;
    while (pos < text.size()) {
        if (!DecodeUtf8(text, pos, c)) {
            return false;
        }
    }
    return true;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = 0xFFFD;
    }
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

char32_t CodePointFromWindows1252(std::uint8_t byte) {
    // 0x80..0x9F; the five codes Windows-1252 leaves undefined keep their own value.
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    return byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char32_t{byte};
}

std::string TextFromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char b : bytes) {
        AppendUtf8(out, CodePointFromWindows1252(static_cast<std::uint8_t>(b)));
    }
    return out;
}

std::string TextFromFileBytes(std::string_view bytes) {
    if (!IsValidUtf8(bytes)) {
        return TextFromWindows1252(bytes);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    char32_t c = 0;
    if (DecodeUtf8(text, pos, c)) {
        return c;
    }
    return CodePointFromWindows1252(static_cast<std::uint8_t>(text[pos++]));
}

}  // namespace automation
