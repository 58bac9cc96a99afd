#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/clock.h"

namespace kb::integration {

// The streams' clock: real time and real pauses, except that while the gate is closed a
// pause waits for it to open (at most 30 s of real time, so a broken test still ends).
// Closing it keeps a connection that waits for a silent peer from giving up on its own
// while the test drives the session's clock. Any thread.
class GatedClock final : public platform::Clock {
public:
    uint32_t tick_ms() override { return platform::system_clock().tick_ms(); }
    int64_t unix_time() override { return platform::system_clock().unix_time(); }
    platform::DateTime local_time() override { return platform::system_clock().local_time(); }
    void sleep_ms(uint32_t ms) override {
        {
            std::unique_lock lock(lock_);
            opened_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; });
        }
        platform::system_clock().sleep_ms(ms);
    }

    void close() {
        std::lock_guard guard(lock_);
        open_ = false;
    }
    void open() {
        {
            std::lock_guard guard(lock_);
            open_ = true;
        }
        opened_.notify_all();
    }

private:
    std::mutex lock_;
    std::condition_variable opened_;
    bool open_ = true;
};

}  // namespace kb::integration
