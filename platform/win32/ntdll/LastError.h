#pragma once
// The calling thread's last error, as GetLastError reports it. SetLastError is the only place
// that writes it; POSIX failures reach it through the one errno table below.

#include <string>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

DWORD GetLastError();
void SetLastError(DWORD code);

// The Win32 code Windows gives for the failure an errno value describes.
DWORD Win32ErrorFromErrno(int err);
void SetLastErrorFromErrno(int err);

// Raises the run-time error the old runtime gave for the calling thread's last error
// (ERROR_FILE_NOT_FOUND -> 53, ERROR_ACCESS_DENIED -> 70, ...), with this source.
[[noreturn]] void RaiseLastError(std::string source);

}  // namespace win32
