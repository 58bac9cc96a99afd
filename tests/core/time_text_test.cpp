#include <gtest/gtest.h>

#include "core/time_text.h"

namespace kb::core {
namespace {

TEST(TimeText, FormatsTheShiftedLocalTime) {
    struct Case {
        int64_t now;
        int64_t shift;
        const char* expected;
    };
    const Case cases[] = {
        {1700000000, 0, "2023.11.14 22:13:20"},
        {1700000000, 17 * 86400 + 2 * 3600, "2023.12.02 00:13:20"},
        {1704067200, -1, "2023.12.31 23:59:59"},                // back over a year
        {1709121600, 86400, "2024.02.29 12:00:00"},             // into a leap day
        {1709121600, 2 * 86400, "2024.03.01 12:00:00"},
        {0, -86400, "1969.12.31 00:00:00"},
    };
    for (const Case& c : cases) {
        platform::ManualClock clock(c.now);
        EXPECT_EQ(time_text(clock, c.shift), c.expected) << c.now << " " << c.shift;
    }
}

TEST(ShiftedLocalTime, CarriesTheDayOfWeek) {
    platform::ManualClock clock(1709121600);   // Wednesday 2024-02-28 12:00
    platform::DateTime t = shifted_local_time(clock, 86400 + 3600 + 61);
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 2);
    EXPECT_EQ(t.day, 29);
    EXPECT_EQ(t.day_of_week, 4);
    EXPECT_EQ(t.hour, 13);
    EXPECT_EQ(t.minute, 1);
    EXPECT_EQ(t.second, 1);
}

TEST(DateTimeToSeconds, InvertsTheLocalCalendar) {
    for (int64_t seconds : {int64_t{0}, int64_t{951782400}, int64_t{1700000000}})
        EXPECT_EQ(date_time_to_seconds(platform::local_calendar(seconds)), seconds) << seconds;
}

}  // namespace
}  // namespace kb::core
