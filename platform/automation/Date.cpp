#include "platform/automation/Date.h"

#include <cerrno>
#include <cmath>

#include "platform/automation/Errors.h"

namespace automation {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
// Seconds from 1 Jan 1601 to 1 Jan 1970.
constexpr std::int64_t kFileTimeToUnixSeconds = 11'644'473'600;

// Days since 1 Jan 1970 of a proleptic Gregorian date (any month/day that civil arithmetic
// accepts; callers normalise first).
constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

// Day 0 of the automation calendar, 30 Dec 1899, in days since 1970.
constexpr std::int64_t kEpochDay = DaysFromCivil(1899, 12, 30);

// The serial of a whole day number and a time of day in seconds (0 <= seconds < 86400):
// negative days count backwards while the time still counts forwards into the day.
double SerialOf(std::int64_t day, double seconds) {
    const double fraction = seconds / static_cast<double>(kSecondsPerDay);
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

// Splits a serial into its day number and the time of day rounded to the second.
void Split(double serial, std::int64_t& day, std::int64_t& seconds) {
    if (!IsValidDate(serial)) {
        Raise(Overflow);
    }
    const double whole = std::trunc(serial);
    day = static_cast<std::int64_t>(whole);
    seconds = std::llround(std::fabs(serial - whole) * static_cast<double>(kSecondsPerDay));
    if (seconds >= kSecondsPerDay) {
        seconds -= kSecondsPerDay;
        ++day;
        if (day > static_cast<std::int64_t>(kMaxDateSerial)) {
            Raise(Overflow);
        }
    }
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

Date CheckedSerial(std::int64_t day, std::int64_t seconds) {
    const double serial = SerialOf(day, static_cast<double>(seconds));
    if (!IsValidDate(serial)) {
        Raise(InvalidProcedureCall);
    }
    return Date(serial);
}

}  // namespace

bool IsValidDate(double serial) {
    return std::isfinite(serial) && serial > kMinDateSerial - 1.0 && serial < kMaxDateSerial + 1.0;
}

DateParts PartsOf(Date date) {
    std::int64_t day = 0;
    std::int64_t seconds = 0;
    Split(date.serial, day, seconds);
    DateParts parts;
    CivilFromDays(day + kEpochDay, parts.year, parts.month, parts.day);
    parts.hour = static_cast<int>(seconds / 3600);
    parts.minute = static_cast<int>(seconds / 60 % 60);
    parts.second = static_cast<int>(seconds % 60);
    return parts;
}

Date DateFromParts(const DateParts& p) {
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59) {
        Raise(InvalidProcedureCall);
    }
    const std::int64_t day = DaysFromCivil(p.year, p.month, p.day) - kEpochDay;
    return CheckedSerial(day, std::int64_t{p.hour} * 3600 + p.minute * 60 + p.second);
}

Date DateSerial(int year, int month, int day) {
    std::int64_t y = year;
    if (y >= 0 && y <= 29) {
        y += 2000;
    } else if (y >= 30 && y <= 99) {
        y += 1900;
    }
    const std::int64_t months = y * 12 + (std::int64_t{month} - 1);
    const std::int64_t normalYear = months >= 0 ? months / 12 : (months - 11) / 12;
    const int normalMonth = static_cast<int>(months - normalYear * 12) + 1;
    if (normalYear < 100 || normalYear > 9999) {
        Raise(InvalidProcedureCall);
    }
    const std::int64_t days =
        DaysFromCivil(normalYear, normalMonth, 1) + (std::int64_t{day} - 1) - kEpochDay;
    return CheckedSerial(days, 0);
}

Date TimeSerial(int hour, int minute, int second) {
    const std::int64_t total = std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    const std::int64_t day =
        total >= 0 ? total / kSecondsPerDay : (total - kSecondsPerDay + 1) / kSecondsPerDay;
    return CheckedSerial(day, total - day * kSecondsPerDay);
}

int Year(Date date) {
    return PartsOf(date).year;
}
int Month(Date date) {
    return PartsOf(date).month;
}
int Day(Date date) {
    return PartsOf(date).day;
}
int Hour(Date date) {
    return PartsOf(date).hour;
}
int Minute(Date date) {
    return PartsOf(date).minute;
}
int Second(Date date) {
    return PartsOf(date).second;
}

int Weekday(Date date, VbDayOfWeek firstDayOfWeek) {
    std::int64_t day = 0;
    std::int64_t seconds = 0;
    Split(date.serial, day, seconds);
    if (firstDayOfWeek < vbUseSystemDayOfWeek || firstDayOfWeek > vbSaturday) {
        Raise(InvalidProcedureCall);
    }
    const int first = firstDayOfWeek == vbUseSystemDayOfWeek ? vbSunday : firstDayOfWeek;
    // Day 0 (30 Dec 1899) was a Saturday.
    const int sundayBased = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
    return (sundayBased - first + 7) % 7 + 1;
}

Date DateValue(Date date) {
    std::int64_t day = 0;
    std::int64_t seconds = 0;
    Split(date.serial, day, seconds);
    return Date(static_cast<double>(day));
}

Date TimeValue(Date date) {
    std::int64_t day = 0;
    std::int64_t seconds = 0;
    Split(date.serial, day, seconds);
    return Date(SerialOf(0, static_cast<double>(seconds)));
}

Date DateFromUnixTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&t, &local) == nullptr) {
        Raise(Overflow);
    }
    DateParts parts;
    parts.year = local.tm_year + 1900;
    parts.month = local.tm_mon + 1;
    parts.day = local.tm_mday;
    parts.hour = local.tm_hour;
    parts.minute = local.tm_min;
    // A leap second reads as the last second of its minute.
    parts.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    if (parts.year < 100 || parts.year > 9999) {
        Raise(Overflow);
    }
    return DateFromParts(parts);
}

