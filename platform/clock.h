#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace kb::platform {

// A calendar reading of local (or UTC) time, fields as in struct tm but not offset:
// month 1-12, day of week 0 = Sunday.
struct DateTime {
    int year = 1970;
    int month = 1;
    int day_of_week = 4;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The source of every time reading and every pause, so that a test can drive time
// instead of waiting for it. Thread-safe.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps at 2^32 like a device tick count,
    // so compare with (now - then) in unsigned arithmetic.
    virtual uint32_t tick_ms() = 0;
    // Seconds since 1970-01-01 UTC.
    virtual int64_t unix_time() = 0;
    // The local wall time now.
    virtual DateTime local_time() = 0;
    // Pauses the calling thread.
    virtual void sleep_ms(uint32_t ms) = 0;
    // Waits until done() holds, checking it whenever `signal` is notified, for at most ms of
    // this clock; returns done(). `held` locks the mutex that guards what done() reads and
    // is held again on return. This default checks between pauses of sleep_ms of at most
    // kSignalPollMs, so a test clock that moves only when paused moves through the wait.
    virtual bool wait_for_signal(std::condition_variable& signal, std::unique_lock<std::mutex>& held, uint32_t ms,
                                 const std::function<bool()>& done);

    static constexpr uint32_t kSignalPollMs = 50;
};

// The real clock of the machine.
Clock& system_clock();

// A clock that stands still until a test moves it (thread-safe; its lock is a leaf of
// core/lock_order.h). sleep_ms advances it instead of
// waiting, so a loop of 100 ms pauses completes at once. A wait for a signal waits in real
// time and leaves the clock where it is: what it waits for is another thread, and the time
// it reads is the test's to set.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t unix_time = 1'700'000'000, uint32_t tick = 1000);

    uint32_t tick_ms() override;
    int64_t unix_time() override;
    DateTime local_time() override;   // the UTC calendar of the current time (tests are zone-free)
    void sleep_ms(uint32_t ms) override;
    bool wait_for_signal(std::condition_variable& signal, std::unique_lock<std::mutex>& held, uint32_t ms,
                         const std::function<bool()>& done) override;

    void advance_ms(uint32_t ms);
    void set_unix_time(int64_t seconds);
    uint64_t total_slept_ms();

private:
    std::mutex lock_;
    int64_t unix_ms_;
    uint32_t tick_;
    uint64_t slept_ms_ = 0;
};

// Calendar conversions through the C time functions.
DateTime utc_calendar(int64_t unix_time);
DateTime local_calendar(int64_t unix_time);
int64_t local_calendar_to_unix(const DateTime& local);

}  // namespace kb::platform
