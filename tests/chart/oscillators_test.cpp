#include <gtest/gtest.h>

#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/moving_average.h"
#include "chart/indicators/oscillators.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

using test::close_bars;
using test::hlc_bars;
using test::view;

struct Buffers {
    std::vector<std::vector<double>> b;
    Buffers(int count, std::size_t n) : b(count, std::vector<double>(n, 99.0)) {}
    std::span<double> operator[](int k) { return b[k]; }
};

TEST(Rsi, RisingClosesHaveNoLossAndShowZero) {
    std::vector<double> closes;
    for (int i = 1; i <= 20; ++i) closes.push_back(i);
    const auto bars = close_bars(closes);
    Buffers out(3, 20);
    EXPECT_EQ(rsi(view(bars), 14, kPriceClose, 0, {out[0], out[1], out[2]}).draw_begin, 14);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out.b[0][i], 0.0) << i;
    EXPECT_NEAR(out.b[1][19], 1.0, 1e-12);
}

TEST(Rsi, WildersAveragesOfGainsAndLosses) {
    const auto bars = close_bars({1, 2, 1, 2});
    Buffers out(3, 4);
    rsi(view(bars), 2, kPriceClose, 0, {out[0], out[1], out[2]});
    EXPECT_EQ(out.b[0][1], 0.0);
    EXPECT_DOUBLE_EQ(out.b[0][2], 50.0);
    EXPECT_DOUBLE_EQ(out.b[1][3], 0.75);
    EXPECT_DOUBLE_EQ(out.b[2][3], 0.25);
    EXPECT_DOUBLE_EQ(out.b[0][3], 75.0);
}

TEST(Stochastic, FlatBarsGiveOneHundred) {
    const auto bars = test::flat_bars(20, 1.5);
    Buffers out(4, 20);
    const Calculation c = stochastic(view(bars), 5, 3, 3, kSimple, 0, 0, {out[0], out[1], out[2], out[3]});
    EXPECT_EQ(c.draw_begin, 8);
    EXPECT_EQ(c.draw_begin2, 11);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(out.b[0][i], 0.0) << i;
    for (int i = 8; i < 20; ++i) EXPECT_EQ(out.b[0][i], 100.0) << i;
    EXPECT_DOUBLE_EQ(out.b[1][19], 100.0);
}

TEST(Stochastic, CloseAgainstTheRangeOverTheSlowingWindow) {
    // kperiod 2, slowing 2: main[4] sums bars 3 and 4.
    const auto bars = hlc_bars({{2, 1, 1.5}, {3, 1, 2}, {4, 2, 3}, {5, 3, 4}, {6, 4, 4}});
    Buffers out(4, 5);
    stochastic(view(bars), 2, 1, 2, kSimple, 0, 0, {out[0], out[1], out[2], out[3]});
    EXPECT_EQ(out.b[2][3], 2.0);
    EXPECT_EQ(out.b[3][3], 5.0);
    // (4 - 2) + (4 - 3) over (5 - 2) + (6 - 3)
    EXPECT_DOUBLE_EQ(out.b[0][4], 100.0 * 3 / 6);
    EXPECT_EQ(out.b[0][3], 0.0);
    // Close/Close: lowest and highest of the closes.
    stochastic(view(bars), 2, 1, 2, kSimple, 1, 0, {out[0], out[1], out[2], out[3]});
    EXPECT_EQ(out.b[2][3], 3.0);
    EXPECT_EQ(out.b[3][3], 4.0);
}

TEST(WilliamsR, MinusHundredAtTheLowestLowZeroAtTheHighestHigh) {
    const auto bars = hlc_bars({{2, 1, 1.5}, {3, 1.5, 2}, {2.5, 1, 1}, {4, 2, 4}, {4, 4, 4}});
    std::vector<double> out(5, 99.0);
    EXPECT_EQ(williams_r(view(bars), 3, 0, out).draw_begin, 2);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_DOUBLE_EQ(out[2], -100.0);
    EXPECT_DOUBLE_EQ(out[3], 0.0);
    const auto flat = test::flat_bars(4, 2);
    williams_r(view(flat), 3, 0, out);
    EXPECT_EQ(out[3], 0.0);
}

