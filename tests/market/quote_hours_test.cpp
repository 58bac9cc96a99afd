#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "market/quote_hours.h"

namespace kb::market {
namespace {

constexpr int64_t kMonday = 1796601600;   // a Monday, 00:00
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 86400;
constexpr int kSunday = 0, kMondayIndex = 1, kTuesday = 2, kSaturday = 6;
constexpr int32_t kNoOvernight = kQuoteWindowsPerDay;

struct Window {
    int open;                        // minutes after midnight
    int close;
};

// A day's windows and the past-midnight index it carries. Each window's H1 alignment is
// its open hour, so a result tells which window covered the moment.
DayQuoteHours day(std::initializer_list<Window> windows, int32_t overnight_index) {
    DayQuoteHours out{};
    int i = 0;
    for (Window w : windows) {
        out.windows[i].open_minute = w.open;
        out.windows[i].close_minute = w.close;
        out.windows[i].alignment[0] = static_cast<int16_t>(w.open / 60);
        ++i;
    }
    out.first_overnight_window = overnight_index;
    return out;
}

constexpr int at(int hour, int minute = 0) { return hour * 60 + minute; }

struct Covered {
    int64_t start;
    int64_t end;
    int64_t day_open;
    int16_t alignment;               // of the covering window, period index 1
};

struct Case {
    const char* what;
    std::vector<std::pair<int, DayQuoteHours>> days;   // weekday (Sunday 0) and its record
    int64_t time;
    std::optional<Covered> covered;
};

QuoteWeek week_of(const std::vector<std::pair<int, DayQuoteHours>>& days) {
    QuoteWeek week{};
    for (const auto& [weekday, record] : days) week[static_cast<size_t>(weekday)] = record;
    return week;
}

TEST(QuoteHours, FindsTheCoveringWindowByTheRulesOfBothDays) {
    const int64_t tuesday = kMonday + kDay;
    const int64_t saturday = kMonday + 5 * kDay, sunday = kMonday + 6 * kDay;
    const DayQuoteHours office = day({{at(9), at(17)}}, kNoOvernight);
    const DayQuoteHours night = day({{at(22), at(2)}}, 0);
    const Case cases[] = {
        {"a window opens at its open minute", {{kMondayIndex, office}}, kMonday + 9 * kHour,
         Covered{kMonday + 9 * kHour, kMonday + 17 * kHour, kMonday, 9}},
        {"a second before the open", {{kMondayIndex, office}}, kMonday + 9 * kHour - 1, std::nullopt},
        {"the close minute is outside", {{kMondayIndex, office}}, kMonday + 17 * kHour, std::nullopt},
        {"a night window before midnight", {{kMondayIndex, night}}, kMonday + 23 * kHour,
         Covered{kMonday + 22 * kHour, tuesday, kMonday, 22}},
        {"a night window carries into the next day", {{kMondayIndex, night}}, tuesday + 2 * kHour - 1,
         Covered{kMonday + 22 * kHour, tuesday + 2 * kHour, kMonday, 22}},
        {"and ends at its close", {{kMondayIndex, night}}, tuesday + 2 * kHour, std::nullopt},
        {"open equal to close runs past midnight", {{kMondayIndex, day({{at(10), at(10)}}, 0)}},
         tuesday + 10 * kHour - 60, Covered{kMonday + 10 * kHour, tuesday + 10 * kHour, kMonday, 10}},
        {"open equal to close covers the rest of its own day", {{kMondayIndex, day({{at(10), at(10)}}, 0)}},
         kMonday + 12 * kHour, Covered{kMonday + 10 * kHour, tuesday, kMonday, 10}},
        {"a night window before the day's index does not carry over",
         {{kMondayIndex, day({{at(22), at(2)}}, 1)}}, tuesday + kHour, std::nullopt},
        {"windows from the index on belong to the previous trading day",
         {{kMondayIndex, day({{at(22), at(2)}, {at(3), at(5)}}, 0)}}, tuesday + 4 * kHour,
         Covered{tuesday + 3 * kHour, tuesday + 5 * kHour, kMonday, 3}},
        {"a whole-day window under index 0 covers the next day as well",
         {{kMondayIndex, day({{at(0), at(24)}}, 0)}}, tuesday + 10 * kHour,
         Covered{tuesday, tuesday + kDay, kMonday, 0}},
        {"without an overnight index it does not",
         {{kMondayIndex, day({{at(0), at(24)}}, kNoOvernight)}}, tuesday + 10 * kHour, std::nullopt},
        {"a day window before the index stays in its day",
         {{kMondayIndex, day({{at(9), at(17)}, {at(22), at(2)}}, 1)}}, tuesday + 10 * kHour, std::nullopt},
        {"while the night window at the index carries over",
         {{kMondayIndex, day({{at(9), at(17)}, {at(22), at(2)}}, 1)}}, tuesday + kHour,
         Covered{kMonday + 22 * kHour, tuesday + 2 * kHour, kMonday, 22}},
        {"an empty window is skipped", {{kMondayIndex, day({{0, 0}, {at(22), at(2)}}, 0)}}, tuesday + kHour,
         Covered{kMonday + 22 * kHour, tuesday + 2 * kHour, kMonday, 22}},
        {"the previous day's window comes before today's",
         {{kMondayIndex, night}, {kTuesday, day({{at(0), at(24)}}, kNoOvernight)}}, tuesday + kHour,
         Covered{kMonday + 22 * kHour, tuesday + 2 * kHour, kMonday, 22}},
        {"today's window after the night window's close",
         {{kMondayIndex, night}, {kTuesday, day({{at(0), at(24)}}, kNoOvernight)}}, tuesday + 3 * kHour,
         Covered{tuesday, tuesday + kDay, tuesday, 0}},
        {"Saturday's night window carries into Sunday", {{kSaturday, day({{at(23), at(1)}}, 0)}},
         sunday + 30 * 60, Covered{saturday + 23 * kHour, sunday + kHour, saturday, 23}},
        {"Sunday's night window carries into Monday", {{kSunday, day({{at(22), at(2)}}, 0)}},
         kMonday + kHour, Covered{kMonday - 2 * kHour, kMonday + 2 * kHour, kMonday - kDay, 22}},
        {"a week without windows", {}, kMonday + 12 * kHour, std::nullopt},
    };
    for (const Case& c : cases) {
        const QuoteWeek week = week_of(c.days);
        const std::optional<QuoteSession> session = find_quote_session(week, c.time);
        EXPECT_EQ(in_quote_hours(week, c.time), c.covered.has_value()) << c.what;
        ASSERT_EQ(session.has_value(), c.covered.has_value()) << c.what;
        if (!session) continue;
        EXPECT_EQ(session->start, c.covered->start) << c.what;
        EXPECT_EQ(session->end, c.covered->end) << c.what;
        EXPECT_EQ(session->day_open, c.covered->day_open) << c.what;
        EXPECT_EQ(session->alignment[0], c.covered->alignment) << c.what;
    }
}

TEST(QuoteHours, TheOvernightIndexIsTheFirstWindowPastMidnight) {
    const std::pair<DayQuoteHours, int32_t> cases[] = {
        {day({}, 0), kNoOvernight},
        {day({{at(9), at(17)}}, 0), kNoOvernight},
        {day({{at(0), at(24)}}, 0), kNoOvernight},
        {day({{at(9), at(17)}, {at(22), at(2)}}, 0), 1},
        {day({{0, 0}, {at(10), at(10)}}, 0), 1},
        {day({{at(22), at(23)}, {at(23), at(1)}, {at(3), at(2)}}, 0), 1},
        {day({{at(22), at(2)}, {at(23), at(1)}}, kNoOvernight), 0},
    };
    int row = 0;
    for (const auto& [record, index] : cases) EXPECT_EQ(first_overnight_window(record), index) << "row " << row++;
}

TEST(QuoteHours, NextQuoteMinuteIsTheFirstWholeMinuteAWindowCovers) {
    QuoteWeek week{};
    week[kMondayIndex] = day({{at(9), at(17)}}, kNoOvernight);
    week[kTuesday] = day({{at(22), at(2)}}, 0);
    const int64_t tuesday = kMonday + kDay;
    const std::pair<int64_t, int64_t> cases[] = {
        {kMonday + 2 * kHour, kMonday + 9 * kHour},
        {kMonday + 9 * kHour - 1, kMonday + 9 * kHour},
        {kMonday + 9 * kHour, kMonday + 9 * kHour + 60},
        {kMonday + 9 * kHour + 30, kMonday + 9 * kHour + 60},
        {kMonday + 17 * kHour, tuesday + 22 * kHour},
        {tuesday + 22 * kHour + 59, tuesday + 22 * kHour + 60},
        {tuesday + kDay + 2 * kHour, kMonday + 7 * kDay + 9 * kHour},
    };
    for (auto [time, next] : cases) EXPECT_EQ(next_quote_minute(week, time), next) << time - kMonday;
    EXPECT_EQ(next_quote_minute(QuoteWeek{}, kMonday), -1);
}

}  // namespace
}  // namespace kb::market
