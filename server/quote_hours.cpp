#include "server/quote_hours.h"

namespace kb::server {

namespace {

constexpr int64_t kDay = 86400;

// 1970-01-01 was a Thursday (weekday 4, Sunday = 0).
int weekday_of(int64_t time) {
    int64_t days = time >= 0 ? time / kDay : (time - kDay + 1) / kDay;
    return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

bool empty(const QuoteWindow& window) { return window.open == 0 && window.close == 0; }

}  // namespace

bool in_quote_hours(const WeekQuoteHours& hours, int64_t time) {
    int64_t day_start = time - ((time % kDay) + kDay) % kDay;
    int minute = static_cast<int>((time - day_start) / 60);
    int today = weekday_of(time);
    int yesterday = (today + 6) % 7;
    for (const QuoteWindow& window : hours.days[yesterday]) {
        if (!empty(window) && window.open > window.close && minute < window.close) return true;
    }
    for (const QuoteWindow& window : hours.days[today]) {
        if (empty(window)) continue;
        if (window.open < window.close ? (minute >= window.open && minute < window.close) : minute >= window.open) {
            return true;
        }
    }
    return false;
}

int64_t next_quote_minute(const WeekQuoteHours& hours, int64_t time) {
    constexpr int kMinutesAhead = 8 * 24 * 60;
    int64_t minute_start = time - ((time % 60) + 60) % 60;
    for (int step = 1; step <= kMinutesAhead; ++step) {
        int64_t candidate = minute_start + int64_t{step} * 60;
        if (in_quote_hours(hours, candidate)) return candidate;
    }
    return -1;
}

}  // namespace kb::server
