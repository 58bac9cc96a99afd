#pragma once
#include <cstdint>

#include "server/server_config.h"

namespace kb::server {

// True when an instrument quotes at this server time (seconds since 1970, read as a
// calendar time without zone shift). A window of the previous weekday that runs past
// midnight covers the early minutes of the day up to its close; today's windows cover
// [open, close), or from open to midnight when they run past it. Pure function.
bool in_quote_hours(const WeekQuoteHours& hours, int64_t time);

// The first whole minute after time at which the instrument quotes, looking at most eight
// days ahead; -1 when its week has no quote window at all.
int64_t next_quote_minute(const WeekQuoteHours& hours, int64_t time);

}  // namespace kb::server
