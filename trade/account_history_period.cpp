#include "trade/account_history_period.h"

namespace kb::trade {

namespace {

constexpr int kSunday = 0;
constexpr int kMonday = 1;
constexpr int kDaysInWeek = 7;

// 00:00 of the local day `days` after today (the calendar conversion carries over month
// and year ends).
int32_t day_start(platform::DateTime day, int days) {
    day.hour = day.minute = day.second = 0;
    day.day += days;
    return static_cast<int32_t>(platform::local_calendar_to_unix(day));
}

// 00:00 of the first day of the month `months_back` months before today's.
int32_t month_start(platform::DateTime day, int months_back) {
    day.hour = day.minute = day.second = 0;
    day.day = 1;
    day.month -= months_back;
    return static_cast<int32_t>(platform::local_calendar_to_unix(day));
}

// Days from the Monday that starts the shown week to tomorrow.
int days_back_to_week_start(int today_weekday) {
    const int tomorrow = (today_weekday + 1) % kDaysInWeek;
    if (tomorrow == kSunday || tomorrow == kMonday) return kDaysInWeek;
    return tomorrow - kMonday;
}

}  // namespace

std::string_view history_period_name(int period) {
    switch (period) {
        case kHistoryToday: return "Today";
        case kHistoryLast3Days: return "Last 3 days";
        case kHistoryLastWeek: return "Last week";
        case kHistoryLastMonth: return "Last month";
        case kHistoryLast3Months: return "Last 3 months";
        case kHistoryLast6Months: return "Last 6 months";
        case kHistoryAll: return "All history";
        default: return "Custom period";
    }
}

bool is_requestable(const HistoryRange& range) { return range.from >= 0 && range.to >= 0 && range.from < range.to; }

std::optional<HistoryRange> history_period_range(int period, const platform::DateTime& today) {
    const int32_t to = day_start(today, 1);
    switch (period) {
        case kHistoryToday: return HistoryRange{day_start(today, 0), to};
        case kHistoryLast3Days: return HistoryRange{day_start(today, -2), to};
        case kHistoryLastWeek: return HistoryRange{day_start(today, 1 - days_back_to_week_start(today.day_of_week)), to};
        case kHistoryLastMonth: return HistoryRange{month_start(today, 0), to};
        case kHistoryLast3Months: return HistoryRange{month_start(today, 2), to};
        case kHistoryLast6Months: return HistoryRange{month_start(today, 5), to};
        case kHistoryAll: return HistoryRange{0, to};
        default: return std::nullopt;
    }
}

std::optional<HistoryRange> history_period_range(int period, platform::Clock& clock) {
    return history_period_range(period, clock.local_time());
}

}  // namespace kb::trade
