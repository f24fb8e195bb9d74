#pragma once
// File attributes as Windows reports them. Directory comes from the file type and read-only
// from the mode (no write bit at all); hidden, system and archive are kept in the extended
// attribute user.DOSATTRIB as the text "0x" + hex. A file without that attribute reads
// archive, a folder reads directory only, and a name starting with "." adds hidden. Where the
// file system has no user extended attributes, the defaults are all there is and
// SetFileAttributesA fails with ERROR_NOT_SUPPORTED for anything else.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/win32/kernel32/FileTime.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;
inline constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x800;

// Signed, as the automation callers hand the value on: -1 is the DWORD 0xFFFFFFFF.
inline constexpr std::int32_t INVALID_FILE_ATTRIBUTES = -1;

// The attribute word, or INVALID_FILE_ATTRIBUTES with the last error set (ERROR_FILE_NOT_FOUND
// for a missing file, ERROR_PATH_NOT_FOUND for a missing folder on the way).
std::int32_t GetFileAttributesA(std::string_view path);
// Whether GetFileAttributesA(path) would give more than the folder and volume-label bits
// (or 0): true for every file without reading its stored attributes, which only a folder's
// answer depends on.
bool AttributesBeyondFolder(std::string_view path);

// Sets read-only (through the mode), hidden, system and archive; FILE_ATTRIBUTE_NORMAL alone
// clears them. Other bits are ignored, as Windows ignores them.
bool SetFileAttributesA(std::string_view path, DWORD attributes);

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes = 0;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    std::uint64_t nFileSize = 0;  // 0 for folders
};
std::optional<WIN32_FILE_ATTRIBUTE_DATA> GetFileAttributesExA(std::string_view path);

bool IsReadOnlyMode(mode_t mode);

namespace detail {

// The attributes of a host entry whose Windows name is `name`.
DWORD AttributesOf(const std::filesystem::path& hostPath, const host::FileStat& st,
                   std::string_view name);
WIN32_FILE_ATTRIBUTE_DATA AttributeDataOf(const std::filesystem::path& hostPath,
                                          const host::FileStat& st, std::string_view name);
// Copies user.DOSATTRIB; a source without it, or a file system without extended attributes,
// is not a failure. Returns 0 or an errno.
int CopyDosAttributes(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace detail
}  // namespace win32
