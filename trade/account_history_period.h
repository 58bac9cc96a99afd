#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/clock.h"

namespace kb::trade {

// The periods the account history offers, in the order it offers them. Any other
// number is a period the user enters.
enum HistoryPeriod : int {
    kHistoryToday = 1,
    kHistoryLast3Days = 2,
    kHistoryLastWeek = 3,
    kHistoryLastMonth = 4,
    kHistoryLast3Months = 5,
    kHistoryLast6Months = 6,
    kHistoryAll = 7,
};
inline constexpr int kFirstHistoryPeriod = kHistoryToday;
inline constexpr int kLastHistoryPeriod = kHistoryAll;

// "Today" ... "All history"; "Custom period" for any other number.
std::string_view history_period_name(int period);

// Seconds since 1970 of a history request: from inclusive, to exclusive.
struct HistoryRange {
    int32_t from = 0;
    int32_t to = 0;
    bool operator==(const HistoryRange&) const = default;
};

// A range the server is asked for: neither end negative and from below to.
bool is_requestable(const HistoryRange& range);

// The range of a numbered period on the local calendar day `today` (its time of day is
// ignored): to is 00:00 tomorrow; from is 00:00 of the period's first day ("All history"
// from 0). "Last week" counts back from tomorrow to the Monday before it, a whole week
// when tomorrow is a Sunday or a Monday, so a weekend still shows the week that ends.
// nullopt for a number that is no listed period (the user's own dates apply).
std::optional<HistoryRange> history_period_range(int period, const platform::DateTime& today);

// The same on the clock's local date.
std::optional<HistoryRange> history_period_range(int period, platform::Clock& clock);

}  // namespace kb::trade
