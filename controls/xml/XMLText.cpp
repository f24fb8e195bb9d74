#include "controls/xml/XMLText.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <optional>

#include "platform/automation/Text.h"

namespace Qz_XML {
namespace {

// The longest name of the tables, "&" and ";" included ("&brkbar;").
constexpr std::size_t kLongestName = 8;
// Numeric references may be longer: "&#1114111;" and "&#x10FFFF;".
constexpr std::size_t kLongestNumber = 12;

struct Entity {
    std::string_view name;  // "&" and the name, no ";"
    char32_t code;
};

constexpr Entity kBasic[] = {
    {"&quot", U'"'}, {"&lt", U'<'}, {"&gt", U'>'}, {"&amp", U'&'}, {"&apos", U'\''},
};

// HTML 4 names of the ISO 8859-1 codes 160..255, in code order.
constexpr std::array<std::string_view, 96> kLatin1 = {
    "&nbsp",   "&iexcl",  "&cent",   "&pound",  "&curren", "&yen",    "&brvbar", "&sect",
    "&uml",    "&copy",   "&ordf",   "&laquo",  "&not",    "&shy",    "&reg",    "&macr",
    "&deg",    "&plusmn", "&sup2",   "&sup3",   "&acute",  "&micro",  "&para",   "&middot",
    "&cedil",  "&sup1",   "&ordm",   "&raquo",  "&frac14", "&frac12", "&frac34", "&iquest",
    "&Agrave", "&Aacute", "&Acirc",  "&Atilde", "&Auml",   "&Aring",  "&AElig",  "&Ccedil",
    "&Egrave", "&Eacute", "&Ecirc",  "&Euml",   "&Igrave", "&Iacute", "&Icirc",  "&Iuml",
    "&ETH",    "&Ntilde", "&Ograve", "&Oacute", "&Ocirc",  "&Otilde", "&Ouml",   "&times",
    "&Oslash", "&Ugrave", "&Uacute", "&Ucirc",  "&Uuml",   "&Yacute", "&THORN",  "&szlig",
    "&agrave", "&aacute", "&acirc",  "&atilde", "&auml",   "&aring",  "&aelig",  "&ccedil",
    "&egrave", "&eacute", "&ecirc",  "&euml",   "&igrave", "&iacute", "&icirc",  "&iuml",
    "&eth",    "&ntilde", "&ograve", "&oacute", "&ocirc",  "&otilde", "&ouml",   "&divide",
    "&oslash", "&ugrave", "&uacute", "&ucirc",  "&uuml",   "&yacute", "&thorn",  "&yuml",
};

constexpr Entity kExtra[] = {{"&brkbar", 166}, {"&die", 168}, {"&hibar", 175}};

bool IsUnicodeScalar(std::uint32_t code) {
    return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

std::optional<char32_t> NumericReference(std::string_view reference) {
    std::string_view digits = reference.substr(2);
    int base = 10;
    if (!digits.empty() && (digits[0] == 'x' || digits[0] == 'X')) {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t code = 0;
    for (const char c : digits) {
        const auto u = static_cast<unsigned char>(c);
        int digit = 0;
        if (std::isdigit(u)) {
            digit = c - '0';
        } else if (base == 16 && std::isxdigit(u)) {
            digit = std::toupper(u) - 'A' + 10;
        } else {
            return std::nullopt;
        }
        code = code * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (!IsUnicodeScalar(code)) {
        return std::nullopt;
    }
    // Codes 128 to 159 are characters of the system's code page (&#146; is the apostrophe
    // that a raw byte 146 stands for), not the C1 control characters of Unicode.
    if (code >= 128 && code <= 159) {
        return automation::CodePointFromWindows1252(static_cast<std::uint8_t>(code));
    }
    return static_cast<char32_t>(code);
}

std::optional<char32_t> NamedReference(std::string_view reference) {
    for (const auto& entity : kBasic) {
        if (entity.name.starts_with(reference)) {
            return entity.code;
        }
    }
    for (std::size_t n = 0; n < kLatin1.size(); ++n) {
        if (kLatin1[n].starts_with(reference)) {
            return static_cast<char32_t>(160 + n);
        }
    }
    for (const auto& entity : kExtra) {
        if (entity.name.starts_with(reference)) {
            return entity.code;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string ConvertText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const char32_t c = automation::NextCodePoint(text, pos);
        if (c < 32 || c == U'"' || c == U'&' || c == U'<' || c == U'>' || (c >= 160 && c <= 255)) {
            out += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
        } else if (pos - start == 1 && static_cast<unsigned char>(text[start]) >= 0x80) {
            // A stray byte stands for its Windows-1252 character; keep the file UTF-8.
            automation::AppendUtf8(out, c);
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

std::string EscapeAngles(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '>') {
            out += "&gt;";
        } else if (c == '<') {
            out += "&lt;";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string UnConvertText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '&') {
            out.push_back(text[i++]);
            continue;
        }
        const bool numeric = text.substr(i, 2) == "&#";
        const std::size_t window = numeric ? kLongestNumber : kLongestName;
        const std::size_t semicolon = text.substr(i, window).find(';');
        if (semicolon == std::string_view::npos) {
            out.push_back(text[i++]);
            continue;
        }
        const std::string_view reference = text.substr(i, semicolon);
        std::optional<char32_t> decoded;
        if (numeric) {
            decoded = NumericReference(reference);
        }
        if (!decoded) {
            decoded = NamedReference(reference);
        }
        if (decoded) {
            automation::AppendUtf8(out, *decoded);
        } else {
            out.append(reference);
        }
        i += semicolon + 1;
    }
    return out;
}

}  // namespace Qz_XML
