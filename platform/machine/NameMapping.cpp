#include "platform/machine/NameMapping.h"

#include <algorithm>
#include <unordered_map>

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
        } else if (cp >= kMappedBase + 0x80 && cp <= kMappedBase + 0xFF) {
            out += static_cast<char>(cp - kMappedBase);
        } else {
            out.append(windowsName.substr(pos, len));
        }
        pos += len;
    }
    return out;
}

std::string RawWindowsName(std::string_view hostName) {
    std::string out;
    out.reserve(hostName.size() * 3);
    for (const char c : hostName) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || IsForbiddenInWindowsName(b)) {
            text::AppendUtf8(out, kMappedBase + b);
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::size_t> ShadowedEntries(std::span<const std::string_view> hostNames,
                                         std::span<const std::string_view> windowsNames) {
    // Only a name beyond plain ASCII can read like another: the rest need no look.
    std::unordered_map<std::string_view, std::size_t> byHost;
    std::unordered_map<std::string_view, std::size_t> smallestReading;
    for (std::size_t i = 0; i < hostNames.size(); ++i) {
        if (windowsNames[i] == hostNames[i] &&
            std::all_of(hostNames[i].begin(), hostNames[i].end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            continue;
        }
        byHost.emplace(hostNames[i], i);
        const auto [at, added] = smallestReading.emplace(windowsNames[i], i);
        if (!added && hostNames[i] < hostNames[at->second]) {
            at->second = i;
        }
    }
    std::vector<std::size_t> shadowed;
    for (const auto& [host, i] : byHost) {
        const auto literal = WindowsNameToHost(windowsNames[i]);
        if (literal && *literal == host) {
            continue;
        }
        const auto own = literal ? byHost.find(*literal) : byHost.end();
        const bool elsewhere = own != byHost.end() || smallestReading.at(windowsNames[i]) != i;
        if (elsewhere) {
            shadowed.push_back(i);
        }
    }
    std::sort(shadowed.begin(), shadowed.end());
    return shadowed;
}

}  // namespace machine
