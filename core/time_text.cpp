#include "core/time_text.h"

#include <cstdio>

namespace kb::core {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (the common days-from-civil method).
int64_t days_from_civil(int64_t year, int month, int day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t year_of_era = year - era * 400;
    int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

}  // namespace

int64_t local_seconds(platform::Clock& clock) {
    platform::DateTime now = clock.local_time();
    return days_from_civil(now.year, now.month, now.day) * 86400 + now.hour * 3600 + now.minute * 60 + now.second;
}

platform::DateTime shifted_local_time(platform::Clock& clock, int64_t shift_seconds) {
    // The calendar arithmetic is done zone-free: the local reading is treated as if it
    // were UTC, shifted, and read back, so no time zone rule moves it a second time.
    return platform::utc_calendar(local_seconds(clock) + shift_seconds);
}

std::string time_text(platform::Clock& clock, int64_t shift_seconds) {
    platform::DateTime t = shifted_local_time(clock, shift_seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

int64_t date_time_to_seconds(const platform::DateTime& local) { return platform::local_calendar_to_unix(local); }

}  // namespace kb::core