TEST(Cci, ConstantPricesGiveZeroAndARampGivesOneHundred) {
    const auto flat = test::flat_bars(20, 1.25);
    Buffers out(4, 20);
    cci(view(flat), 14, kPriceTypical, 0, {out[0], out[1], out[2], out[3]});
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out.b[0][i], 0.0) << i;
    const auto ramp = close_bars({1, 2, 3});
    cci(view(ramp), 3, kPriceClose, 0, {out[0], out[1], out[2], out[3]});
    EXPECT_DOUBLE_EQ(out.b[3][2], 2.0);
    EXPECT_DOUBLE_EQ(out.b[2][2], 0.01);
    EXPECT_DOUBLE_EQ(out.b[1][2], 1.0);
    EXPECT_DOUBLE_EQ(out.b[0][2], 100.0);
}

TEST(Adx, EqualUpAndDownMovesCountAsNone) {
    // Bar 1 rises by 0.5 at the top and falls by 0.5 at the bottom; bar 2 only rises.
    const auto bars = hlc_bars({{10, 9, 9.5}, {10.5, 8.5, 9.5}, {11.5, 9.5, 10.5}});
    Buffers out(6, 3);
    adx(view(bars), 14, kPriceClose, 0, {out[0], out[1], out[2], out[3], out[4], out[5]});
    EXPECT_EQ(out.b[3][1], 0.0);
    EXPECT_EQ(out.b[4][1], 0.0);
    // up 1, down -1 → 0; true range max(2, |11.5 - 9.5|, 0) = 2.
    EXPECT_DOUBLE_EQ(out.b[3][2], 50.0);
    EXPECT_EQ(out.b[4][2], 0.0);
    const double k = 2.0 / 15;
    EXPECT_DOUBLE_EQ(out.b[1][2], 50.0 * k);
    EXPECT_DOUBLE_EQ(out.b[5][2], 100.0);
    EXPECT_DOUBLE_EQ(out.b[0][2], 100.0 * k);
}

TEST(Macd, SignalPeriodAtOrAboveTheBarCountShowsZeros) {
    const auto bars = test::random_bars(20);
    for (MacdForm form : {MacdForm::Macd, MacdForm::Osma}) {
        for (int signal : {20, 25}) {
            Buffers out(4, 20);
            ASSERT_TRUE(macd(view(bars), form, 12, 26, signal, kPriceClose, 0, {out[0], out[1], out[2], out[3]})
                            .calculated);
            for (int i = 0; i < 20; ++i) {
                EXPECT_EQ(out.b[0][i], 0.0) << i;
                EXPECT_EQ(out.b[3][i], 0.0) << i;
            }
        }
    }
}

TEST(Macd, MainIsTheDifferenceOfTheAveragesAndOsmaSubtractsTheSignal) {
    const auto bars = test::random_bars(60);
    Buffers m(4, 60), o(4, 60);
    std::vector<double> fast(60), slow(60);
    ma_prices(view(bars), kPriceClose, 12, kExponential, 0, fast);
    ma_prices(view(bars), kPriceClose, 26, kExponential, 0, slow);
    const Calculation c = macd(view(bars), MacdForm::Macd, 12, 26, 9, kPriceClose, 0, {m[0], m[1], m[2], m[3]});
    EXPECT_EQ(c.draw_begin2, 8);
    macd(view(bars), MacdForm::Osma, 12, 26, 9, kPriceClose, 0, {o[0], o[1], o[2], o[3]});
    EXPECT_EQ(m.b[3][7], 0.0);
    double sum = 0;
    for (int i = 40; i < 49; ++i) sum += fast[i] - slow[i];
    EXPECT_NEAR(m.b[3][48], sum / 9, 1e-15);
    for (int i = 0; i < 60; ++i) {
        EXPECT_NEAR(m.b[0][i], fast[i] - slow[i], 1e-15) << i;
        EXPECT_NEAR(o.b[0][i], fast[i] - slow[i] - m.b[3][i], 1e-15) << i;
    }
    EXPECT_FALSE(macd(view(bars), MacdForm::Macd, 12, 0, 9, kPriceClose, 0, {m[0], m[1], m[2], m[3]}).calculated);
}

