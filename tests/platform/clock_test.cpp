#include <gtest/gtest.h>

#include "platform/clock.h"

namespace kb::platform {

TEST(ManualClock, SleepAdvancesTickAndWallTimeWithoutWaiting) {
    ManualClock clock(86400 - 1, 5000);
    for (int i = 0; i < 50; ++i) clock.sleep_ms(100);
    EXPECT_EQ(clock.tick_ms(), 10000u);
    EXPECT_EQ(clock.total_slept_ms(), 5000u);
    DateTime now = clock.local_time();
    EXPECT_EQ(now.day, 2);
    EXPECT_EQ(now.second, 4);
}

TEST(ManualClock, TickWrapsLikeADeviceCounter) {
    ManualClock clock(0, 0xFFFFFF00u);
    uint32_t start = clock.tick_ms();
    clock.advance_ms(0x200);
    EXPECT_EQ(clock.tick_ms() - start, 0x200u);
}

TEST(CalendarConversion, LocalRoundTrip) {
    const int64_t samples[] = {0, 951782400 /* 2000-02-29 */, 1700000000, 2145916799};
    for (int64_t t : samples) EXPECT_EQ(local_calendar_to_unix(local_calendar(t)), t) << t;
}

}  // namespace kb::platform
