#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/bill_williams.h"
#include "chart/indicators/histogram_colours.h"
#include "chart/indicators/moving_average.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

using test::view;

std::vector<market::BarRecord> rising_bars(int count) {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < count; ++i) bars.push_back(test::bar(i, i + 1.0, i, i + 0.5));
    return bars;
}

TEST(Awesome, ZeroUpToBar33) {
    for (int count : {3, 34, 35, 40}) {
        const auto bars = rising_bars(count);
        std::vector<double> ao(count, 99.0), a5(count, 99.0), a34(count, 99.0);
        ASSERT_TRUE(awesome(view(bars), 0, {ao, a5, a34}).calculated) << count;
        for (int i = 0; i < count; ++i) {
            // Medians rise by 1 per bar: 5-bar average minus 34-bar average is 14.5.
            const double expected = i < 34 ? 0.0 : 14.5;
            EXPECT_DOUBLE_EQ(ao[i], expected) << count << " bar " << i;
        }
    }
}

TEST(Accelerator, NeedsMoreThan38BarsAndStartsAtBar38) {
    const auto short_bars = rising_bars(38);
    std::vector<std::vector<double>> b(5, std::vector<double>(40, 99.0));
    EXPECT_FALSE(accelerator(view(short_bars), 0, {b[0], b[1], b[2], b[3], b[4]}).calculated);
    std::vector<market::BarRecord> bars = rising_bars(39);
    bars.push_back(test::bar(50, 60, 50, 55));
    ASSERT_TRUE(accelerator(view(bars), 0, {b[0], b[1], b[2], b[3], b[4]}).calculated);
    for (int i = 0; i < 38; ++i) EXPECT_EQ(b[0][i], 0.0) << i;
    EXPECT_DOUBLE_EQ(b[0][38], 0.0);  // AO is flat until the jump
    EXPECT_GT(b[0][39], 0.0);
    EXPECT_DOUBLE_EQ(b[0][39], b[1][39] - (b[1][35] + b[1][36] + b[1][37] + b[1][38] + b[1][39]) / 5);
}

TEST(Fractals, LeftSideRules) {
    struct Case {
        std::vector<double> highs;
        std::vector<int> up_at;
    } cases[] = {
        {{1, 2, 3, 2, 1, 1, 1}, {2}},
        // An equal high right before counts; the first of the pair does not.
        {{1, 2, 3, 5, 5, 4, 3, 2, 1}, {4}},
        {{1, 2, 5, 4, 5, 4, 3, 2}, {4}},  // equal two back, lower one back
        {{1, 2, 5, 5, 5, 4, 3, 1}, {4}},  // equal three in a row
        {{1, 2, 3, 3, 4, 3, 2, 1}, {4}},
        {{5, 1, 5, 4, 5, 3, 2, 1}, {}},   // the left side never drops below twice
        {{1, 2, 5, 3, 5, 4, 5, 3, 2}, {6}},
        {{2, 1, 3, 2, 1, 4, 5}, {2}},     // the last two bars hold none
    };
    for (const Case& c : cases) {
        std::vector<market::BarRecord> bars;
        for (double h : c.highs) bars.push_back(test::bar(0, h, -100, 0));
        const std::size_t n = bars.size();
        std::vector<double> up(n, 99.0), down(n, 99.0);
        ASSERT_TRUE(fractals(view(bars), 0, {up, down}).calculated);
        std::vector<int> found;
        for (std::size_t i = 0; i < n; ++i) {
            if (up[i] != 0) {
                found.push_back(static_cast<int>(i));
                EXPECT_EQ(up[i], c.highs[i]);
            }
            EXPECT_EQ(down[i], 0.0);
        }
        EXPECT_EQ(found, c.up_at) << ::testing::PrintToString(c.highs);
    }
    const std::vector<market::BarRecord> six(6, test::bar(1, 2, 0, 1));
    std::vector<double> up(6), down(6);
    EXPECT_FALSE(fractals(view(six), 0, {up, down}).calculated);
}

TEST(Fractals, DownFractalsMirrorTheRules) {
    std::vector<market::BarRecord> bars;
    for (double low : {5.0, 4.0, 3.0, 1.0, 1.0, 2.0, 3.0, 4.0, 5.0}) bars.push_back(test::bar(0, 100, low, 0));
    std::vector<double> up(9), down(9);
    fractals(view(bars), 0, {up, down});
    for (int i = 0; i < 9; ++i) EXPECT_EQ(down[i], i == 4 ? 1.0 : 0.0) << i;
}

TEST(Alligator, ThreeAveragesOfTheMedianPrice) {
    const auto bars = test::random_bars(60);
    std::vector<double> jaw(60), teeth(60), lips(60), expected(60);
    ASSERT_TRUE(alligator(view(bars), 13, 8, 5, kSmoothed, kPriceMedian, 0, {jaw, teeth, lips}).calculated);
    ma_prices(view(bars), kPriceMedian, 8, kSmoothed, 0, expected);
    EXPECT_EQ(teeth, expected);
    EXPECT_FALSE(alligator(view(bars), 13, 0, 5, kSmoothed, kPriceMedian, 0, {jaw, teeth, lips}).calculated);
}

TEST(Gator, HistogramsAreZeroWhileALineHasNoValue) {
    const std::vector<double> jaw{0, 0, 3, 4, 5}, teeth{0, 2, 2, 2, 2}, lips{1, 1, 1, 1, 3};
    std::vector<double> upper(5, 9), lower(5, 9);
    std::vector<std::uint8_t> upper_colours(5, 9), lower_colours(5, 9);
    gator_histograms({jaw, teeth, lips, 0, 0, 0}, 0, 5, {upper, lower, upper_colours, lower_colours});
    EXPECT_EQ(upper, (std::vector<double>{0, 0, 1, 2, 3}));
    EXPECT_EQ(lower, (std::vector<double>{0, -1, -1, -1, -1}));
    EXPECT_EQ(upper_colours, (std::vector<std::uint8_t>{kColourUp, kColourUp, kColourUp, kColourUp, kColourUp}));
    // Lower bars grow longer at bar 1 (up), then stay equal.
    EXPECT_EQ(lower_colours[1], kColourUp);
    // Shifts move each line right; bars past the buffers read the shifted values.
    std::vector<double> shifted_upper(3), shifted_lower(3);
    std::vector<std::uint8_t> c1(3), c2(3);
    gator_histograms({jaw, teeth, lips, 2, 1, 0}, 4, 7, {shifted_upper, shifted_lower, c1, c2});
    // bar 4: J = jaw[2] = 3, T = teeth[3] = 2, L = lips[4] = 3; bar 6: J = jaw[4], T = teeth[5] = 0.
    EXPECT_EQ(shifted_upper, (std::vector<double>{1, 2, 0}));
    EXPECT_EQ(shifted_lower[0], -1.0);
    EXPECT_EQ(shifted_lower[2], 0.0);
    EXPECT_EQ(c1[1], kColourUp);
    EXPECT_EQ(c1[2], kColourDown);
    EXPECT_EQ(c2[2], kColourDown);  // 0 after -1: shorter
}

}  // namespace
}  // namespace kb::chart::ind
