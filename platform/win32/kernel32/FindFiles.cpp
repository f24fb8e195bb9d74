#include "platform/win32/kernel32/FindFiles.h"

#include "platform/machine/NameMapping.h"
#include "platform/machine/Text.h"
#include "platform/win32/kernel32/FileAttributes.h"
#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

// Wildcards after the translation Windows applies before matching.
constexpr char32_t kDosStar = 0x110001;  // "*" before a dot: stops at the last dot
constexpr char32_t kDosQm = 0x110002;    // "?": one character, or none before a dot or the end
constexpr char32_t kDosDot = 0x110003;   // "." before a wildcard: a dot, or nothing at the end

std::u32string CodePoints(std::string_view utf8) {
    std::u32string out;
    for (size_t pos = 0; pos < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[pos]);
        const size_t len = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : 4;
        char32_t cp = len == 1 ? b0 : b0 & (0x7F >> len);
        for (size_t i = 1; i < len && pos + i < utf8.size(); ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[pos + i]) & 0x3F);
        }
        out += cp;
        pos += len;
    }
    return out;
}

std::u32string TranslatePattern(std::string_view pattern) {
    std::string trimmed(pattern);
    while (trimmed.ends_with('.')) {
        trimmed.pop_back();
    }
    if (trimmed == "*.*") {
        return U"*";
    }
    const std::u32string in = CodePoints(machine::text::FoldCase(pattern));
    std::u32string out;
    for (size_t i = 0; i < in.size(); ++i) {
        const char32_t next = i + 1 < in.size() ? in[i + 1] : 0;
        if (in[i] == '?') {
            out += kDosQm;
        } else if (in[i] == '*' && next == '.') {
            out += kDosStar;
        } else if (in[i] == '.' && (next == '?' || next == '*')) {
            out += kDosDot;
        } else {
            out += in[i];
        }
    }
    // Trailing dots go, as path normalisation drops them.
    while (!out.empty() && out.back() == '.') {
        out.pop_back();
    }
    return out;
}

bool Match(const std::u32string& p, const std::u32string& n) {
    const size_t lastDot = n.rfind('.');
    // memo[pi * (n.size() + 1) + ni]: 0 unknown, 1 no, 2 yes.
    std::vector<unsigned char> memo((p.size() + 1) * (n.size() + 1), 0);
    const auto at = [&](auto&& self, size_t pi, size_t ni) -> bool {
        unsigned char& slot = memo[pi * (n.size() + 1) + ni];
        if (slot != 0) {
            return slot == 2;
        }
        bool result;
        const bool end = ni == n.size();
        if (pi == p.size()) {
            result = end;
        } else if (p[pi] == '*') {
            result = self(self, pi + 1, ni) || (!end && self(self, pi, ni + 1));
        } else if (p[pi] == kDosStar) {
            const bool mayEat = !end && (lastDot == std::u32string::npos || ni < lastDot);
            result = self(self, pi + 1, ni) || (mayEat && self(self, pi, ni + 1));
        } else if (p[pi] == kDosQm) {
            result = (end || n[ni] == '.') ? self(self, pi + 1, ni) : self(self, pi + 1, ni + 1);
        } else if (p[pi] == kDosDot) {
            result = end ? self(self, pi + 1, ni) : (n[ni] == '.' && self(self, pi + 1, ni + 1));
        } else {
            result = !end && n[ni] == p[pi] && self(self, pi + 1, ni + 1);
        }
        slot = result ? 2 : 1;
        return result;
    };
    return at(at, 0, 0);
}

bool HasWildcard(std::string_view name) {
    return name.find_first_of("*?") != std::string::npos;
}

