// Anchoring chart objects to bar times: positions inside the bars, extrapolation past the
// newest and before the oldest bar (weekends, weeks, calendar months), and the calendar
// steps. Expected figures are worked out by hand from the dates in the comments.

#include <gtest/gtest.h>

#include <vector>

#include "chart/objects/bar_timeline.h"
#include "market/bar_record.h"

namespace kb::chart {
namespace {

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00, a Monday
constexpr int32_t kHour = 3600;
constexpr int32_t kDay = 86400;

// Hourly bars Monday to Friday of one week, then Monday 00:00 to 09:00 of the next: 130
// bars with a weekend gap after index 119.
std::vector<market::BarRecord> hourly_bars() {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < 120; ++i) bars.push_back({kMonday + i * kHour, 1, 1, 1, 1, 1});
    for (int i = 0; i < 10; ++i) bars.push_back({kMonday + 7 * kDay + i * kHour, 1, 1, 1, 1, 1});
    return bars;
}

std::vector<market::BarRecord> bars_at(std::initializer_list<int32_t> times) {
    std::vector<market::BarRecord> bars;
    for (int32_t time : times) bars.push_back({time, 1, 1, 1, 1, 1});
    return bars;
}

TEST(BarTimeline, HourlyTimesMapToTheBarTheyFallIn) {
    const auto bars = hourly_bars();
    const BarTimeline timeline(bars, 60);
    const int32_t newest = kMonday + 7 * kDay + 9 * kHour;
    const struct {
        int32_t time;
        int position;
    } cases[] = {
        {kMonday, 0},
        {kMonday + 1799, 0},
        {kMonday + kHour, 1},
        {kMonday + 4 * kDay + 23 * kHour, 119},        // Friday 23:00
        {kMonday + 5 * kDay + 12 * kHour, 119},        // Saturday noon: still Friday's last bar
        {kMonday + 7 * kDay, 120},                     // the next Monday
        {newest, 129},
        {newest + kHour - 1, 129},
        {newest + kHour, 130},                         // past the newest bar: one per hour
        {newest + 5 * kHour / 2, 131},
        {newest + 3 * kDay, 129 + 72},                 // no weekend rule after the bars
        // Before the oldest bar: an hour per position, rounded away from the bars...
        {kMonday - 1, -1},
        {kMonday - kHour, -1},
        {kMonday - kHour - 1, -2},
        {kMonday - 6 * kDay, -144},
        // ...and from a whole week on, every week counts five days.
        {kMonday - 7 * kDay, -120},
        {kMonday - 8 * kDay, -144},
        {kMonday - 14 * kDay, -240},
        {kMonday - 14 * kDay - kHour, -241},
    };
    for (const auto& c : cases) EXPECT_EQ(timeline.position_of(c.time), c.position) << c.time - kMonday;
}

TEST(BarTimeline, PositionsGiveOpenTimesThatMapBack) {
    const auto bars = hourly_bars();
    const BarTimeline timeline(bars, 60);
    const int32_t newest = kMonday + 7 * kDay + 9 * kHour;
    const struct {
        int position;
        int32_t time;
    } cases[] = {
        {0, kMonday},
        {120, kMonday + 7 * kDay},
        {129, newest},
        {131, newest + 2 * kHour},
        {-1, kMonday - kHour},
        {-24, kMonday - kDay},
        {-119, kMonday - 4 * kDay - 23 * kHour},
        {-120, kMonday - 7 * kDay},                   // five trading days back: a week
        {-121, kMonday - 7 * kDay - kHour},
        {-240, kMonday - 14 * kDay},
    };
    for (const auto& c : cases) EXPECT_EQ(timeline.time_of(c.position), c.time) << c.position;
    for (int position = -2000; position < 2000; ++position)
        ASSERT_EQ(timeline.position_of(timeline.time_of(position)), position);
}

TEST(BarTimeline, LongerPeriodsExtrapolateByTheirOwnRule) {
    // Daily: a week back counts five bars; weekly: plain weeks.
    const auto daily = bars_at({kMonday, kMonday + kDay, kMonday + 2 * kDay});
    const BarTimeline days(daily, 1440);
    EXPECT_EQ(days.position_of(kMonday - 10 * kDay), -8);   // a week (5) and three days
    EXPECT_EQ(days.position_of(kMonday - 3 * kDay), -3);
    EXPECT_EQ(days.time_of(-6), kMonday - 8 * kDay);         // five days back is a week, one more
    EXPECT_EQ(days.position_of(kMonday + 4 * kDay), 4);

    const int32_t sunday = kMonday - kDay;
    const auto weekly = bars_at({sunday, sunday + 7 * kDay});
    const BarTimeline weeks(weekly, 10080);
    EXPECT_EQ(weeks.position_of(sunday - 21 * kDay), -3);
    EXPECT_EQ(weeks.position_of(sunday - 21 * kDay + 1), -3);
    EXPECT_EQ(weeks.position_of(sunday - 21 * kDay - 1), -4);
    EXPECT_EQ(weeks.time_of(-2), sunday - 14 * kDay);
    EXPECT_EQ(weeks.time_of(4), sunday + 28 * kDay);
    for (int position = -300; position < 300; ++position) {
        ASSERT_EQ(days.position_of(days.time_of(position)), position);
        ASSERT_EQ(weeks.position_of(weeks.time_of(position)), position);
    }
}

TEST(BarTimeline, MonthlyChartsStepByCalendarMonths) {
    constexpr int32_t kJan2026 = 1767225600, kFeb2026 = 1769904000, kJun2026 = 1780272000;
    constexpr int32_t kJul2026 = 1782864000, kJul15 = 1784073600, kJan2027 = 1798761600;
    constexpr int32_t kNov2025 = 1761955200, kNov20 = 1763596800, kDec2025 = 1764547200;
    const auto monthly = bars_at({kJan2026, kFeb2026, 1772323200 /* Mar */, 1775001600 /* Apr */,
                                  1777593600 /* May */, kJun2026});
    const BarTimeline months(monthly, 43200);
    const struct {
        int32_t time;
        int position;
    } cases[] = {
        {kFeb2026 + 5 * kDay, 1}, {kJun2026, 5}, {kJul15, 6}, {kJan2027, 12},
        {kDec2025, -1}, {kNov20, -2}, {kNov2025, -2}, {kNov2025 - 1, -3},
    };
    for (const auto& c : cases) EXPECT_EQ(months.position_of(c.time), c.position) << c.time;
    EXPECT_EQ(months.time_of(6), kJul2026);
    EXPECT_EQ(months.time_of(12), kJan2027);
    EXPECT_EQ(months.time_of(-2), kNov2025);
    // Up to the last month an int32 time can hold (2038-01).
    for (int position = -400; position <= 5 + 139; ++position)
        ASSERT_EQ(months.position_of(months.time_of(position)), position);
}

TEST(BarTimeline, WithoutBarsEverythingIsZero) {
    const BarTimeline timeline({}, 60);
    EXPECT_TRUE(timeline.empty());
    EXPECT_EQ(timeline.position_of(kMonday), 0);
    EXPECT_EQ(timeline.time_of(5), 0);
}

TEST(BarTimeline, FarTimesAndPositionsStayInRange) {
    const auto bars = hourly_bars();
    const BarTimeline timeline(bars, 1);
    EXPECT_EQ(timeline.time_of(INT32_MAX / 2), INT32_MAX);
    EXPECT_EQ(timeline.time_of(INT32_MIN / 2), INT32_MIN);
    EXPECT_GT(timeline.position_of(INT32_MAX), 0);
    EXPECT_LT(timeline.position_of(INT32_MIN), 0);
    const BarTimeline monthly(bars, 43200);
    EXPECT_EQ(monthly.position_of(monthly.time_of(-1000)), -1000);
}

TEST(CalendarMonths, StepsKeepTheDayWhereTheMonthHasIt) {
    const struct {
        int64_t from;
        int64_t months;
        int64_t to;
    } cases[] = {
        {1706659200, 1, 1709164800},            // 2024-01-31 + 1: 2024-02-29 (leap year)
        {1774915200, -1, 1772236800},           // 2026-03-31 - 1: 2026-02-28
        {1767225600 + 3723, 12, 1798761600 + 3723},   // a year on, time of day kept
        {0, -1, -31 * 86400},                   // 1970-01-01 back to 1969-12-01
    };
    for (const auto& c : cases) EXPECT_EQ(add_months(c.from, c.months), c.to) << c.from;
    EXPECT_EQ(month_number(0), 0);
    EXPECT_EQ(month_number(-1), -1);
    EXPECT_EQ(month_number(1767225600), 56 * 12);
}

}  // namespace
}  // namespace kb::chart
