// Automation dates: days since 30 December 1899 as a double, the time of day as the fraction.
//
// A negative date counts whole days backwards from that day while its fraction still counts
// forwards into the day: -1.25 is 29 December 1899 06:00, and -0.5 is the same instant as 0.5.
// The valid range is 1 January 100 (-657434) to 31 December 9999 (2958465, plus the day's time).
// Breaking a date into fields rounds to the nearest second, as the runtime did.
#pragma once

#include <compare>
#include <cstdint>
#include <ctime>

namespace automation {

struct Date {
    double serial = 0.0;

    constexpr Date() = default;
    constexpr explicit Date(double days) : serial(days) {}

    friend constexpr bool operator==(Date, Date) = default;
    friend constexpr auto operator<=>(Date, Date) = default;
};

// Day numbers of the first and the last valid day (1 Jan 100 and 31 Dec 9999); any time of
// those days is valid as well.
inline constexpr double kMinDateSerial = -657434.0;
inline constexpr double kMaxDateSerial = 2958465.0;
// The date the file functions report for a time they cannot read: 1 January 1601, 00:00.
inline constexpr double UNKNOWN_DATE = -109205.0;

enum VbDayOfWeek : int {
    vbUseSystemDayOfWeek = 0,
    vbSunday = 1,
    vbMonday = 2,
    vbTuesday = 3,
    vbWednesday = 4,
    vbThursday = 5,
    vbFriday = 6,
    vbSaturday = 7,
};

// Calendar fields of a date (proleptic Gregorian calendar, as the automation dates use).
struct DateParts {
    int year = 1899;
    int month = 12;  // 1..12
    int day = 30;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateParts&, const DateParts&) = default;
};

bool IsValidDate(double serial);

// Fields of a date; raises run-time error 6 (Overflow) outside the valid range.
DateParts PartsOf(Date date);
// The date of exact fields (month 1..12, day valid for the month, time within the day);
// raises run-time error 5 for fields that do not name a valid instant.
Date DateFromParts(const DateParts& parts);

// Out-of-range months and days roll over into the neighbouring years and months
// (DateSerial(2003, 13, 1) is 1 Jan 2004, day 0 is the last day of the month before); years
// 0..29 mean 2000..2029 and 30..99 mean 1930..1999. Raises 5 outside the valid date range.
Date DateSerial(int year, int month, int day);
// Seconds, minutes and hours roll over; the result may lie outside one day (TimeSerial(25,0,0)
// is 1.041666...). Raises 5 outside the valid date range.
Date TimeSerial(int hour, int minute, int second);

int Year(Date date);
int Month(Date date);
int Day(Date date);
int Hour(Date date);
int Minute(Date date);
int Second(Date date);
// 1..7, counted from firstDayOfWeek (vbSunday by default, which gives vbSunday..vbSaturday).
int Weekday(Date date, VbDayOfWeek firstDayOfWeek = vbSunday);
// The date part (time dropped) and the time part (day 0 with the same time).
Date DateValue(Date date);
Date TimeValue(Date date);

// Host time <-> local calendar time of the host's time zone, to the second.
Date DateFromUnixTime(std::int64_t seconds);
// Local calendar time -> seconds since 1970 UTC; a local time that does not exist or exists
// twice (daylight-saving changes) resolves the way mktime does.
std::int64_t UnixTimeFromDate(Date date);

// FILETIME: 100-nanosecond intervals since 1 January 1601 UTC. The *Utc functions do plain
// arithmetic (no time zone); the others go through the local calendar time of the host.
Date DateFromFileTimeUtc(std::uint64_t fileTime);
std::uint64_t FileTimeFromDateUtc(Date date);
Date DateFromFileTime(std::uint64_t fileTime);
std::uint64_t FileTimeFromDate(Date date);

}  // namespace automation
