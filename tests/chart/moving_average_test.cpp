#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/moving_average.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

using test::bar;
using test::close_bars;
using test::view;

// The definitions in their plainest form, one window at a time.
std::vector<double> reference_ma(const std::vector<double>& s, int period, int method) {
    const std::size_t n = s.size(), p = period;
    std::vector<double> out(n, 0.0);
    if (method == kExponential) {
        const double k = 2.0 / (period + 1);
        out[0] = s[0];
        for (std::size_t i = 1; i < n; ++i) out[i] = s[i] * k + out[i - 1] * (1 - k);
        return out;
    }
    if (n < p) return out;
    for (std::size_t i = p - 1; i < n; ++i) {
        double sum = 0, weighted = 0;
        for (std::size_t w = 1; w <= p; ++w) {
            sum += s[i + w - p];
            weighted += w * s[i + w - p];
        }
        if (method == kSimple) out[i] = sum / period;
        if (method == kLinearWeighted) out[i] = weighted / (period * (period + 1) / 2.0);
        if (method == kSmoothed)
            out[i] = i == p - 1 ? sum / period : (out[i - 1] * (period - 1) + s[i]) / period;
    }
    return out;
}

TEST(MovingAverage, HandComputedValues) {
    struct Case {
        std::vector<double> prices;
        int period, method;
        std::vector<double> expected;
    } cases[] = {
        {{1, 2, 3, 4}, 5, kSimple, {0, 0, 0, 0}},
        {{1, 2, 3, 4}, 3, kSmoothed, {0, 0, 2, 8.0 / 3}},
        {{1, 2, 3}, 3, kLinearWeighted, {0, 0, 14.0 / 6}},
        {{1, 2, 3, 4}, 3, kLinearWeighted, {0, 0, 14.0 / 6, 20.0 / 6}},
        {{2, 4, 6, 8, 10, 12, 14}, 2, kSimple, {0, 3, 5, 7, 9, 11, 13}},
        // k = 1/3
        {{3, 6, 9, 3}, 5, kExponential, {3, 4, 17.0 / 3, 43.0 / 9}},
    };
    for (const Case& c : cases) {
        std::vector<double> out(c.prices.size(), 99.0);
        ASSERT_TRUE(ma_series(c.prices, c.period, c.method, 0, out));
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_NEAR(out[i], c.expected[i], 1e-12) << "method " << c.method << " bar " << i;
    }
}

TEST(MovingAverage, AgreesWithThePlainDefinitionOnLongSeries) {
    const auto bars = test::random_bars(503);
    std::vector<double> closes;
    for (const auto& b : bars) closes.push_back(double{b.close});
    for (int method : {kSimple, kExponential, kSmoothed, kLinearWeighted}) {
        for (int period : {1, 2, 5, 14, 50}) {
            const auto expected = reference_ma(closes, period, method);
            std::vector<double> on_bars(closes.size(), 99.0), on_series(closes.size(), 99.0);
            ASSERT_TRUE(ma_prices(view(bars), kPriceClose, period, method, 0, on_bars));
            ASSERT_TRUE(ma_series(closes, period, method, 0, on_series));
            for (std::size_t i = 0; i < closes.size(); ++i) {
                ASSERT_NEAR(on_bars[i], expected[i], 1e-12) << method << "/" << period << " " << i;
                ASSERT_EQ(on_series[i], on_bars[i]) << method << "/" << period << " " << i;
            }
        }
    }
}

TEST(MovingAverage, RefusesTooFewValuesAndBadPeriods) {
    const auto one = close_bars({1});
    const auto two = close_bars({1, 2});
    std::vector<double> out(2, 99.0);
    EXPECT_FALSE(ma_prices(view(one), kPriceClose, 1, kSimple, 0, out));
    EXPECT_FALSE(ma_prices(view(two), kPriceClose, 0, kSimple, 0, out));
    EXPECT_FALSE(ma_series({}, 1, kSimple, 0, out));
    EXPECT_EQ(out[0], 99.0);
    const std::vector<double> single{5};
    EXPECT_TRUE(ma_series(single, 1, kSimple, 0, out));
    EXPECT_EQ(out[0], 5.0);
}

TEST(MovingAverage, UnknownMethodLeavesTheOutputAlone) {
    const std::vector<double> prices{1, 2, 3, 4, 5};
    std::vector<double> out(5, 99.0);
    EXPECT_TRUE(ma_series(prices, 2, 4, 0, out));
    EXPECT_EQ(out[4], 99.0);
}

TEST(AppliedPrice, FormulasOfEachChoice) {
    const std::vector<market::BarRecord> bars{bar(1, 10, 2, 9)};
    const std::pair<int, double> cases[] = {{kPriceClose, 9},  {kPriceOpen, 1},    {kPriceHigh, 10},
                                            {kPriceLow, 2},    {kPriceMedian, 6},  {kPriceTypical, 7},
                                            {kPriceWeighted, 7.5}, {7, 0}, {-1, 0}};
    for (auto [apply, expected] : cases)
        EXPECT_DOUBLE_EQ(applied_price(view(bars), apply, 0), expected) << apply;
}

}  // namespace
}  // namespace kb::chart::ind
