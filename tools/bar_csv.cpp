#include "tools/bar_csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/clock.h"

namespace kb::tools {

namespace {

constexpr int kMaxDigits = 8;
constexpr size_t kFieldCount = 6;

bool leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap_year(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t days_from_civil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// The shortest text that reads back as the same double.
std::string exact_number(double value) {
    char text[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*g", precision, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool whole_integer(std::string_view text, int64_t& value) {
    const char* end = text.data() + text.size();
    auto [next, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc{} && next == end;
}

// The longest number the export writes: every digit of the largest double and eight decimals.
constexpr size_t kLongestNumber = 330;

// A finite decimal number filling the whole text.
bool whole_number(std::string_view text, double& value) {
    if (text.empty() || text.size() > kLongestNumber) return false;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && std::isfinite(value);
}

// "YYYY-MM-DD HH:MM[:SS]" with '-' or '.' in the date.
std::optional<int64_t> calendar_time(std::string_view text) {
    if (text.size() > 19) return std::nullopt;
    const std::string copy(text);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, used = 0;
    char first = 0, second_separator = 0;
    if (std::sscanf(copy.c_str(), "%4d%c%2d%c%2d %2d:%2d%n", &year, &first, &month, &second_separator, &day, &hour,
                    &minute, &used) != 7)
        return std::nullopt;
    if (first != second_separator || (first != '-' && first != '.')) return std::nullopt;
    if (copy[static_cast<size_t>(used)] == ':') {
        const int minutes_end = used;
        if (std::sscanf(copy.c_str() + minutes_end, ":%2d%n", &second, &used) != 1) return std::nullopt;
        used += minutes_end;
    }
    if (static_cast<size_t>(used) != copy.size()) return std::nullopt;
    return utc_seconds(year, month, day, hour, minute, second);
}

std::optional<int32_t> bar_time(std::string_view text) {
    int64_t seconds = 0;
    std::optional<int64_t> time = whole_integer(text, seconds) ? std::optional(seconds) : calendar_time(text);
    if (!time || *time < 1 || *time > std::numeric_limits<int32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(*time);
}

// One bar line; the reason when it isn't one.
std::optional<market::BarRecord> bar_from_line(std::string_view line, std::string& reason) {
    std::vector<std::string_view> fields;
    for (size_t from = 0;;) {
        const size_t comma = line.find(',', from);
        fields.push_back(trimmed(line.substr(from, comma == std::string_view::npos ? comma : comma - from)));
        if (comma == std::string_view::npos) break;
        from = comma + 1;
    }
    if (fields.size() != kFieldCount) {
        reason = "expected 6 fields: " + std::string(kBarCsvHeader);
        return std::nullopt;
    }
    std::optional<int32_t> time = bar_time(fields[0]);
    if (!time) {
        reason = "time is not a date from 1970 to 2038 or a number of seconds: '" + std::string(fields[0]) + "'";
        return std::nullopt;
    }
    double values[kFieldCount - 1];
    for (size_t i = 1; i < kFieldCount; ++i) {
        if (!whole_number(fields[i], values[i - 1])) {
            reason = "not a number: '" + std::string(fields[i]) + "'";
            return std::nullopt;
        }
    }
    market::BarRecord bar{};
    bar.time = *time;
    bar.open = values[0];
    bar.high = values[1];
    bar.low = values[2];
    bar.close = values[3];
    bar.volume = values[4];
    return bar;
}

}  // namespace

std::optional<int64_t> utc_seconds(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return std::nullopt;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return std::nullopt;
    return days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string csv_time(int32_t time) {
    const platform::DateTime when = platform::utc_calendar(time);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", when.year, when.month, when.day, when.hour,
                  when.minute, when.second);
    return text;
}

std::string bar_csv_line(const market::BarRecord& bar, int digits) {
    digits = std::clamp(digits, 0, kMaxDigits);
    const std::string time = csv_time(bar.time);
    const std::string volume = exact_number(bar.volume);
    // Measured first: a huge price written in full runs past any fixed buffer.
    auto print = [&](char* out, size_t room) {
        return std::snprintf(out, room, "%s,%.*f,%.*f,%.*f,%.*f,%s", time.c_str(), digits, static_cast<double>(bar.open),
                             digits, static_cast<double>(bar.high), digits, static_cast<double>(bar.low), digits,
                             static_cast<double>(bar.close), volume.c_str());
    };
    std::string line(static_cast<size_t>(std::max(print(nullptr, 0), 0)), '\0');
    print(line.data(), line.size() + 1);
    return line;
}

CsvBars parse_bar_csv(std::string_view text) {
    CsvBars result;
    size_t number = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimmed(line);
        if (line.empty() || (number == 1 && line == kBarCsvHeader)) continue;
        std::string reason;
        std::optional<market::BarRecord> bar = bar_from_line(line, reason);
        if (!bar) {
            result.bars.clear();
            result.error = "line " + std::to_string(number) + ": " + reason;
            return result;
        }
        result.bars.push_back(*bar);
    }
    return result;
}

}  // namespace kb::tools
