#pragma once
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace kb::core {

// Local-time readings for texts and date pickers, taken from the injected clock.
// Thread-safe as far as the clock is; the results are the caller's own copies.

// The clock's local wall time as seconds since 1970, the local calendar counted as if it
// were UTC (the "local time" of files that store one).
int64_t local_seconds(platform::Clock& clock);

// The clock's local time plus shift seconds (which may be negative), with the calendar
// carried over correctly (day, month, year, day of week).
platform::DateTime shifted_local_time(platform::Clock& clock, int64_t shift_seconds);

// The same as "%04d.%02d.%02d %02d:%02d:%02d" ("2026.12.09 14:05:00").
std::string time_text(platform::Clock& clock, int64_t shift_seconds);

// Seconds since 1970 of a local date and time, through the C time functions (so the
// machine's time zone applies); the day of week is ignored. -1 when it can't be
// represented.
int64_t date_time_to_seconds(const platform::DateTime& local);

}  // namespace kb::core
