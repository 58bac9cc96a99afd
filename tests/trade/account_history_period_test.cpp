#include "trade/account_history_period.h"

#include <gtest/gtest.h>

namespace kb::trade {
namespace {

struct Day {
    int year, month, day, weekday = 0;
};

int32_t midnight(Day day) {
    platform::DateTime local;
    local.year = day.year;
    local.month = day.month;
    local.day = day.day;
    return static_cast<int32_t>(platform::local_calendar_to_unix(local));
}

platform::DateTime afternoon(Day day) {
    platform::DateTime local;
    local.year = day.year;
    local.month = day.month;
    local.day = day.day;
    local.day_of_week = day.weekday;
    local.hour = 15;
    local.minute = 42;
    local.second = 7;
    return local;
}

TEST(HistoryPeriod, StartsOnThePeriodsFirstDayAndEndsAtMidnightTomorrow) {
    struct Case {
        int period;
        Day today;     // weekday 0 = Sunday
        Day first;
        Day tomorrow;
    };
    const Case cases[] = {
        {kHistoryToday, {2026, 12, 10, 4}, {2026, 12, 10}, {2026, 12, 11}},
        {kHistoryToday, {2026, 12, 31, 4}, {2026, 12, 31}, {2027, 1, 1}},
        {kHistoryLast3Days, {2026, 12, 10, 4}, {2026, 12, 8}, {2026, 12, 11}},
        {kHistoryLast3Days, {2027, 1, 1, 5}, {2026, 12, 30}, {2027, 1, 2}},
        {kHistoryLast3Days, {2028, 3, 1, 3}, {2028, 2, 28}, {2028, 3, 2}},
        {kHistoryLastWeek, {2026, 12, 7, 1}, {2026, 12, 7}, {2026, 12, 8}},
        {kHistoryLastWeek, {2026, 12, 10, 4}, {2026, 12, 7}, {2026, 12, 11}},
        {kHistoryLastWeek, {2026, 12, 11, 5}, {2026, 12, 7}, {2026, 12, 12}},
        {kHistoryLastWeek, {2027, 1, 1, 5}, {2026, 12, 28}, {2027, 1, 2}},
        // Weekends: counted back from tomorrow, a whole week.
        {kHistoryLastWeek, {2026, 12, 12, 6}, {2026, 12, 6}, {2026, 12, 13}},
        {kHistoryLastWeek, {2026, 12, 13, 0}, {2026, 12, 7}, {2026, 12, 14}},
        {kHistoryLastMonth, {2026, 12, 10, 4}, {2026, 12, 1}, {2026, 12, 11}},
        {kHistoryLastMonth, {2026, 12, 1, 2}, {2026, 12, 1}, {2026, 12, 2}},
        {kHistoryLast3Months, {2026, 12, 10, 4}, {2026, 10, 1}, {2026, 12, 11}},
        {kHistoryLast3Months, {2027, 1, 15, 5}, {2026, 11, 1}, {2027, 1, 16}},
        {kHistoryLast6Months, {2026, 12, 10, 4}, {2026, 7, 1}, {2026, 12, 11}},
        {kHistoryLast6Months, {2027, 3, 31, 3}, {2026, 10, 1}, {2027, 4, 1}},
    };
    for (const Case& c : cases) {
        const auto range = history_period_range(c.period, afternoon(c.today));
        ASSERT_TRUE(range) << c.period;
        EXPECT_EQ(*range, (HistoryRange{midnight(c.first), midnight(c.tomorrow)}))
            << history_period_name(c.period) << " on " << c.today.year << "-" << c.today.month << "-" << c.today.day;
        EXPECT_TRUE(is_requestable(*range));
    }
}

TEST(HistoryPeriod, AllHistoryStartsIn1970AndOtherNumbersAreCustom) {
    EXPECT_EQ(history_period_range(kHistoryAll, afternoon({2026, 12, 10, 4})),
              (HistoryRange{0, midnight({2026, 12, 11})}));
    for (int period : {0, 8, -1}) {
        EXPECT_FALSE(history_period_range(period, afternoon({2026, 12, 10, 4}))) << period;
        EXPECT_EQ(history_period_name(period), "Custom period");
    }
}

TEST(HistoryPeriod, UsesTheInjectedClocksDate) {
    platform::ManualClock clock(midnight({2026, 12, 13}) + 3600);   // a Sunday
    const platform::DateTime today = clock.local_time();
    const auto range = history_period_range(kHistoryLastWeek, clock);
    ASSERT_TRUE(range);
    EXPECT_EQ(*range, *history_period_range(kHistoryLastWeek, today));
    EXPECT_LT(range->from, range->to);
}

TEST(HistoryPeriod, NamesEveryPeriodInOrder) {
    const char* names[] = {"Today", "Last 3 days", "Last week", "Last month", "Last 3 months", "Last 6 months",
                           "All history"};
    for (int period = kFirstHistoryPeriod; period <= kLastHistoryPeriod; ++period)
        EXPECT_EQ(history_period_name(period), names[period - kFirstHistoryPeriod]);
}

TEST(HistoryPeriod, OnlyRangesWithFromBelowToAndNoNegativeEndAreRequested) {
    const std::pair<HistoryRange, bool> cases[] = {
        {{0, 1}, true}, {{100, 100}, false}, {{200, 100}, false}, {{-1, 100}, false}, {{0, -5}, false},
    };
    for (auto [range, requestable] : cases) EXPECT_EQ(is_requestable(range), requestable) << range.from << " " << range.to;
}

}  // namespace
}  // namespace kb::trade
