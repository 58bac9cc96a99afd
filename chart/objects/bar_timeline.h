#pragma once
#include <cstdint>
#include <span>

#include "market/bar_record.h"

namespace kb::chart {

// What a timeline was built from: cached anchor positions are valid only for the same key.
struct TimelineKey {
    int bar_count = 0;
    int32_t first_time = 0;
    int32_t last_time = 0;
    int period = 0;
    bool operator==(const TimelineKey&) const = default;
};

// Anchors chart objects to the chart's bars: a time maps to the position (index) of the
// bar whose open time it falls in, and a position to its bar's open time. Outside the bars
// positions are extrapolated by the period:
//  - after the newest bar, one position per period (for monthly charts per calendar month);
//  - before the oldest bar, the same, except that for periods up to a day every whole week
//    of the distance counts five days (the bars have no weekends), and for monthly charts
//    per calendar month.
// A time maps to the position whose open time is at or before it, so time_of() and
// position_of() are each other's inverse on open times. Without bars every time maps to 0
// and every position to time 0.
// Keeps a view of the bars, which must outlive it; pure reads, any thread.
class BarTimeline {
public:
    static constexpr int kMonthly = 43200;
    static constexpr int kDaily = 1440;

    BarTimeline(std::span<const market::BarRecord> bars, int period_minutes);

    bool empty() const { return bars_.empty(); }
    int bar_count() const { return static_cast<int>(bars_.size()); }
    int position_of(int32_t time) const;
    // The open time at position, limited to the int32 range.
    int32_t time_of(int position) const;
    TimelineKey key() const;

private:
    int position_before_first(int64_t time) const;
    int64_t time_before_first(int64_t bars_back) const;

    std::span<const market::BarRecord> bars_;
    int period_;
};

// Calendar helpers for monthly steps (server time, no time-zone shift).
// The month of t counted from 1970-01 (0 = January 1970, negative before).
int64_t month_number(int64_t t);
// t moved by months calendar months; the day of month is kept, or the month's last day
// when the new month is shorter; the time of day is kept.
int64_t add_months(int64_t t, int64_t months);

}  // namespace kb::chart
