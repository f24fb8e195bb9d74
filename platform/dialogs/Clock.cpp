#include "platform/dialogs/Clock.h"

#include <time.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <thread>

namespace dialogs {

namespace {

constexpr double kSecondsPerDay = 86400.0;
// Pause pumps events at least this often, so a window stays responsive while it waits.
constexpr double kPauseSlice = 0.01;

std::mutex stateMutex;
std::shared_ptr<Clock> currentClock;  // guarded by stateMutex; nullptr = system clock
std::function<void()> doEventsHook;

std::shared_ptr<Clock> SystemDefault() {
    static const std::shared_ptr<Clock> system = std::make_shared<SystemClock>();
    return system;
}

// Automation dates before 30 Dec 1899 count whole days backwards but the time of day
// forwards: -1.25 is 29 Dec 1899, 06:00.
double TimeOfDay(double date) {
    return std::abs(date - std::trunc(date));
}

}  // namespace

double SystemClock::LocalNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return automation::DateFromUnixTime(now.tv_sec).serial +
           static_cast<double>(now.tv_nsec) / 1e9 / kSecondsPerDay;
}

double SystemClock::Monotonic() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void SystemClock::Wait(double seconds) {
    if (seconds > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    }
}

void ManualClock::Wait(double seconds) {
    ++waits_;
    Advance(seconds);
}

double ManualClock::LocalNow() {
    return base_ + sinceBase_ / kSecondsPerDay;
}

void ManualClock::Advance(double seconds) {
    if (seconds > 0) {
        sinceBase_ += seconds;
        monotonic_ += seconds;
    }
}

void ManualClock::SetLocalNow(automation::Date localNow) {
    base_ = localNow.serial;
    sinceBase_ = 0;
}

std::shared_ptr<Clock> CurrentClock() {
    std::lock_guard lock(stateMutex);
    return currentClock ? currentClock : SystemDefault();
}

std::shared_ptr<Clock> SetClock(std::shared_ptr<Clock> next) {
    std::lock_guard lock(stateMutex);
    std::swap(currentClock, next);
    return next;
}

ScopedClock::ScopedClock(std::shared_ptr<Clock> clock) : previous_(SetClock(std::move(clock))) {}

ScopedClock::~ScopedClock() {
    SetClock(std::move(previous_));
}

automation::Date Now() {
    const double now = CurrentClock()->LocalNow();
    const double day = std::trunc(now);
    // Whole seconds, rounded down; the tiny allowance keeps a time that is a whole second
    // but stored a hair below it from losing that second.
    const double seconds = std::floor(TimeOfDay(now) * kSecondsPerDay + 1e-6);
    const double time = std::min(seconds, kSecondsPerDay - 1) / kSecondsPerDay;
    return automation::Date(now < 0 ? day - time : day + time);
}

double Timer() {
    return TimeOfDay(CurrentClock()->LocalNow()) * kSecondsPerDay;
}

double TimerElapsed(double start) {
    double elapsed = Timer() - start;
    if (elapsed < 0) {
        elapsed += kSecondsPerDay;
    }
    return elapsed;
}

void Pause(double seconds) {
    const std::shared_ptr<Clock> clock = CurrentClock();
    const double start = clock->Monotonic();
    while (true) {
        const double remaining = seconds - (clock->Monotonic() - start);
        if (!(remaining > 0)) {
            return;
        }
        DoEvents();
        clock->Wait(std::min(remaining, kPauseSlice));
    }
}

void DoEvents() {
    std::function<void()> hook;
    {
        std::lock_guard lock(stateMutex);
        hook = doEventsHook;
    }
    if (hook) {
        hook();
    }
}

std::function<void()> SetDoEventsHook(std::function<void()> hook) {
    std::lock_guard lock(stateMutex);
    std::swap(doEventsHook, hook);
    return hook;
}

}  // namespace dialogs
