#include "market/quote_hours.h"

#include <algorithm>

namespace kb::market {

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kWeek = 7 * kDay;
constexpr int64_t kThursdayToSunday = 3 * kDay;   // 1970-01-01 was a Thursday

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool is_empty(const QuoteWindow& window) { return window.open_minute == 0 && window.close_minute == 0; }

QuoteSession session_of(const QuoteWindow& window, int64_t start, int64_t end, int64_t day_open) {
    QuoteSession session;
    session.start = start;
    session.end = end;
    session.day_open = day_open;
    for (size_t i = 0; i < session.alignment.size(); ++i) session.alignment[i] = window.alignment[i];
    return session;
}

}  // namespace

bool runs_past_midnight(const QuoteWindow& window) { return window.open_minute >= window.close_minute; }

int32_t first_overnight_window(const DayQuoteHours& day) {
    for (int i = 0; i < kQuoteWindowsPerDay; ++i) {
        if (!is_empty(day.windows[i]) && runs_past_midnight(day.windows[i])) return i;
    }
    return kQuoteWindowsPerDay;
}

void set_quote_window(DayQuoteHours& day, int index, int32_t open_minute, int32_t close_minute) {
    day.windows[index].open_minute = open_minute;
    day.windows[index].close_minute = close_minute;
    day.first_overnight_window = first_overnight_window(day);
}

std::optional<QuoteSession> find_quote_session(QuoteHours hours, int64_t t) {
    const int64_t days = floor_div(t, kDay);
    const int64_t day_start = days * kDay;
    const int64_t previous_day_start = day_start - kDay;
    const int64_t minute = (t - day_start) / 60;
    const int weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);   // 0 = Sunday
    const DayQuoteHours& previous = hours[static_cast<size_t>((weekday + 6) % 7)];
    const DayQuoteHours& today = hours[static_cast<size_t>(weekday)];

    for (int i = std::max(previous.first_overnight_window, 0); i < kQuoteWindowsPerDay; ++i) {
        const QuoteWindow& window = previous.windows[i];
        if (is_empty(window)) continue;
        const int64_t end = day_start + int64_t{window.close_minute} * 60;
        if (!runs_past_midnight(window)) {
            if (minute >= window.open_minute && minute < window.close_minute)
                return session_of(window, day_start + int64_t{window.open_minute} * 60, end, previous_day_start);
        } else if (minute < window.close_minute) {
            return session_of(window, previous_day_start + int64_t{window.open_minute} * 60, end, previous_day_start);
        }
    }
    for (const QuoteWindow& window : today.windows) {
        if (is_empty(window)) continue;
        const int64_t start = day_start + int64_t{window.open_minute} * 60;
        if (runs_past_midnight(window)) {
            if (minute >= window.open_minute) return session_of(window, start, day_start + kDay, day_start);
        } else if (minute >= window.open_minute && minute < window.close_minute) {
            return session_of(window, start, day_start + int64_t{window.close_minute} * 60, day_start);
        }
    }
    return std::nullopt;
}

bool in_quote_hours(QuoteHours hours, int64_t t) { return find_quote_session(hours, t).has_value(); }

int64_t next_quote_minute(QuoteHours hours, int64_t t) {
    constexpr int kMinutesAhead = 8 * 24 * 60;
    const int64_t minute_start = floor_div(t, 60) * 60;
    for (int step = 1; step <= kMinutesAhead; ++step) {
        const int64_t candidate = minute_start + int64_t{step} * 60;
        if (in_quote_hours(hours, candidate)) return candidate;
    }
    return -1;
}

int64_t week_open(int64_t t) {
    if (t < kThursdayToSunday) return 0;
    const int64_t thursday = t - t % kWeek;
    // Thursday to Saturday belong to the week that began on the Sunday before. The week
    // turns at Sunday 00:00, not at Monday: with a Monday threshold a Sunday evening's
    // ticks, when many markets reopen, would land in the previous week's bar.
    return t % kWeek < kThursdayToSunday ? thursday - (kWeek - kThursdayToSunday) : thursday + kThursdayToSunday;
}

int64_t month_open(int64_t t) {
    // Days since 1970 to a civil date (proleptic Gregorian), then back for day 1.
    const int64_t days = floor_div(t, kDay);
    const int64_t z = days + 719468;
    const int64_t era = floor_div(z, 146097);
    const int64_t day_of_era = z - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;   // 0 = March
    const int64_t day_of_month = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    return (days - (day_of_month - 1)) * kDay;
}

}  // namespace kb::market
