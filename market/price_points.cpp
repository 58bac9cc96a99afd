#include "market/price_points.h"

#include <cmath>
#include <cstdint>

namespace kb::market {

namespace {

constexpr int kMinPointDigits = 1;
constexpr int kMaxPointDigits = 5;
constexpr double kScale[kMaxPointDigits + 1] = {1, 10, 100, 1000, 10000, 100000};

bool moves_point(int digits) { return digits >= kMinPointDigits && digits <= kMaxPointDigits; }

}  // namespace

double price_from_points(int64_t points, int digits) {
    if (!moves_point(digits)) return static_cast<double>(points);
    // Dividing the exact integer by an exact power of ten gives the double nearest to the
    // decimal text, as reading the text would.
    return static_cast<double>(points) / kScale[digits];
}

std::optional<int32_t> price_to_points(double price, int digits) {
    double scaled = std::round(moves_point(digits) ? price * kScale[digits] : price);
    if (!(scaled >= INT32_MIN && scaled <= INT32_MAX)) return std::nullopt;
    return static_cast<int32_t>(scaled);
}

}  // namespace kb::market