TEST(SmallOscillators, HandComputedValues) {
    // DeMarker, period 2: highs rise by 1 and lows fall by 0.5 on the last bar.
    const auto dem_bars = hlc_bars({{1, 0, 0.5}, {2, 0.5, 1}, {3, 1, 2}, {4, 0.5, 2}});
    Buffers dem(3, 4);
    ASSERT_TRUE(demarker(view(dem_bars), 2, 0, {dem[0], dem[1], dem[2]}).calculated);
    EXPECT_DOUBLE_EQ(dem.b[0][2], 1.0);
    EXPECT_DOUBLE_EQ(dem.b[0][3], 1.0 / 1.25);
    EXPECT_FALSE(demarker(view(dem_bars), 4, 0, {dem[0], dem[1], dem[2]}).calculated);

    const auto mom_bars = close_bars({2, 4, 8, 0, 5});
    std::vector<double> mom(5, 99.0);
    momentum(view(mom_bars), 1, kPriceClose, 0, mom);
    EXPECT_EQ(mom[0], 0.0);
    EXPECT_DOUBLE_EQ(mom[2], 200.0);
    EXPECT_EQ(mom[4], 0.0);  // after a zero price

    // ATR, period 2: true ranges 2, 2, 3 (the last bar gaps up over the close before).
    const auto atr_bars = hlc_bars({{10, 8, 9}, {11, 9, 10}, {13, 12, 12.5}});
    Buffers a(2, 3);
    ASSERT_TRUE(atr(view(atr_bars), 2, 0, {a[0], a[1]}).calculated);
    EXPECT_EQ(a.b[0][0], 0.0);
    EXPECT_DOUBLE_EQ(a.b[0][1], 2.0);
    EXPECT_DOUBLE_EQ(a.b[1][2], 3.0);
    EXPECT_DOUBLE_EQ(a.b[0][2], 2.5);

    // Bulls and Bears against the EMA of the closes.
    const auto power_bars = hlc_bars({{2, 1, 1.5}, {3, 2, 2.5}}, 5);
    Buffers p(2, 2);
    power(view(power_bars), PowerSide::Bulls, 2, kPriceClose, 0, {p[0], p[1]});
    EXPECT_DOUBLE_EQ(p.b[0][1], 3 - (2.5 * 2 / 3 + 1.5 / 3));
    power(view(power_bars), PowerSide::Bears, 2, kPriceClose, 0, {p[0], p[1]});
    EXPECT_DOUBLE_EQ(p.b[0][0], 1 - 1.5);
}

TEST(Rvi, NoRangeGivesZeroAndTheSignalStartsThreeBarsLater) {
    const auto flat = test::flat_bars(20, 1.1);
    Buffers out(6, 20);
    const Calculation c = rvi(view(flat), 4, 0, {out[0], out[1], out[2], out[3], out[4], out[5]});
    EXPECT_EQ(c.draw_begin, 7);
    EXPECT_EQ(c.draw_begin2, 10);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out.b[0][i], 0.0) << i;
    // Closes above opens by a third of the range: RVI 1/3 once the sums are full.
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < 20; ++i) bars.push_back(test::bar(1, 2, 0.5, 1.5));
    rvi(view(bars), 4, 0, {out[0], out[1], out[2], out[3], out[4], out[5]});
    EXPECT_EQ(out.b[0][5], 0.0);
    EXPECT_DOUBLE_EQ(out.b[0][6], 1.0 / 3);
    EXPECT_EQ(out.b[1][8], 0.0);
    EXPECT_DOUBLE_EQ(out.b[1][9], 1.0 / 3);
}

TEST(ForceIndex, ChangeOfTheAverageTimesVolumeOnlyOnceTheAverageExists) {
    const auto bars = hlc_bars({{1, 1, 1}, {2, 2, 2}, {4, 4, 4}}, 10);
    Buffers out(2, 3);
    EXPECT_EQ(force_index(view(bars), 2, kSimple, kPriceClose, 0, {out[0], out[1]}).draw_begin, 2);
    EXPECT_EQ(out.b[0][0], 0.0);
    EXPECT_EQ(out.b[0][1], 0.0);
    EXPECT_DOUBLE_EQ(out.b[0][2], (3 - 1.5) * 10);
    force_index(view(bars), 2, kExponential, kPriceClose, 0, {out[0], out[1]});
    EXPECT_DOUBLE_EQ(out.b[0][1], (out.b[1][1] - 1) * 10);
}

}  // namespace
}  // namespace kb::chart::ind
