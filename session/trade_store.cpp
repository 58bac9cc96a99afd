#include "session/trade_store.h"

namespace kb::session {

namespace {

// 00:00 local time of today plus days (the calendar conversion carries a day past the
// month's end, and a day that is not 24 hours long stays right).
int32_t local_midnight(platform::Clock& clock, int days) {
    platform::DateTime midnight = clock.local_time();
    midnight.hour = midnight.minute = midnight.second = 0;
    midnight.day += days;
    return static_cast<int32_t>(platform::local_calendar_to_unix(midnight));
}

}  // namespace

std::pair<int32_t, int32_t> TradeStore::history_range() {
    {
        std::lock_guard guard(lock_);
        if (range_chosen_) return range_;
    }
    return {local_midnight(clock_, 0), local_midnight(clock_, 1)};
}

bool TradeStore::set_history_range(int32_t start, int32_t end) {
    if (start < 0 || start >= end) return false;
    std::lock_guard guard(lock_);
    range_ = {start, end};
    range_chosen_ = true;
    return true;
}

}  // namespace kb::session
