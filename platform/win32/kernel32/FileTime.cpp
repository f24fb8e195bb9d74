#include "platform/win32/kernel32/FileTime.h"

#include "platform/win32/ntdll/LastError.h"

namespace win32 {
namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kTicksPerDay = kTicksPerSecond * 86'400;
// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600;
// FileTimeToSystemTime refuses values with the top bit set.
constexpr std::uint64_t kMaxFileTime = 0x7FFF'FFFF'FFFF'FFFFull;

// Days since 1970-01-01 of a civil date and back (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

std::optional<FILETIME> Shifted(FILETIME time, std::int64_t seconds) {
    const auto value = static_cast<std::int64_t>(time.quad()) + seconds * kTicksPerSecond;
    if (time.quad() > kMaxFileTime || value < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    SetLastError(ERROR_SUCCESS);
    return FILETIME::FromQuad(static_cast<std::uint64_t>(value));
}

}  // namespace

FILETIME FileTimeFromUnix(const timespec& time) {
    const std::int64_t ticks =
        (static_cast<std::int64_t>(time.tv_sec) + kUnixEpochSeconds) * kTicksPerSecond +
        time.tv_nsec / 100;
    return FILETIME::FromQuad(ticks < 0 ? 0 : static_cast<std::uint64_t>(ticks));
}

timespec UnixFromFileTime(FILETIME time) {
    const auto ticks = static_cast<std::int64_t>(time.quad() & kMaxFileTime);
    return timespec{static_cast<time_t>(ticks / kTicksPerSecond - kUnixEpochSeconds),
                    static_cast<long>((ticks % kTicksPerSecond) * 100)};
}

std::optional<FILETIME> FileTimeToLocalFileTime(FILETIME utc) {
    const time_t seconds = UnixFromFileTime(utc).tv_sec;
    tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    return Shifted(utc, local.tm_gmtoff);
}

std::optional<FILETIME> LocalFileTimeToFileTime(FILETIME local) {
    // The offset is the one in force at the UTC instant that shows this local time.
    const time_t localSeconds = UnixFromFileTime(local).tv_sec;
    tm fields{};
    if (gmtime_r(&localSeconds, &fields) == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    fields.tm_isdst = -1;
    const time_t utcSeconds = mktime(&fields);
    return Shifted(local, static_cast<std::int64_t>(utcSeconds) - localSeconds);
}

std::optional<SYSTEMTIME> FileTimeToSystemTime(FILETIME time) {
    if (time.quad() > kMaxFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const auto ticks = static_cast<std::int64_t>(time.quad());
    const std::int64_t days = ticks / kTicksPerDay;
    std::int64_t rest = ticks % kTicksPerDay;
    std::int64_t year;
    unsigned month;
    unsigned day;
    CivilFromDays(days + DaysFromCivil(1601, 1, 1), year, month, day);
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    // 1 January 1601 was a Monday.
    st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);
    st.wHour = static_cast<WORD>(rest / (kTicksPerSecond * 3600));
    rest %= kTicksPerSecond * 3600;
    st.wMinute = static_cast<WORD>(rest / (kTicksPerSecond * 60));
    rest %= kTicksPerSecond * 60;
    st.wSecond = static_cast<WORD>(rest / kTicksPerSecond);
    st.wMilliseconds = static_cast<WORD>(rest % kTicksPerSecond / 10'000);
    SetLastError(ERROR_SUCCESS);
    return st;
}

std::optional<FILETIME> SystemTimeToFileTime(const SYSTEMTIME& st) {
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59 || st.wMilliseconds > 999) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    const std::int64_t days =
        DaysFromCivil(st.wYear, st.wMonth, st.wDay) - DaysFromCivil(1601, 1, 1);
    const std::int64_t ticks = days * kTicksPerDay +
                               ((st.wHour * 60 + st.wMinute) * 60 + st.wSecond) * kTicksPerSecond +
                               static_cast<std::int64_t>(st.wMilliseconds) * 10'000;
    SetLastError(ERROR_SUCCESS);
    return FILETIME::FromQuad(static_cast<std::uint64_t>(ticks));
}

}  // namespace win32
