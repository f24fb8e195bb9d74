#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/win32/kernel32/FileTime.h"
#include "platform/win32/ntdll/LastError.h"

namespace {

using namespace win32;

constexpr std::uint64_t kUnixEpoch = 116'444'736'000'000'000ull;
constexpr std::uint64_t kTicksPerHour = 36'000'000'000ull;

SYSTEMTIME Date(WORD y, WORD m, WORD d, WORD h = 0, WORD mi = 0, WORD s = 0, WORD ms = 0) {
    SYSTEMTIME st;
    st.wYear = y;
    st.wMonth = m;
    st.wDay = d;
    st.wHour = h;
    st.wMinute = mi;
    st.wSecond = s;
    st.wMilliseconds = ms;
    return st;
}

TEST(FileTime, UnixTimesConvertBothWays) {
    EXPECT_EQ(FileTimeFromUnix({0, 0}).quad(), kUnixEpoch);
    EXPECT_EQ(FileTimeFromUnix({1, 500}).quad(), kUnixEpoch + 10'000'005);
    const timespec back = UnixFromFileTime(FILETIME::FromQuad(kUnixEpoch + 10'000'005));
    EXPECT_EQ(back.tv_sec, 1);
    EXPECT_EQ(back.tv_nsec, 500);
    // Before 1601 there is no FILETIME: clamp rather than wrap around.
    EXPECT_EQ(FileTimeFromUnix({-12'000'000'000, 0}).quad(), 0u);
}

TEST(FileTime, SystemTimeRoundTrips) {
    const struct {
        std::uint64_t quad;
        SYSTEMTIME st;
        WORD dayOfWeek;
    } cases[] = {
        {0, Date(1601, 1, 1), 1},           // a Monday
        {kUnixEpoch, Date(1970, 1, 1), 4},  // a Thursday
        {kUnixEpoch + 951'782'400ull * 10'000'000 + 12'340'000, Date(2000, 2, 29, 0, 0, 1, 234), 2},
        {0x7FFF'FFFF'FFFF'FFFFull, Date(30828, 9, 14, 2, 48, 5, 477), 4},
    };
    for (const auto& c : cases) {
        const auto st = FileTimeToSystemTime(FILETIME::FromQuad(c.quad));
        ASSERT_TRUE(st) << c.quad;
        SYSTEMTIME expected = c.st;
        expected.wDayOfWeek = c.dayOfWeek;
        EXPECT_EQ(*st, expected) << c.quad;
        if (c.st.wYear <= 30827) {
            const auto ft = SystemTimeToFileTime(c.st);
            ASSERT_TRUE(ft);
            EXPECT_EQ(ft->quad() / 10'000, c.quad / 10'000);  // milliseconds survive
        }
    }
}

TEST(FileTime, InvalidValuesFail) {
    EXPECT_FALSE(FileTimeToSystemTime(FILETIME::FromQuad(0x8000'0000'0000'0000ull)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    for (const SYSTEMTIME& st : {Date(1600, 12, 31), Date(2001, 2, 29), Date(2000, 13, 1),
                                 Date(2000, 4, 31), Date(2000, 1, 0), Date(2000, 1, 1, 24),
                                 Date(2000, 1, 1, 0, 60), Date(2000, 1, 1, 0, 0, 0, 1000)}) {
        SetLastError(0);
        EXPECT_FALSE(SystemTimeToFileTime(st)) << st.wYear << "-" << st.wMonth << "-" << st.wDay;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            saved_ = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> saved_;
};

TEST(FileTime, LocalTimeUsesTheOffsetInForceAtThatDate) {
    const TimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const auto winter = SystemTimeToFileTime(Date(2001, 1, 15, 12));
    const auto summer = SystemTimeToFileTime(Date(2001, 7, 15, 12));
    ASSERT_TRUE(winter && summer);
    const auto localWinter = FileTimeToLocalFileTime(*winter);
    const auto localSummer = FileTimeToLocalFileTime(*summer);
    ASSERT_TRUE(localWinter && localSummer);
    EXPECT_EQ(localWinter->quad() - winter->quad(), kTicksPerHour);
    EXPECT_EQ(localSummer->quad() - summer->quad(), 2 * kTicksPerHour);
    EXPECT_EQ(LocalFileTimeToFileTime(*localWinter), winter);
    EXPECT_EQ(LocalFileTimeToFileTime(*localSummer), summer);
}

TEST(FileTime, ShiftingBefore1601Fails) {
    const TimeZone zone("EST5");
    EXPECT_FALSE(FileTimeToLocalFileTime(FILETIME::FromQuad(0)));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    const auto later = FileTimeToLocalFileTime(FILETIME::FromQuad(6 * kTicksPerHour));
    ASSERT_TRUE(later);
    EXPECT_EQ(later->quad(), kTicksPerHour);
}

}  // namespace
