#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "market/bar_record.h"

namespace kb::tools {

// Bars as CSV text, one bar a line: "time,open,high,low,close,volume". The time is the
// bar's open time as a UTC calendar "YYYY-MM-DD HH:MM:SS" (server time, no zone shift);
// prices carry the history's digits. Pure functions: any thread may call them.

inline constexpr const char* kBarCsvHeader = "time,open,high,low,close,volume";

// A bar time as "YYYY-MM-DD HH:MM:SS" (UTC calendar of the server time).
std::string csv_time(int32_t time);

// One line, without the line end. digits is clamped to 0..8.
std::string bar_csv_line(const market::BarRecord& bar, int digits);

struct CsvBars {
    std::vector<market::BarRecord> bars;
    std::string error;             // empty when every line was read
};

// Reads CSV bars in any order. Accepts the header line first, empty lines, "\r\n" line
// ends, times as "YYYY-MM-DD HH:MM[:SS]" (or with '.' between the date parts) or as
// seconds since 1970. The first line that isn't a bar stops the reading: error then says
// "line N: <what>" and bars is empty, so bad input never half-imports.
CsvBars parse_bar_csv(std::string_view text);

// Seconds since 1970 of a UTC calendar date and time; nothing for an impossible date.
std::optional<int64_t> utc_seconds(int year, int month, int day, int hour, int minute, int second);

}  // namespace kb::tools
