#include "chart/objects/bar_timeline.h"

#include <algorithm>
#include <limits>

namespace kb::chart {
namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kWeek = 7 * kDay;
constexpr int64_t kTradingWeek = 5 * kDay;

int64_t floor_div(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t ceil_div(int64_t a, int64_t b) { return -floor_div(-a, b); }

struct CivilDate {
    int64_t year;
    int month;   // 1..12
    int day;     // 1..31
};

// Days since 1970-01-01 to the proleptic Gregorian date and back.
CivilDate civil_from_days(int64_t days) {
    const int64_t z = days + 719468;
    const int64_t era = floor_div(z, 146097);
    const int64_t day_of_era = z - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;   // 0 = March
    const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
    const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t days_from_civil(const CivilDate& date) {
    const int64_t year = date.year - (date.month <= 2 ? 1 : 0);
    const int64_t era = floor_div(year, 400);
    const int64_t year_of_era = year - era * 400;
    const int64_t shifted_month = date.month > 2 ? date.month - 3 : date.month + 9;
    const int64_t day_of_year = (153 * shifted_month + 2) / 5 + date.day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

int days_in_month(int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

int32_t to_time(int64_t t) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(t, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int to_position(int64_t p) {
    return static_cast<int>(
        std::clamp<int64_t>(p, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

}  // namespace

int64_t month_number(int64_t t) {
    const CivilDate date = civil_from_days(floor_div(t, kDay));
    return (date.year - 1970) * 12 + (date.month - 1);
}

int64_t add_months(int64_t t, int64_t months) {
    const int64_t days = floor_div(t, kDay);
    const int64_t time_of_day = t - days * kDay;
    CivilDate date = civil_from_days(days);
    const int64_t month_index = date.year * 12 + (date.month - 1) + months;
    date.year = floor_div(month_index, 12);
    date.month = static_cast<int>(month_index - date.year * 12) + 1;
    date.day = std::min(date.day, days_in_month(date.year, date.month));
    return days_from_civil(date) * kDay + time_of_day;
}

BarTimeline::BarTimeline(std::span<const market::BarRecord> bars, int period_minutes)
    : bars_(bars), period_(std::max(period_minutes, 1)) {}

TimelineKey BarTimeline::key() const {
    if (bars_.empty()) return {0, 0, 0, period_};
    return {bar_count(), bars_.front().time, bars_.back().time, period_};
}

int BarTimeline::position_of(int32_t time) const {
    if (bars_.empty()) return 0;
    const int last = bar_count() - 1;
    if (time < bars_.front().time) return position_before_first(time);
    const int64_t newest = bars_.back().time;
    if (time >= newest) {
        const int64_t beyond = period_ == kMonthly ? month_number(time) - month_number(newest)
                                                   : (time - newest) / (int64_t{period_} * 60);
        return to_position(last + beyond);
    }
    // The last bar whose open time is at or before time.
    const auto after = std::upper_bound(bars_.begin(), bars_.end(), time,
                                        [](int32_t t, const market::BarRecord& bar) { return t < bar.time; });
    return static_cast<int>(after - bars_.begin()) - 1;
}

int BarTimeline::position_before_first(int64_t time) const {
    const int64_t first = bars_.front().time;
    if (period_ == kMonthly) return to_position(-(month_number(first) - month_number(time)));
    int64_t distance = first - time;
    if (period_ <= kDaily) distance = distance / kWeek * kTradingWeek + distance % kWeek;
    return to_position(-ceil_div(distance, int64_t{period_} * 60));
}

int32_t BarTimeline::time_of(int position) const {
    if (bars_.empty()) return 0;
    const int last = bar_count() - 1;
    if (position < 0) return to_time(time_before_first(-int64_t{position}));
    if (position <= last) return bars_[static_cast<size_t>(position)].time;
    const int64_t beyond = int64_t{position} - last;
    const int64_t newest = bars_.back().time;
    if (period_ == kMonthly) return to_time(add_months(newest, beyond));
    return to_time(newest + beyond * period_ * 60);
}

int64_t BarTimeline::time_before_first(int64_t bars_back) const {
    const int64_t first = bars_.front().time;
    if (period_ == kMonthly) return add_months(first, -bars_back);
    const int64_t span = bars_back * period_ * 60;
    // Trading time back to calendar time: each five days of it spans a whole week.
    if (period_ <= kDaily) return first - (span / kTradingWeek * kWeek + span % kTradingWeek);
    return first - span;
}

}  // namespace kb::chart
