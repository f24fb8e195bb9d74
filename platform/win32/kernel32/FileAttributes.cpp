#include "platform/win32/kernel32/FileAttributes.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>

#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr DWORD kStoredBits =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The stored attribute text; values in other forms (a binary record) count as absent.
std::optional<DWORD> ParseDosAttrib(std::string_view text) {
    while (!text.empty() && text.back() == '\0') {
        text.remove_suffix(1);
    }
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return std::nullopt;
    }
    DWORD value = 0;
    const auto [end, ec] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

DWORD DefaultStoredBits(bool isDirectory, std::string_view name) {
    DWORD bits = isDirectory ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    if (name.starts_with('.')) {
        bits |= FILE_ATTRIBUTE_HIDDEN;
    }
    return bits;
}

std::string FormatDosAttrib(DWORD bits) {
    char buffer[16] = "0x";
    const auto [end, ec] = std::to_chars(buffer + 2, buffer + sizeof buffer, bits, 16);
    return std::string(buffer, ec == std::errc() ? end : buffer + 2);
}

}  // namespace

bool IsReadOnlyMode(mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

namespace detail {

DWORD AttributesOf(const std::filesystem::path& hostPath, const host::FileStat& st,
                   std::string_view name) {
    DWORD attributes = st.isDirectory ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (IsReadOnlyMode(st.mode)) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    std::string stored;
    std::optional<DWORD> bits;
    if (host::Xattrs().Get(hostPath, kDosAttrib, stored) == 0) {
        bits = ParseDosAttrib(stored);
    }
    attributes |= bits ? (*bits & kStoredBits) : DefaultStoredBits(st.isDirectory, name);
    return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

WIN32_FILE_ATTRIBUTE_DATA AttributeDataOf(const std::filesystem::path& hostPath,
                                          const host::FileStat& st, std::string_view name) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    data.dwFileAttributes = AttributesOf(hostPath, st, name);
    data.ftCreationTime = FileTimeFromUnix(st.creationTime);
    data.ftLastAccessTime = FileTimeFromUnix(st.accessTime);
    data.ftLastWriteTime = FileTimeFromUnix(st.writeTime);
    data.nFileSize = st.isDirectory ? 0 : st.size;
    return data;
}

int CopyDosAttributes(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::string stored;
    const int err = host::Xattrs().Get(from, kDosAttrib, stored);
    if (err == ENODATA || err == ENOTSUP) {
        return 0;
    }
    if (err != 0) {
        return err;
    }
    const int setErr = host::Xattrs().Set(to, kDosAttrib, stored);
    return setErr == ENOTSUP ? 0 : setErr;
}

}  // namespace detail

namespace {

// The entry's stat and Windows name; sets the last error when there is none.
std::optional<std::pair<detail::Target, host::FileStat>> StatExisting(std::string_view path) {
    auto target = detail::Resolve(path);
    if (!target) {
        return std::nullopt;
    }
    if (!target->exists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    host::FileStat st;
    if (const int err = target->Stat(st); err != 0) {
        SetLastErrorFromErrno(err);
        return std::nullopt;
    }
    return std::make_pair(std::move(*target), st);
}

std::string_view LastName(const detail::Target& target) {
    return target.isRoot() ? std::string_view() : target.windows.components.back();
}

}  // namespace

std::int32_t GetFileAttributesA(std::string_view path) {
    const auto found = StatExisting(path);
    if (!found) {
        return INVALID_FILE_ATTRIBUTES;
    }
    const auto& [target, st] = *found;
    return static_cast<std::int32_t>(detail::AttributesOf(target.host, st, LastName(target)));
}

bool AttributesBeyondFolder(std::string_view path) {
    const auto found = StatExisting(path);
    if (!found) {
        return false;
    }
    const auto& [target, st] = *found;
    if (!st.isDirectory) {
        // Without stored bits a file reads FILE_ATTRIBUTE_NORMAL.
        return true;
    }
    constexpr DWORD kFolderOrLabel = FILE_ATTRIBUTE_DIRECTORY | 8;
    const DWORD attributes = detail::AttributesOf(target.host, st, LastName(target));
    return (attributes & ~kFolderOrLabel) != 0;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> GetFileAttributesExA(std::string_view path) {
    const auto found = StatExisting(path);
    if (!found) {
        return std::nullopt;
    }
    const auto& [target, st] = *found;
    return detail::AttributeDataOf(target.host, st, LastName(target));
}

bool SetFileAttributesA(std::string_view path, DWORD attributes) {
    const auto found = StatExisting(path);
    if (!found) {
        return false;
    }
    const auto& [target, st] = *found;
    const DWORD wanted = attributes & kStoredBits;
    const int err = host::Xattrs().Set(target.host, kDosAttrib, FormatDosAttrib(wanted));
    if (err == ENOTSUP) {
        // Without extended attributes only the defaults can be had.
        if (wanted != DefaultStoredBits(st.isDirectory, LastName(target))) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return false;
        }
    } else if (err != 0) {
        SetLastErrorFromErrno(err);
        return false;
    }
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly != IsReadOnlyMode(st.mode)) {
        const mode_t mode =
            readOnly ? (st.mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (st.mode | S_IWUSR);
        if (const int modeErr = host::ChangeMode(target.host, mode & 07777); modeErr != 0) {
            SetLastErrorFromErrno(modeErr);
            return false;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

}  // namespace win32
