#pragma once
// FILETIME values (100-nanosecond intervals since 1 January 1601 UTC) and their conversions.
// Local time is the host's time zone, taken at the instant converted (so a summer date gets
// the summer offset).

#include <cstdint>
#include <ctime>
#include <optional>

#include "platform/win32/ntdll/WinError.h"

namespace win32 {

struct FILETIME {
    DWORD dwLowDateTime = 0;
    DWORD dwHighDateTime = 0;

    std::uint64_t quad() const {
        return (static_cast<std::uint64_t>(dwHighDateTime) << 32) | dwLowDateTime;
    }
    static FILETIME FromQuad(std::uint64_t value) {
        return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
    }
    friend bool operator==(const FILETIME&, const FILETIME&) = default;
};

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;
    WORD wDayOfWeek = 0;
    WORD wDay = 0;
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
    friend bool operator==(const SYSTEMTIME&, const SYSTEMTIME&) = default;
};

// Host time (seconds and nanoseconds since 1970) to FILETIME and back.
FILETIME FileTimeFromUnix(const timespec& time);
timespec UnixFromFileTime(FILETIME time);

// Fail with ERROR_INVALID_PARAMETER when the result would fall before 1601 or beyond the
// range Windows accepts.
std::optional<FILETIME> FileTimeToLocalFileTime(FILETIME utc);
std::optional<FILETIME> LocalFileTimeToFileTime(FILETIME local);
std::optional<SYSTEMTIME> FileTimeToSystemTime(FILETIME time);
std::optional<FILETIME> SystemTimeToFileTime(const SYSTEMTIME& time);

}  // namespace win32
