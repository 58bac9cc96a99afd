#pragma once
#include <cstdint>
#include <optional>

namespace kb::market {

// Prices sent as whole numbers of points (high/low updates, wire bars). Pure functions,
// callable from any thread.

// The price of a number of points (a 64-bit count, so that sums of an open and a
// difference cannot overflow): for 1..5 digits the number with the decimal point
// moved digits places to the left (as the text "%06d" with a point inserted would read);
// for any other digits the number itself.
double price_from_points(int64_t points, int digits);

// The reverse, rounded to the nearest point; nothing when the result does not fit 32 bits.
std::optional<int32_t> price_to_points(double price, int digits);

}  // namespace kb::market