bool PassesMask(DWORD attributes, DWORD mask) {
    constexpr DWORD kSelective =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    return (attributes & kSelective & ~mask) == 0;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::optional<WIN32_FIND_DATAA> EntryOf(const std::filesystem::path& hostPath, std::string name,
                                        std::string shortName) {
    host::FileStat st;
    // Gone since the folder was read, or a link to nowhere: not an entry. Neither is a FIFO,
    // socket or device: Windows folders hold files and folders only.
    if (host::Stat(hostPath, st) != 0 || (!st.isRegular && !st.isDirectory)) {
        return std::nullopt;
    }
    const auto data = detail::AttributeDataOf(hostPath, st, name);
    WIN32_FIND_DATAA entry;
    entry.dwFileAttributes = data.dwFileAttributes;
    entry.ftCreationTime = data.ftCreationTime;
    entry.ftLastAccessTime = data.ftLastAccessTime;
    entry.ftLastWriteTime = data.ftLastWriteTime;
    entry.nFileSize = data.nFileSize;
    entry.cFileName = std::move(name);
    entry.cAlternateFileName = std::move(shortName);
    return entry;
}

std::optional<std::vector<WIN32_FIND_DATAA>> Finish(std::vector<WIN32_FIND_DATAA> found) {
    SetLastError(found.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
    return found;
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    return WildcardPattern(pattern).Matches(name);
}

WildcardPattern::WildcardPattern(std::string_view pattern) : compiled_(TranslatePattern(pattern)) {
    matchesEverything_ = compiled_ == U"*";
    // "*" may eat anything, and a "*" before a dot may eat anything up to the name's last dot,
    // which lies at or after the start of a tail that begins with a dot; either way the name
    // matches exactly when it ends with the tail. No character outside ASCII folds into ASCII,
    // so an ASCII tail compares byte by byte.
    if (compiled_.size() < 2 || (compiled_[0] != '*' && compiled_[0] != kDosStar) ||
        (compiled_[0] == kDosStar && compiled_[1] != '.')) {
        return;
    }
    std::string tail;
    for (size_t i = 1; i < compiled_.size(); ++i) {
        const char32_t c = compiled_[i];
        if (c >= 0x80 || c == '*') {
            return;
        }
        tail += static_cast<char>(c);
    }
    asciiTail_ = std::move(tail);
}

bool WildcardPattern::Matches(std::string_view name) const {
    if (matchesEverything_) {
        return true;
    }
    if (asciiTail_) {
        const std::string& tail = *asciiTail_;
        if (name.size() < tail.size()) {
            return false;
        }
        const std::string_view end = name.substr(name.size() - tail.size());
        for (size_t i = 0; i < tail.size(); ++i) {
            const char c = end[i];
            if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 0x20) : c) != tail[i]) {
                return false;
            }
        }
        return true;
    }
    return Match(compiled_, CodePoints(machine::text::FoldCase(name)));
}

std::optional<std::vector<WIN32_FIND_DATAA>> FindFiles(std::string_view pattern,
                                                       DWORD attributeMask) {
    size_t split = pattern.size();
    while (split > 0 && !IsSeparator(pattern[split - 1])) {
        --split;
    }
    std::string folder(pattern.substr(0, split));
    std::string name(pattern.substr(split));
    if (split == 0 && name.size() >= 2 && name[1] == ':') {
        folder = name.substr(0, 2);
        name = name.substr(2);
    }
    const bool listFolder = name.empty();
    if (listFolder) {
        name = "*";
    }
    if (name.find_first_of(":|<>\"") != std::string::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return std::nullopt;
    }

    if (!HasWildcard(name)) {
        const auto target = detail::Resolve(pattern);
        if (!target) {
            return std::nullopt;
        }
        std::vector<WIN32_FIND_DATAA> found;
        if (target->exists && !target->isRoot()) {
            int err = 0;
            const auto named = target->machine->paths().Find(
                target->host.parent_path(), target->windows.components.back(), err);
            auto entry = EntryOf(target->host, target->windows.components.back(),
                                 named ? named->shortName : std::string());
            if (entry && PassesMask(entry->dwFileAttributes, attributeMask)) {
                found.push_back(std::move(*entry));
            }
        }
        return Finish(std::move(found));
    }

    const auto dir = detail::Resolve(folder.empty() ? std::string(".") : folder);
    if (!dir) {
        return std::nullopt;
    }
    int err = 0;
    const auto listing = dir->exists ? dir->machine->paths().List(dir->host, err) : nullptr;
    if (!listing) {
        SetLastError(dir->exists && err != ENOTDIR ? Win32ErrorFromErrno(err)
                                                   : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }

    std::vector<WIN32_FIND_DATAA> found;
    if (listFolder && !dir->isRoot()) {
        const auto& parts = dir->windows.components;
        for (const char* dots : {".", ".."}) {
            const bool self = dots[1] == '\0';
            // Each carries the attributes of the folder it stands for.
            auto entry = EntryOf(self ? dir->host : dir->host.parent_path(),
                                 self               ? parts.back()
                                 : parts.size() > 1 ? parts[parts.size() - 2]
                                                    : std::string(),
                                 dots);
            if (entry && PassesMask(entry->dwFileAttributes, attributeMask)) {
                entry->cFileName = dots;
                found.push_back(std::move(*entry));
            }
        }
    }
    const WildcardPattern compiled(name);
    for (const machine::DirEntryName& item : *listing) {
        if (!compiled.Matches(item.windows)) {
            continue;
        }
        const auto hostPath = dir->host / item.host;
        if (item.mayBeLink && !machine::PathResolver::LeadsInside(hostPath, dir->driveRoot)) {
            continue;
        }
        auto entry = EntryOf(hostPath, item.windows, item.shortName);
        if (entry && PassesMask(entry->dwFileAttributes, attributeMask)) {
            found.push_back(std::move(*entry));
        }
    }
    return Finish(std::move(found));
}

}  // namespace win32