std::int64_t UnixTimeFromDate(Date date) {
    const DateParts parts = PartsOf(date);
    std::tm local{};
    local.tm_year = parts.year - 1900;
    local.tm_mon = parts.month - 1;
    local.tm_mday = parts.day;
    local.tm_hour = parts.hour;
    local.tm_min = parts.minute;
    local.tm_sec = parts.second;
    local.tm_isdst = -1;
    errno = 0;
    const std::time_t t = mktime(&local);
    if (t == static_cast<std::time_t>(-1) && errno != 0) {
        Raise(Overflow);
    }
    return static_cast<std::int64_t>(t);
}

Date DateFromFileTimeUtc(std::uint64_t fileTime) {
    const auto seconds = static_cast<std::int64_t>(fileTime / kFileTimeTicksPerSecond);
    const std::int64_t day = seconds / kSecondsPerDay + DaysFromCivil(1601, 1, 1) - kEpochDay;
    const std::int64_t secondOfDay = seconds % kSecondsPerDay;
    if (day > static_cast<std::int64_t>(kMaxDateSerial)) {
        Raise(Overflow);
    }
    return Date(SerialOf(day, static_cast<double>(secondOfDay)));
}

std::uint64_t FileTimeFromDateUtc(Date date) {
    std::int64_t day = 0;
    std::int64_t seconds = 0;
    Split(date.serial, day, seconds);
    const std::int64_t sinceFileTimeEpoch = day + kEpochDay - DaysFromCivil(1601, 1, 1);
    if (sinceFileTimeEpoch < 0) {
        Raise(Overflow);
    }
    return static_cast<std::uint64_t>(sinceFileTimeEpoch * kSecondsPerDay + seconds) *
           static_cast<std::uint64_t>(kFileTimeTicksPerSecond);
}

Date DateFromFileTime(std::uint64_t fileTime) {
    const auto seconds = static_cast<std::int64_t>(fileTime / kFileTimeTicksPerSecond);
    return DateFromUnixTime(seconds - kFileTimeToUnixSeconds);
}

std::uint64_t FileTimeFromDate(Date date) {
    const std::int64_t seconds = UnixTimeFromDate(date) + kFileTimeToUnixSeconds;
    if (seconds < 0) {
        Raise(Overflow);
    }
    return static_cast<std::uint64_t>(seconds) *
           static_cast<std::uint64_t>(kFileTimeTicksPerSecond);
}

}  // namespace automation
