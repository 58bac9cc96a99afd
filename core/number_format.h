#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kb::core {

// Price and number texts shared by the views, dialogs, journal lines and files.
// Pure functions: any thread may call them. Texts are UTF-8 (plain ASCII here). None
// depends on the C locale: the decimal separator is always ".", also after the user
// interface has adopted a locale with a decimal comma.

// The largest number of decimals a price has.
inline constexpr int kMaxDigits = 8;

// printf's "%.*f" without the locale: the value rounded to decimals (negative counts as
// 0) decimals, "nan"/"inf"/"-inf" for those values.
std::string fixed_text(double value, int decimals);

// atof without the locale: leading blanks and a sign are accepted, reading stops at the
// first character that can't continue the number, and 0 is the result when none starts.
double number_from_text(std::string_view text);

// 10^exponent: exact from a table for 0..8, computed otherwise.
double power_of_ten(int exponent);

// Rounds to digits decimals, half away from zero with a small margin so that a tie
// spoiled by binary representation still rounds outward: 1.234565 at 5 digits gives
// 1.23457, -1.234565 gives -1.23457. Digits are clamped to 0..8. NaN and infinities come
// back unchanged.
double normalize(double value, int digits);

// The price printed with digits decimals ("1.23450"). Empty when digits is outside
// 0..8, the value is not finite, or it is at or beyond ±10000000000; so the text never
// exceeds 20 characters and always fits the 31 characters of an 8-bit price field.
std::string price_text(double value, int digits);

// The price with digits + 2 decimals, then up to two trailing zeros removed, then a
// trailing "." removed: (1.5, 2) gives "1.50", (2.0, 0) gives "2", (1.23456, 2) gives
// "1.2346". Digits are clamped to 0..8; empty for a value that is not finite.
std::string short_price_text(double value, int digits);

// An amount with decimals decimals (0..7, others count as 0) and the integer digits in
// groups of three separated by one blank: (-1234567.891, 2) gives "-1 234 567.89".
// Amounts whose scaled value reaches ±922337203685477 are printed from eight decimals
// and cut (not rounded) to the requested decimals. Empty when the text with its
// terminating NUL needs more than buffer_size bytes, or the value is not finite.
std::string money_text(double value, int decimals, size_t buffer_size);

// The value with decimals decimals (negative counts as 0), then all trailing zeros of
// the fraction and a trailing "." removed: (2.50, 2) gives "2.5", (100, 0) stays "100".
std::string trimmed_number_text(double value, int decimals);

// A fixed-point integer read as a number: "%06d" with a "." inserted before the last
// decimals digits, read back ((12345, 5) gives 0.12345, (-5, 2) gives -0.05). Decimals
// outside 1..5 insert no point, so the result is the integer itself.
double fixed_point_to_number(int value, int decimals);

// Replaces every "," by "." (a decimal comma typed by the user).
void comma_to_point(std::string& text);

}  // namespace kb::core
