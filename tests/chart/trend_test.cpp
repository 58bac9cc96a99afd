#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/trend.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

using test::close_bars;
using test::hlc_bars;
using test::view;

TEST(MovingAverageIndicator, DrawBeginFollowsMethodAndSource) {
    const auto bars = close_bars({1, 2, 3, 4, 5, 6});
    std::vector<double> out(6);
    EXPECT_EQ(moving_average(view(bars), 3, kSimple, kPriceClose, 0, out).draw_begin, 3);
    EXPECT_EQ(moving_average(view(bars), 3, kExponential, kPriceClose, 0, out).draw_begin, 0);
    const std::vector<double> source{0, 0, 1, 2, 3, 4};
    const Calculation on_data = moving_average(source, 2, 2, kSimple, 0, out);
    EXPECT_EQ(on_data.draw_begin, 4);
    // The source's leading zeros are averaged in.
    EXPECT_DOUBLE_EQ(out[2], 0.5);
    EXPECT_DOUBLE_EQ(out[5], 3.5);
    EXPECT_FALSE(moving_average(view(bars), 0, kSimple, kPriceClose, 0, out).calculated);
}

TEST(Envelopes, BandsAroundTheCentreByThePercentDeviation) {
    const auto bars = test::flat_bars(20, 1.2);
    std::vector<double> upper(20), lower(20), centre(20);
    ASSERT_TRUE(envelopes(view(bars), 14, kSimple, kPriceClose, 0.1, 0, {upper, lower, centre}).calculated);
    EXPECT_NEAR(centre[19], 1.2, 1e-12);
    EXPECT_NEAR(upper[19], 1.2012, 1e-12);
    EXPECT_NEAR(lower[19], 1.1988, 1e-12);
    EXPECT_EQ(upper[12], 0.0);
}

TEST(BollingerBands, ConstantPricesCloseTheBands) {
    const auto bars = test::flat_bars(30, 1.3);
    std::vector<double> middle(30), half(30), upper(30), lower(30);
    const Calculation c = bollinger_bands(view(bars), 20, 2, kPriceClose, 0, {middle, half, upper, lower});
    EXPECT_EQ(c.draw_begin, 20);
    for (std::size_t i = 19; i < 30; ++i) {
        EXPECT_EQ(half[i], 0.0) << i;
        EXPECT_EQ(upper[i], middle[i]) << i;
        EXPECT_EQ(lower[i], middle[i]) << i;
    }
}

TEST(BollingerBands, HalfWidthIsDeviationsTimesPopulationDeviation) {
    const auto bars = close_bars({5, 1, 2, 3});
    std::vector<double> middle(4), half(4), upper(4), lower(4);
    bollinger_bands(view(bars), 3, 2, kPriceClose, 0, {middle, half, upper, lower});
    EXPECT_DOUBLE_EQ(middle[3], 2.0);
    EXPECT_DOUBLE_EQ(half[3], 2 * std::sqrt(2.0 / 3));
    EXPECT_DOUBLE_EQ(upper[3], 2 + 2 * std::sqrt(2.0 / 3));
    EXPECT_EQ(half[1], 0.0);
    std::vector<double> value(4), average(4);
    const Calculation s = standard_deviation(view(bars), 3, kSimple, kPriceClose, 0, {value, average});
    EXPECT_EQ(s.draw_begin, 3);
    EXPECT_DOUBLE_EQ(value[3], std::sqrt(2.0 / 3));
    EXPECT_DOUBLE_EQ(value[2], std::sqrt(((5 - 8.0 / 3) * (5 - 8.0 / 3) + (1 - 8.0 / 3) * (1 - 8.0 / 3) +
                                          (2 - 8.0 / 3) * (2 - 8.0 / 3)) / 3));
}

TEST(StandardDeviation, EqualPricesStillDeviateFromALaggingAverage) {
    // After the jump to 2 the window holds only 2s, but the exponential average still lags.
    const auto bars = close_bars({1, 1, 1, 1, 1, 2, 2, 2});
    std::vector<double> value(8), average(8);
    standard_deviation(view(bars), 3, kExponential, kPriceClose, 0, {value, average});
    EXPECT_GT(2 - average[7], 0.01);
    EXPECT_NEAR(value[7], 2 - average[7], 1e-12);
    EXPECT_NEAR(value[4], 0.0, 1e-15);
}

