// The program's clocks and its event pump. Now, Timer and Pause read an injectable clock so
// that tests never sleep: a ManualClock moves only when told to, and a Pause on it advances
// it instead of waiting.
#pragma once

#include <functional>
#include <memory>

#include "platform/automation/Date.h"

namespace dialogs {

class Clock {
  public:
    virtual ~Clock() = default;
    // Local date and time as an automation date (days since 30 Dec 1899, time as the
    // fraction), with the clock's full resolution.
    virtual double LocalNow() = 0;
    // Seconds on a clock that never jumps (no midnight, no daylight-saving change); only
    // differences mean anything.
    virtual double Monotonic() = 0;
    // Lets up to `seconds` pass. Pause calls it between event pumps.
    virtual void Wait(double seconds) = 0;
};

// The host's clocks; Wait sleeps.
class SystemClock : public Clock {
  public:
    double LocalNow() override;
    double Monotonic() override;
    void Wait(double seconds) override;
};

// A clock for tests: it stands still until Advance or Wait moves it, and both move the
// local time and the monotonic time together.
class ManualClock : public Clock {
  public:
    explicit ManualClock(automation::Date localNow) : base_(localNow.serial) {}
    double LocalNow() override;
    double Monotonic() override { return monotonic_; }
    void Wait(double seconds) override;

    void Advance(double seconds);
    void SetLocalNow(automation::Date localNow);
    int Waits() const { return waits_; }

  private:
    // The local time is kept as a date plus the seconds since it, so that many small steps
    // add up exactly instead of each losing a little in the date's rounding.
    double base_;
    double sinceBase_ = 0;
    double monotonic_ = 0;
    int waits_ = 0;
};

// The current clock (the system clock until another is installed).
std::shared_ptr<Clock> CurrentClock();
// Installs a clock (nullptr restores the system clock) and returns the previous one.
std::shared_ptr<Clock> SetClock(std::shared_ptr<Clock> clock);

class ScopedClock {
  public:
    explicit ScopedClock(std::shared_ptr<Clock> clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    std::shared_ptr<Clock> previous_;
};

// The current date and time, to the whole second, as the old runtime gave it.
automation::Date Now();
// Seconds since local midnight, with fractions.
double Timer();
// Seconds from a Timer() reading to now; a reading taken before midnight still counts
// forward instead of going negative.
double TimerElapsed(double start);
// Waits `seconds`, letting pending events run meanwhile; nothing for zero or less. It
// measures on the monotonic clock, so neither midnight nor a clock change can make it hang.
void Pause(double seconds);

// Lets pending window-system events run. Without a hook (no application object) it does
// nothing.
void DoEvents();
// Installs the event pump (platform/forms installs Qt's) and returns the previous one.
std::function<void()> SetDoEventsHook(std::function<void()> hook);

}  // namespace dialogs
