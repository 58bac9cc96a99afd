#pragma once
#include <string>
#include <string_view>

namespace kb::chart {

// The "key=value" lines of indicator blocks: the key, with its "=", is compared
// case-sensitively at the very start of the line. Pure functions, any thread.

// The value of an absent or unreadable number key; a line holding exactly this value counts
// as absent too.
inline constexpr double kAbsentNumber = -1000000000.0;

// An integer key: the value is read as a decimal number, text after it ignored, no digits
// reading as 0 (and values beyond the int range clamped). False when the key doesn't match.
bool read_integer_key(std::string_view line, std::string_view key, int& value);

// What a number key line held.
enum class NumberKey { NoMatch, Absent, Read };

// A decimal number key. Absent when no number starts the value, it is not finite, or it is
// kAbsentNumber; value is changed only for Read.
NumberKey read_number_key(std::string_view line, std::string_view key, double& value);

// A numbered key such as "level_5=": the number (decimal, an optional sign) directly after
// prefix, then "=". False when the line is not of that form; otherwise index and the text
// after "=".
bool read_numbered_key(std::string_view line, std::string_view prefix, int& index, std::string_view& value);

// The text of a number value as the number keys read it: Absent or Read (see above).
NumberKey read_number_text(std::string_view text, double& value);

// "key" followed by the value: "%d" and "%.Nlf" without the locale.
std::string integer_line(std::string_view key, long long value);
std::string fixed_line(std::string_view key, double value, int decimals);

}  // namespace kb::chart
