#include <gtest/gtest.h>

#include <vector>

#include "chart/render/render_scale.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart {
namespace {

TEST(RenderScale, CandleHalfWidthByScaleAndDpi) {
    const struct {
        int scale, dpi, half;
    } cases[] = {{1, 96, 0}, {2, 96, 0}, {4, 96, 1}, {8, 96, 2}, {16, 96, 5}, {32, 96, 12}, {8, 192, 5}, {16, 192, 12}};
    for (const auto& c : cases) EXPECT_EQ(candle_half_width(c.scale, c.dpi), c.half) << c.scale << " " << c.dpi;
}

TEST(RenderScale, OnlySolidLinesWidenOnDenseScreens) {
    EXPECT_EQ(line_pen_width(0, 2, 96), 2);
    EXPECT_EQ(line_pen_width(0, 2, 192), 4);
    EXPECT_EQ(line_pen_width(1, 2, 192), 2);
    EXPECT_EQ(scaled(39, 144), 59);
}

TEST(RenderScale, MainWindowRangeIsWidenedAndRoundedOutward) {
    // H 1.2040, L 1.2000: m = 0.0001; bottom 1.1999, top 1.2041 (1.2042 with the OHLC line);
    // 5 digits round to 4 decimals.
    const std::vector<market::BarRecord> bars = {test::bar(1.2, 1.2040, 1.2000, 1.202),
                                                 test::bar(1.21, 1.2100, 1.1000, 1.2)};
    std::optional<ValueRange> range = main_window_range(bars, 0, 1, 5, false);
    ASSERT_TRUE(range);
    EXPECT_NEAR(range->min, 1.1999, 1e-12);
    EXPECT_NEAR(range->max, 1.2041, 1e-12);
    range = main_window_range(bars, 0, 1, 5, true);
    EXPECT_NEAR(range->max, 1.2042, 1e-12);
    // Rounding that lands inside the range moves one step out: top 1.20414 rounds to 1.2041.
    const std::vector<market::BarRecord> odd = {test::bar(1.2, 1.20404, 1.20004, 1.202)};
    range = main_window_range(odd, 0, 1, 5, false);
    EXPECT_NEAR(range->min, 1.1999, 1e-12);
    EXPECT_NEAR(range->max, 1.2042, 1e-12);
    // Only the visible bars count, negative lows count as 0, and no bars give no range.
    EXPECT_NEAR(main_window_range(bars, 1, 2, 1, false)->min, 1.0, 1e-12);
    const std::vector<market::BarRecord> negative = {test::bar(1, 10, -5, 2)};
    EXPECT_NEAR(main_window_range(negative, 0, 1, 1, false)->min, -1, 1e-12);
    EXPECT_FALSE(main_window_range(bars, 2, 5, 5, false));
}

TEST(RenderScale, IndicatorRangeUsesMainAndSignalFromTheDrawBeginAndFixedBounds) {
    const std::vector<double> main = {100, 0, 10, 20, 30};
    const std::vector<double> signal = {0, 0, 15, 40, 25};
    IndicatorValues values{main, signal, 2, std::nullopt, std::nullopt, 0};
    std::optional<ValueRange> range = indicator_range(values, 0, 5);
    ASSERT_TRUE(range);
    EXPECT_DOUBLE_EQ(range->min, 8.5);    // 10 - 5% of 30
    EXPECT_DOUBLE_EQ(range->max, 41.5);
    values.fixed_minimum = 0;
    range = indicator_range(values, 0, 5);
    EXPECT_DOUBLE_EQ(range->min, 0);
    EXPECT_DOUBLE_EQ(range->max, 42);
    values.fixed_maximum = 100;
    range = indicator_range(values, 0, 5);
    EXPECT_DOUBLE_EQ(range->max, 100);
    IndicatorValues empty{main, {}, 5, std::nullopt, std::nullopt, 4};
    EXPECT_FALSE(indicator_range(empty, 0, 5));
}

TEST(RenderScale, PriceAxisMarksAreSpacedAndSkippedForAZeroRange) {
    const Rect window{0, 0, 300, 321};
    // 0.0320 over 322 rows at 4 digits: 320 points / 322 = 0.99 -> step 5 points.
    const std::vector<PriceMark> marks = price_axis_marks(window, {1.2, 1.232}, 4, 96);
    ASSERT_FALSE(marks.empty());
    EXPECT_NEAR(marks[0].price, 1.2005, 1e-12);
    for (size_t i = 1; i < marks.size(); ++i) EXPECT_GE(marks[i - 1].y - marks[i].y, 32);
    for (const PriceMark& mark : marks) EXPECT_LT(mark.price, 1.232);
    EXPECT_TRUE(price_axis_marks(window, {1.2, 1.2}, 4, 96).empty());
    EXPECT_GE(price_axis_marks(window, {1.2, 1.232}, 4, 192)[1].y, 0);
    EXPECT_LT(price_axis_marks(window, {1.2, 1.232}, 4, 192).size(), marks.size());
}

TEST(RenderScale, ValuesMapToRowsAndBack) {
    const Rect window{0, 10, 100, 111};   // 101 rows
    const ValueRange range{0, 100};
    EXPECT_EQ(value_to_y(window, range, 0), 110);
    EXPECT_EQ(value_to_y(window, range, 100), 10);
    EXPECT_EQ(value_to_y(window, range, 50), 60);
    EXPECT_DOUBLE_EQ(y_to_value(window, range, 60), 50);
    // Flat prices sit in the middle; values far outside are kept within reach.
    EXPECT_EQ(value_to_y(window, {1.5, 1.5}, 1.5), 60);
    EXPECT_EQ(value_to_y(window, range, 1e300), -1000000);
}

TEST(RenderScale, SeparatorUnitsByPeriodAndWeeksFromSunday) {
    const std::pair<int, SeparatorUnit> units[] = {{1, SeparatorUnit::Day},     {60, SeparatorUnit::Day},
                                                   {240, SeparatorUnit::Week},  {1440, SeparatorUnit::Month},
                                                   {10080, SeparatorUnit::Year}, {43200, SeparatorUnit::Year}};
    for (auto [period, unit] : units) EXPECT_EQ(separator_unit(period), unit) << period;
    constexpr int64_t kSunday = 1796515200;   // 2026-12-06 00:00:00 UTC
    EXPECT_EQ(separator_bucket(kSunday, SeparatorUnit::Week), separator_bucket(kSunday - 1, SeparatorUnit::Week) + 1);
    EXPECT_EQ(separator_bucket(kSunday, SeparatorUnit::Week),
              separator_bucket(kSunday + 6 * 86400 + 86399, SeparatorUnit::Week));
    EXPECT_NE(separator_bucket(1796083200, SeparatorUnit::Month), separator_bucket(1796083199, SeparatorUnit::Month));
}

}  // namespace
}  // namespace kb::chart
