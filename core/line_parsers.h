#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kb::core {

// Parsers for the "key=value" lines of the configuration files and chart profiles. The
// caller passes the prefix including its "=" ("period_flags="); it is matched
// case-sensitively at the start of the line. A line end ("\r", "\n") left on the line
// is not part of the value. Pure functions, any thread.

// Whether blanks (spaces, tabs) before the key are skipped.
enum class LeadingBlanks { Skip, Keep };

// The number parser's answer when the prefix doesn't match.
inline constexpr double kNoNumber = -1000000000.0;

// The buffer size of the short text parser (the value keeps at most 249 bytes).
inline constexpr size_t kShortLineTextSize = 250;

// The value as a floating number (atof rules, "." as decimal point in every locale:
// blanks before it are skipped, reading stops at the first character that can't
// continue it, no number reads as 0). Leading blanks of the line are skipped.
double parse_number_line(std::string_view line, std::string_view prefix);

// The value as an integer (atoi rules, clamped to the int range). False, value
// unchanged, when the prefix doesn't match.
bool parse_integer_line(std::string_view line, std::string_view prefix, int& value,
                        LeadingBlanks blanks = LeadingBlanks::Skip);

// The value as text, cut to fit a buffer of buffer_size bytes with its NUL (so at most
// buffer_size - 1 bytes, and never in the middle of a UTF-8 character). False, text
// unchanged, when the prefix doesn't match or buffer_size is 0.
bool parse_text_line(std::string_view line, std::string_view prefix, std::string& text, size_t buffer_size,
                     LeadingBlanks blanks = LeadingBlanks::Skip);

// parse_text_line with the short buffer of kShortLineTextSize bytes.
bool parse_short_text_line(std::string_view line, std::string_view prefix, std::string& text);

}  // namespace kb::core
