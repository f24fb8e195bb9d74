#pragma once
// Copying, deleting and moving files and creating and removing folders on the current
// machine, with the results and error codes Windows gives. A read-only file is protected as
// Windows protects it (it is neither deleted nor overwritten), whatever the host's permissions
// would allow. Nothing ever removes or replaces a drive's root folder.

#include <optional>
#include <string_view>

#include "platform/win32/kernel32/Paths.h"
#include "platform/win32/ntdll/HostFiles.h"
#include "platform/win32/ntdll/WinError.h"

namespace win32 {

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
inline constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
inline constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;
inline constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// Copies contents, attributes and last-write time; the new file appears whole or not at all.
// With `failIfExists` an existing target gives ERROR_FILE_EXISTS.
bool CopyFileA(std::string_view existingFile, std::string_view newFile, bool failIfExists);
bool DeleteFileA(std::string_view file);
// A file or folder; files may cross drives (copied, then deleted).
bool MoveFileA(std::string_view existing, std::string_view newName);
// `newName` may be absent only with MOVEFILE_DELAY_UNTIL_REBOOT (delete at the next start).
bool MoveFileExA(std::string_view existing, std::optional<std::string_view> newName, DWORD flags);
bool CreateDirectoryA(std::string_view path);
bool RemoveDirectoryA(std::string_view path);

namespace detail {

// MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT does nothing now: it records the operation for
// the machine's next start. That record belongs to the restart-move service, which installs
// its handler here; until one is installed such calls fail with ERROR_NOT_SUPPORTED.
using RestartMoveHandler = bool (*)(std::string_view existing,
                                    std::optional<std::string_view> newName, DWORD flags);
// Returns the handler installed before.
RestartMoveHandler SetRestartMoveHandler(RestartMoveHandler handler);

// What CopyFileA copies from and to, once its checks have passed (the source exists and is
// no folder; the target is no drive root and, when it exists, may be replaced); nullopt with
// the last error set when they do not.
struct CopyPlan {
    Target from;
    host::FileStat fromStat;
    Target to;
};
std::optional<CopyPlan> PlanCopy(std::string_view existingFile, std::string_view newFile,
                                 bool failIfExists);

}  // namespace detail
}  // namespace win32
