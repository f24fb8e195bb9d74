#include "platform/dialogs/Clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

namespace dialogs {
namespace {

using automation::Date;
using automation::DateSerial;
using automation::TimeSerial;

Date At(int y, int mo, int d, int h, int mi, int s) {
    return Date(DateSerial(y, mo, d).serial + TimeSerial(h, mi, s).serial);
}

class ClockTest : public testing::Test {
  protected:
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>(At(2003, 3, 5, 14, 7, 9));
    ScopedClock use{clock};
    int pumps = 0;
    std::function<void()> previousHook = SetDoEventsHook([this] { ++pumps; });
    ~ClockTest() override { SetDoEventsHook(previousHook); }
};

TEST_F(ClockTest, PauseAdvancesTheFakeClockAndPumpsEventsWithoutSleeping) {
    const double before = Timer();
    Pause(3);
    EXPECT_GE(Timer() - before, 3.0);
    EXPECT_LT(Timer() - before, 3.02);
    EXPECT_GT(pumps, 0);
    EXPECT_EQ(pumps, clock->Waits());
}

TEST_F(ClockTest, PauseOfNothingReturnsAtOnce) {
    for (double seconds : {0.0, -5.0, std::nan("")}) {
        Pause(seconds);
    }
    EXPECT_EQ(pumps, 0);
    EXPECT_EQ(clock->Waits(), 0);
}

TEST_F(ClockTest, PauseEndsAcrossMidnight) {
    clock->SetLocalNow(At(2003, 3, 5, 23, 59, 59));
    Pause(3);
    EXPECT_EQ(Now(), At(2003, 3, 6, 0, 0, 2));
    EXPECT_LT(Timer(), 3.0);
}

TEST_F(ClockTest, EventsRunWhileThePauseWaits) {
    // A window event (here: the splash window being dismissed) arrives during the pause.
    bool dismissed = false;
    SetDoEventsHook([&] {
        if (clock->Monotonic() >= 1.0) {
            dismissed = true;
        }
    });
    Pause(1.5);
    EXPECT_TRUE(dismissed);
}

TEST_F(ClockTest, NowIsWholeSecondsAndTimerKeepsTheFraction) {
    clock->SetLocalNow(At(2003, 3, 5, 14, 7, 9));
    clock->Advance(0.75);
    EXPECT_EQ(Now(), At(2003, 3, 5, 14, 7, 9));
    EXPECT_NEAR(Timer(), 14 * 3600 + 7 * 60 + 9.75, 1e-6);
}

TEST_F(ClockTest, TimerOfBeforeTheAutomationEpochCountsTheTimeForwards) {
    // -1.25 is 29 Dec 1899, 06:00.
    clock->SetLocalNow(Date(-1.25));
    EXPECT_NEAR(Timer(), 6 * 3600, 1e-6);
    EXPECT_EQ(Now(), Date(-1.25));
}

TEST_F(ClockTest, TimerElapsedCountsOnOverMidnight) {
    const struct {
        Date start;
        double advance;
        double expected;
    } cases[] = {
        {At(2003, 3, 5, 10, 0, 0), 12.0, 12.0},
        {At(2003, 3, 5, 23, 59, 55), 10.0, 10.0},
        {At(2003, 3, 5, 0, 0, 0), 0.0, 0.0},
    };
    for (const auto& c : cases) {
        clock->SetLocalNow(c.start);
        const double start = Timer();
        clock->Advance(c.advance);
        EXPECT_NEAR(TimerElapsed(start), c.expected, 1e-6);
    }
}

TEST(Clock, DoEventsWithoutAHookDoesNothing) {
    const auto previous = SetDoEventsHook(nullptr);
    DoEvents();
    SetDoEventsHook(previous);
}

TEST(Clock, SystemClockNowIsTheHostsLocalTime) {
    SystemClock system;
    const Date expected = automation::DateFromUnixTime(std::time(nullptr));
    EXPECT_NEAR(system.LocalNow(), expected.serial, 2.0 / 86400);
}

TEST(Clock, ScopedClockPutsThePreviousClockBack) {
    const auto before = CurrentClock();
    {
        ScopedClock outer(std::make_shared<ManualClock>(Date(1)));
        EXPECT_EQ(Now(), Date(1));
    }
    EXPECT_EQ(CurrentClock(), before);
}

}  // namespace
}  // namespace dialogs
