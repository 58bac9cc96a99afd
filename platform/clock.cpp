#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace kb::platform {
namespace {

DateTime from_tm(const std::tm& t) {
    return DateTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

bool wait_in_real_time(std::condition_variable& signal, std::unique_lock<std::mutex>& held, uint32_t ms,
                       const std::function<bool()>& done) {
    return signal.wait_for(held, std::chrono::milliseconds(ms), done);
}

class SystemClock final : public Clock {
public:
    uint32_t tick_ms() override {
        auto since_boot = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since_boot).count());
    }
    int64_t unix_time() override { return static_cast<int64_t>(std::time(nullptr)); }
    DateTime local_time() override { return local_calendar(unix_time()); }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    bool wait_for_signal(std::condition_variable& signal, std::unique_lock<std::mutex>& held, uint32_t ms,
                         const std::function<bool()>& done) override {
        return wait_in_real_time(signal, held, ms, done);
    }
};

}  // namespace

bool Clock::wait_for_signal(std::condition_variable&, std::unique_lock<std::mutex>& held, uint32_t ms,
                            const std::function<bool()>& done) {
    const uint32_t start = tick_ms();
    while (!done()) {
        const uint32_t waited = tick_ms() - start;
        if (waited >= ms) return false;
        held.unlock();
        sleep_ms(std::min(ms - waited, kSignalPollMs));
        held.lock();
    }
    return true;
}

Clock& system_clock() {
    static SystemClock clock;
    return clock;
}

DateTime utc_calendar(int64_t unix_time) {
    std::time_t t = static_cast<std::time_t>(unix_time);
    std::tm parts{};
    gmtime_r(&t, &parts);
    return from_tm(parts);
}

DateTime local_calendar(int64_t unix_time) {
    std::time_t t = static_cast<std::time_t>(unix_time);
    std::tm parts{};
    localtime_r(&t, &parts);
    return from_tm(parts);
}

int64_t local_calendar_to_unix(const DateTime& local) {
    std::tm parts{};
    parts.tm_year = local.year - 1900;
    parts.tm_mon = local.month - 1;
    parts.tm_mday = local.day;
    parts.tm_hour = local.hour;
    parts.tm_min = local.minute;
    parts.tm_sec = local.second;
    parts.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&parts));
}

ManualClock::ManualClock(int64_t unix_time, uint32_t tick) : unix_ms_(unix_time * 1000), tick_(tick) {}

uint32_t ManualClock::tick_ms() {
    std::lock_guard guard(lock_);
    return tick_;
}

int64_t ManualClock::unix_time() {
    std::lock_guard guard(lock_);
    return unix_ms_ / 1000;
}

DateTime ManualClock::local_time() { return utc_calendar(unix_time()); }

void ManualClock::sleep_ms(uint32_t ms) {
    std::lock_guard guard(lock_);
    slept_ms_ += ms;
    tick_ += ms;
    unix_ms_ += ms;
}

bool ManualClock::wait_for_signal(std::condition_variable& signal, std::unique_lock<std::mutex>& held, uint32_t ms,
                                  const std::function<bool()>& done) {
    return wait_in_real_time(signal, held, ms, done);
}

void ManualClock::advance_ms(uint32_t ms) {
    std::lock_guard guard(lock_);
    tick_ += ms;
    unix_ms_ += ms;
}

void ManualClock::set_unix_time(int64_t seconds) {
    std::lock_guard guard(lock_);
    unix_ms_ = seconds * 1000;
}

uint64_t ManualClock::total_slept_ms() {
    std::lock_guard guard(lock_);
    return slept_ms_;
}

}  // namespace kb::platform
