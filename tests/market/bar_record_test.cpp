#include "market/bar_record.h"

#include <gtest/gtest.h>

#include <limits>

#include "market/price_points.h"

namespace kb::market {
namespace {

TEST(WireBars, BothFormsBecomeStoredBars) {
    WireBar28 wide{1700000000, 123400, 50, -30, 10, 17.0};
    BarRecord bar = bar_from_wire(wide, 5);
    EXPECT_EQ(bar.time, 1700000000);
    EXPECT_EQ(bar.open, 1.234);
    EXPECT_EQ(bar.high, 1.2345);
    EXPECT_EQ(bar.low, 1.2337);
    EXPECT_EQ(bar.close, 1.2341);
    EXPECT_EQ(bar.volume, 17.0);

    WireBar22 narrow{1700000060, 15000, 120, -32768, 0, 3.0};
    bar = bar_from_wire(narrow, 2);
    EXPECT_EQ(bar.open, 150.0);
    EXPECT_EQ(bar.high, 151.2);
    EXPECT_EQ(bar.low, price_from_points(15000 - 32768, 2));
    EXPECT_EQ(bar.close, 150.0);
    EXPECT_EQ(bar.volume, 3.0);
}

TEST(WireBars, ExtremeDifferencesDoNotOverflow) {
    WireBar28 wide{0, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
                   std::numeric_limits<int32_t>::min(), 0, 0};
    BarRecord bar = bar_from_wire(wide, 0);
    EXPECT_EQ(bar.high, 2.0 * std::numeric_limits<int32_t>::max());
    EXPECT_EQ(bar.low, -1.0);
}

TEST(WireBars, StoredBarsRoundTripThroughBothForms) {
    const BarRecord bar{1700000000, 1.23456, 1.23001, 1.23999, 1.23500, 42.0};
    std::optional<WireBar28> wide = wire_bar28_from(bar, 5);
    ASSERT_TRUE(wide.has_value());
    EXPECT_EQ(wide->open_points, 123456);
    EXPECT_EQ(wide->low_delta, 123001 - 123456);
    BarRecord back = bar_from_wire(*wide, 5);
    EXPECT_EQ(back.open, bar.open);
    EXPECT_EQ(back.low, bar.low);
    EXPECT_EQ(back.high, bar.high);
    EXPECT_EQ(back.close, bar.close);
    EXPECT_EQ(back.volume, bar.volume);

    std::optional<WireBar22> narrow = wire_bar22_from(bar, 5);
    ASSERT_TRUE(narrow.has_value());
    EXPECT_EQ(bar_from_wire(*narrow, 5).high, bar.high);
}

TEST(WireBars, NarrowFormRefusesDifferencesBeyondSixteenBits) {
    const BarRecord bar{0, 1.0, 0.6, 1.4, 1.0, 1.0};   // 40000 points each way at 5 digits
    EXPECT_FALSE(wire_bar22_from(bar, 5).has_value());
    EXPECT_TRUE(wire_bar28_from(bar, 5).has_value());
}

}  // namespace
}  // namespace kb::market
