#include "platform/event.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/clock.h"

namespace kb::platform {
namespace {

// A test clock that moves only when paused, as the session tests' clocks do, and records
// each pause; on_pause runs after a pause, standing in for another thread at work.
class PausingClock final : public Clock {
public:
    uint32_t tick_ms() override { return manual_.tick_ms(); }
    int64_t unix_time() override { return manual_.unix_time(); }
    DateTime local_time() override { return manual_.local_time(); }
    void sleep_ms(uint32_t ms) override {
        manual_.sleep_ms(ms);
        pauses.push_back(ms);
        if (on_pause) on_pause();
    }

    std::vector<uint32_t> pauses;
    std::function<void()> on_pause;

private:
    ManualClock manual_;
};

TEST(Event, TimeOutIsMeasuredOnTheClockInShortPauses) {
    PausingClock clock;
    Event event(clock);
    const uint32_t start = clock.tick_ms();
    EXPECT_FALSE(event.wait(5020));
    EXPECT_EQ(clock.tick_ms() - start, 5020u);
    ASSERT_EQ(clock.pauses.size(), 101u);
    for (uint32_t pause : clock.pauses) EXPECT_LE(pause, Clock::kSignalPollMs);
    EXPECT_EQ(clock.pauses.back(), 20u);
}

TEST(Event, SignalDuringAWaitEndsItAndAnAutomaticEventResets) {
    PausingClock clock;
    Event event(clock, EventReset::Automatic);
    clock.on_pause = [&] {
        if (clock.pauses.size() == 3) event.set();
    };
    EXPECT_TRUE(event.wait(60000));
    EXPECT_EQ(clock.pauses.size(), 3u);
    EXPECT_FALSE(event.is_set());
    clock.on_pause = nullptr;
    EXPECT_FALSE(event.wait(100));

    Event manual(clock, EventReset::Manual, true);
    EXPECT_TRUE(manual.wait(0));
    EXPECT_TRUE(manual.is_set());
}

// The demo-server's sessions pause on events while its test clock gives the time of day:
// those pauses must not move that clock.
TEST(Event, WaitOnAManualClockLeavesTheClockWhereItIs) {
    ManualClock clock;
    Event event(clock);
    const uint32_t tick = clock.tick_ms();
    EXPECT_FALSE(event.wait(20));
    EXPECT_EQ(clock.tick_ms(), tick);
    EXPECT_EQ(clock.total_slept_ms(), 0u);
    event.set();
    EXPECT_TRUE(event.wait(20));
}

}  // namespace
}  // namespace kb::platform
