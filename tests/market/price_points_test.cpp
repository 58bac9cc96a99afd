#include "market/price_points.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace kb::market {
namespace {

// The rule as it reads: "%06d", a point inserted digits characters from the right for
// 1..5 digits, the text read as a number.
double price_by_text(int32_t points, int digits) {
    char text[32];
    std::snprintf(text, sizeof(text), "%06d", points);
    std::string number = text;
    if (digits >= 1 && digits <= 5) number.insert(number.size() - static_cast<size_t>(digits), ".");
    return std::strtod(number.c_str(), nullptr);
}

TEST(PricePoints, ReadsLikeTheTextWithAnInsertedPoint) {
    const std::pair<int32_t, int> cases[] = {
        {123456, 5}, {123456, 4}, {-123, 5}, {-5, 5}, {5, 3}, {0, 2}, {99999, 1},
        {1234, 0},   {1234, 6},   {1234, 8}, {-123456, 3}, {2147483647, 5}, {-2147483647, 2}};
    for (auto [points, digits] : cases) {
        EXPECT_EQ(price_from_points(points, digits), price_by_text(points, digits)) << points << " " << digits;
    }
    EXPECT_EQ(price_from_points(123456, 5), 1.23456);
    EXPECT_EQ(price_from_points(-123, 5), -0.00123);
}

TEST(PricePoints, ConvertsBackToTheNearestPoint) {
    const std::pair<int32_t, int> cases[] = {{123456, 5}, {-123, 5}, {5, 3}, {1234, 0}, {1234, 7}, {99999, 1}};
    for (auto [points, digits] : cases) {
        EXPECT_EQ(price_to_points(price_from_points(points, digits), digits), points) << points << " " << digits;
    }
    EXPECT_EQ(price_to_points(1.234564, 5), 123456);
    EXPECT_EQ(price_to_points(1.234566, 5), 123457);
}

TEST(PricePoints, RefusesPricesBeyondThirtyTwoBits) {
    EXPECT_FALSE(price_to_points(30000.0, 5).has_value());
    EXPECT_FALSE(price_to_points(-1e12, 0).has_value());
    EXPECT_FALSE(price_to_points(std::numeric_limits<double>::quiet_NaN(), 5).has_value());
    EXPECT_TRUE(price_to_points(21474.83647, 5).has_value());
}

}  // namespace
}  // namespace kb::market
