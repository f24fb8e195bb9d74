#include "platform/win32/ntdll/LastError.h"

#include <cerrno>
#include <utility>

#include "platform/automation/Errors.h"

namespace win32 {
namespace {

thread_local DWORD tLastError = ERROR_SUCCESS;

struct ErrnoMapping {
    int err;
    DWORD code;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {0, ERROR_SUCCESS},
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {EEXIST, ERROR_FILE_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_QUOTA_EXCEEDED},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {EBUSY, ERROR_BUSY},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {ENOTSUP, ERROR_NOT_SUPPORTED},
    {ELOOP, ERROR_CANT_RESOLVE_FILENAME},
    {EIO, ERROR_IO_DEVICE},
    {ENXIO, ERROR_NOT_READY},
    {ENODEV, ERROR_NOT_READY},
    {ENOMEDIUM, ERROR_NOT_READY},
    {EBADF, ERROR_INVALID_HANDLE},
};

}  // namespace

DWORD GetLastError() {
    return tLastError;
}

void SetLastError(DWORD code) {
    tLastError = code;
}

DWORD Win32ErrorFromErrno(int err) {
    for (const auto& mapping : kErrnoTable) {
        if (mapping.err == err) {
            return mapping.code;
        }
    }
    return ERROR_GEN_FAILURE;
}

void SetLastErrorFromErrno(int err) {
    SetLastError(Win32ErrorFromErrno(err));
}

void RaiseLastError(std::string source) {
    automation::Raise(automation::RunTimeErrorFromWin32(GetLastError()), std::move(source));
}

}  // namespace win32
