#include "platform/machine/NameMapping.h"

#include "platform/machine/Text.h"

namespace machine {
namespace {

constexpr char32_t kMappedBase = 0xF000;

// Reads one UTF-8 code point; `len` 0 when the bytes are not UTF-8.
char32_t ReadCodePoint(std::string_view s, size_t pos, size_t& len) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        len = 1;
        return b0;
    }
    size_t n = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || pos + n > s.size() || !text::IsValidUtf8(s.substr(pos, n))) {
        len = 0;
        return 0;
    }
    char32_t cp = b0 & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(s[pos + i]) & 0x3F);
    }
    len = n;
    return cp;
}

}  // namespace

bool IsForbiddenInWindowsName(char32_t c) {
    switch (c) {
        case '\\':
        case '/':
        case ':':
        case '*':
        case '?':
        case '"':
        case '<':
        case '>':
        case '|':
            return true;
        default:
            return c < 32;
    }
}

std::string HostNameToWindows(std::string_view hostName) {
    const std::string decoded =
        text::IsValidUtf8(hostName) ? std::string(hostName) : text::Cp1252ToUtf8(hostName);
    std::string out;
    out.reserve(decoded.size());
    for (const char c : decoded) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80 && IsForbiddenInWindowsName(b)) {
            text::AppendUtf8(out, kMappedBase + b);
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> WindowsNameToHost(std::string_view windowsName) {
    if (windowsName.empty() || windowsName == "." || windowsName == "..") {
        return std::nullopt;
    }
    std::string out;
    out.reserve(windowsName.size());
    for (size_t pos = 0; pos < windowsName.size();) {
        size_t len;
        const char32_t cp = ReadCodePoint(windowsName, pos, len);
        if (len == 0) {
            return std::nullopt;
        }
        if (IsForbiddenInWindowsName(cp)) {
            return std::nullopt;
        }
        if (cp >= kMappedBase && IsForbiddenInWindowsName(cp - kMappedBase)) {
            const char32_t original = cp - kMappedBase;
            if (original == '/' || original == 0) {
                return std::nullopt;
            }
            out += static_cast<char>(original);
        } else {
            out.append(windowsName.substr(pos, len));
        }
        pos += len;
    }
    return out;
}

}  // namespace machine
