#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/automation/Date.h"
#include "platform/automation/Errors.h"

namespace automation {
namespace {

// Runs the test body in a fixed time zone and restores the host's afterwards.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
            hadOld_ = true;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (hadOld_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string old_;
    bool hadOld_ = false;
};

int ErrorNumberOf(void (*body)()) {
    try {
        body();
    } catch (const Error& e) {
        return e.Number();
    }
    return 0;
}

TEST(DateParts, KnownSerialsBreakIntoTheirCalendarFields) {
    const struct {
        double serial;
        DateParts parts;
    } cases[] = {
        {0.0, {1899, 12, 30, 0, 0, 0}},
        {1.0, {1899, 12, 31, 0, 0, 0}},
        {2.0, {1900, 1, 1, 0, 0, 0}},
        {60.0, {1900, 2, 28, 0, 0, 0}},  // no 29 Feb 1900: the calendar is Gregorian
        {61.0, {1900, 3, 1, 0, 0, 0}},
        {365.25, {1900, 12, 30, 6, 0, 0}},
        {36526.5, {2000, 1, 1, 12, 0, 0}},
        {3339.34, {1909, 2, 20, 8, 9, 36}},
        // negative dates: the day counts backwards, the time forwards into that day
        {-1.25, {1899, 12, 29, 6, 0, 0}},
        {-0.5, {1899, 12, 30, 12, 0, 0}},
        {-49192.24, {1765, 4, 24, 5, 45, 36}},
        {UNKNOWN_DATE, {1601, 1, 1, 0, 0, 0}},
        {kMinDateSerial, {100, 1, 1, 0, 0, 0}},
        {kMaxDateSerial, {9999, 12, 31, 0, 0, 0}},
        // a time a hair below midnight rounds up to the next day
        {1.0 - 1e-9, {1899, 12, 31, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PartsOf(Date(c.serial)), c.parts) << c.serial;
    }
}

TEST(DateParts, RoundTripThroughFields) {
    for (const double serial : {0.0, 37685.588298611, -3.75, -657434.5, 2958465.99998, 1.5}) {
        const Date rounded = DateFromParts(PartsOf(Date(serial)));
        EXPECT_NEAR(rounded.serial, serial, 0.5 / 86400) << serial;
    }
}

TEST(DateParts, OutOfRangeSerialOverflows) {
    EXPECT_EQ(ErrorNumberOf([] { PartsOf(Date(-657435.0)); }), Overflow);
    EXPECT_EQ(ErrorNumberOf([] { PartsOf(Date(2958466.0)); }), Overflow);
    EXPECT_EQ(ErrorNumberOf([] { Year(Date(1e300)); }), Overflow);
}

TEST(DateParts, InvalidFieldsAreRejected) {
    const DateParts bad[] = {
        {2003, 2, 29, 0, 0, 0}, {2003, 13, 1, 0, 0, 0}, {2003, 0, 1, 0, 0, 0},
        {2003, 1, 1, 24, 0, 0}, {2003, 1, 1, 0, 60, 0}, {99, 1, 1, 0, 0, 0},
        {10000, 1, 1, 0, 0, 0},
    };
    for (const auto& parts : bad) {
        EXPECT_THROW(DateFromParts(parts), Error) << parts.year << "-" << parts.month;
    }
    EXPECT_NO_THROW(DateFromParts({2004, 2, 29, 23, 59, 59}));
}

TEST(DateSerial, RollsOverMonthsAndDaysAndMapsTwoDigitYears) {
    const struct {
        int y, m, d;
        DateParts expected;
    } cases[] = {
        {2003, 3, 5, {2003, 3, 5, 0, 0, 0}},   {2003, 13, 1, {2004, 1, 1, 0, 0, 0}},
        {2003, 0, 1, {2002, 12, 1, 0, 0, 0}},  {2003, 3, 0, {2003, 2, 28, 0, 0, 0}},
        {2004, 3, 0, {2004, 2, 29, 0, 0, 0}},  {2003, -11, 1, {2002, 1, 1, 0, 0, 0}},
        {2003, 1, 366, {2004, 1, 1, 0, 0, 0}}, {29, 1, 1, {2029, 1, 1, 0, 0, 0}},
        {30, 1, 1, {1930, 1, 1, 0, 0, 0}},     {1601, 1, 1, {1601, 1, 1, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PartsOf(DateSerial(c.y, c.m, c.d)), c.expected)
            << c.y << "/" << c.m << "/" << c.d;
    }
    EXPECT_EQ(ErrorNumberOf([] { DateSerial(10000, 1, 1); }), InvalidProcedureCall);
    EXPECT_EQ(ErrorNumberOf([] { DateSerial(100, 1, 0); }), InvalidProcedureCall);
}

TEST(TimeSerial, RollsOverAndGoesBackwardsIntoThePreviousDay) {
    EXPECT_DOUBLE_EQ(TimeSerial(12, 0, 0).serial, 0.5);
    EXPECT_DOUBLE_EQ(TimeSerial(6, -15, 0).serial, TimeSerial(5, 45, 0).serial);
    EXPECT_EQ(PartsOf(TimeSerial(25, 0, 0)), (DateParts{1899, 12, 31, 1, 0, 0}));
    // one hour before day 0 is 29 Dec 1899 23:00, not 01:00
    EXPECT_EQ(PartsOf(TimeSerial(-1, 0, 0)), (DateParts{1899, 12, 29, 23, 0, 0}));
    EXPECT_EQ(PartsOf(TimeSerial(0, 0, 86399)), (DateParts{1899, 12, 30, 23, 59, 59}));
}

TEST(Weekday, CountsFromTheRequestedFirstDay) {
    const Date saturday(0.0);  // 30 Dec 1899
    const Date wednesday = DateSerial(2003, 3, 5);
    EXPECT_EQ(Weekday(saturday), vbSaturday);
    EXPECT_EQ(Weekday(wednesday), vbWednesday);
    EXPECT_EQ(Weekday(wednesday, vbMonday), 3);
    EXPECT_EQ(Weekday(Date(-1.25)), vbFriday);
    EXPECT_EQ(Weekday(DateSerial(1601, 1, 1)), vbMonday);
}

TEST(DateValueTimeValue, SplitDayAndTime) {
    const Date d(-2.75);
    EXPECT_DOUBLE_EQ(DateValue(d).serial, -2.0);
    EXPECT_DOUBLE_EQ(TimeValue(d).serial, 0.75);
    EXPECT_DOUBLE_EQ(DateValue(Date(37685.999999999)).serial, 37686.0);
}

TEST(UnixTime, ConvertsThroughTheHostTimeZone) {
    const ScopedTimeZone tz("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2003-03-05 13:07:09 UTC is 14:07:09 in winter, Central European time.
    const std::int64_t winter = 1046869629;
    EXPECT_EQ(PartsOf(DateFromUnixTime(winter)), (DateParts{2003, 3, 5, 14, 7, 9}));
    EXPECT_EQ(UnixTimeFromDate(DateFromUnixTime(winter)), winter);
    // Summer time adds the second hour.
    const std::int64_t summer = 1057410000;  // 2003-07-05 13:00:00 UTC
    EXPECT_EQ(PartsOf(DateFromUnixTime(summer)), (DateParts{2003, 7, 5, 15, 0, 0}));
    EXPECT_EQ(UnixTimeFromDate(DateFromUnixTime(summer)), summer);
    // Before 1970 and before 1900.
    const Date old = DateSerial(1850, 6, 1);
    EXPECT_EQ(DateFromUnixTime(UnixTimeFromDate(old)), old);
}

TEST(FileTime, UtcArithmeticAndLocalConversion) {
    EXPECT_DOUBLE_EQ(DateFromFileTimeUtc(0).serial, UNKNOWN_DATE);
    EXPECT_EQ(FileTimeFromDateUtc(Date(UNKNOWN_DATE)), 0u);
    // 1 Jan 1970 UTC
    const std::uint64_t epoch = 116444736000000000ull;
    EXPECT_EQ(PartsOf(DateFromFileTimeUtc(epoch)), (DateParts{1970, 1, 1, 0, 0, 0}));
    EXPECT_EQ(FileTimeFromDateUtc(DateSerial(1970, 1, 1)), epoch);
    // Fractions of a second are dropped, not rounded up.
    EXPECT_EQ(PartsOf(DateFromFileTimeUtc(epoch + 9'999'999)), (DateParts{1970, 1, 1, 0, 0, 0}));
    // A date before 1601 has no FILETIME.
    EXPECT_EQ(ErrorNumberOf([] { FileTimeFromDateUtc(DateSerial(1600, 12, 31)); }), Overflow);

    const ScopedTimeZone tz("EST5EDT,M3.2.0,M11.1.0");
    EXPECT_EQ(PartsOf(DateFromFileTime(epoch)), (DateParts{1969, 12, 31, 19, 0, 0}));
    EXPECT_EQ(FileTimeFromDate(DateFromFileTime(epoch)), epoch);
}

}  // namespace
}  // namespace automation