TEST(DeviationBands, AgreeWithTheDirectSumOverLongSeries) {
    const auto bars = test::random_bars(3000);
    for (int method : {kSimple, kExponential, kSmoothed, kLinearWeighted}) {
        std::vector<double> value(3000), average(3000);
        standard_deviation(view(bars), 20, method, kPriceTypical, 0, {value, average});
        for (std::size_t i = 19; i < 3000; i += 7) {
            double sum = 0;
            for (std::size_t j = i - 19; j <= i; ++j) {
                const double d = applied_price(view(bars), kPriceTypical, j) - average[i];
                sum += d * d;
            }
            ASSERT_NEAR(value[i], std::sqrt(sum / 20), 1e-12) << method << " bar " << i;
        }
    }
}

TEST(ParabolicSar, FollowsALongTrendAndReversesAtItsHighestHigh) {
    const auto bars = hlc_bars({{10, 9, 9.5}, {11, 10, 10.5}, {12, 11, 11.5}, {13, 12, 12.5},
                                {9, 8, 8.5}, {8.5, 7.5, 8}});
    std::vector<double> out(6, 99.0);
    SarState state;
    const Calculation c = parabolic_sar(view(bars), 0.02, 0.2, 0, state, out);
    EXPECT_EQ(c.draw_begin, 1);
    const double expected[] = {0, 9, 9, 9.12, 13, 13};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(out[i], expected[i], 1e-12) << i;
}

TEST(ParabolicSar, UndecidedBarsStartLongAtTheLastBar) {
    // Every bar widens: highs rise while lows fall.
    const auto bars = hlc_bars({{10, 9, 9.5}, {11, 8, 9}, {12, 7, 9}, {13, 6, 9}, {14, 5, 9}});
    std::vector<double> out(5, 99.0);
    SarState state;
    const Calculation c = parabolic_sar(view(bars), 0.02, 0.2, 0, state, out);
    EXPECT_EQ(c.draw_begin, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], 0.0) << i;
    EXPECT_EQ(out[4], 6.0);
    EXPECT_FALSE(parabolic_sar(view(std::vector<market::BarRecord>(bars.begin(), bars.begin() + 1)),
                               0.02, 0.2, 0, state, out).calculated);
}

TEST(Ichimoku, MidpointsSpansAndLaggingClose) {
    const auto bars = hlc_bars({{5, 1, 3}, {6, 2, 4}, {7, 3, 5}, {8, 4, 6}, {9, 5, 7}, {10, 6, 8}});
    std::vector<std::vector<double>> b(5, std::vector<double>(6, 99.0));
    ASSERT_TRUE(ichimoku(view(bars), 2, 3, 4, 0, {b[0], b[1], b[2], b[3], b[4]}).calculated);
    EXPECT_EQ(b[0][0], 0.0);
    EXPECT_DOUBLE_EQ(b[0][1], 3.5);
    EXPECT_EQ(b[1][1], 0.0);
    EXPECT_DOUBLE_EQ(b[1][2], 4.0);
    EXPECT_EQ(b[2][1], 0.0);
    EXPECT_DOUBLE_EQ(b[2][2], 4.25);
    EXPECT_EQ(b[3][2], 0.0);
    EXPECT_DOUBLE_EQ(b[3][3], 4.5);
    EXPECT_DOUBLE_EQ(b[4][0], 6.0);
    EXPECT_DOUBLE_EQ(b[4][2], 8.0);
    for (int i = 3; i < 6; ++i) EXPECT_EQ(b[4][i], 0.0) << i;
    EXPECT_FALSE(ichimoku(view(bars), 2, 0, 4, 0, {b[0], b[1], b[2], b[3], b[4]}).calculated);
}

}  // namespace
}  // namespace kb::chart::ind
