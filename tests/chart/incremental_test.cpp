// Every indicator, calculated tick by tick with the restart rule, must hold the values of a
// full calculation over the same bars.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tests/chart/bars_fixture.h"
#include "tests/chart/indicator_table.h"

namespace kb::chart::ind {
namespace {

constexpr std::size_t kCapacity = 400;

using test::Calc;
using test::Case;
using test::Instance;

// An indicator run on the main buffer of an RSI(9) of the same bars.
Calc on_source(std::function<Calculation(std::span<const double>, int, int, Instance&)> calc) {
    return [calc](const BarView& bars, int computed, Instance& in) {
        std::vector<double> rsi_values(bars.count), gain(bars.count), loss(bars.count);
        const Calculation source = rsi(bars, 9, kPriceClose, 0, {rsi_values, gain, loss});
        return calc(rsi_values, source.draw_begin, computed, in);
    };
}

std::vector<Case> all_indicators() {
    std::vector<Case> cases = test::default_indicators();
    // The other methods, price choices and inputs of the shared routine.
    for (int method : {kExponential, kSmoothed, kLinearWeighted}) {
        cases.push_back({"Moving Average method " + std::to_string(method), 1,
                         [method](const BarView& b, int c, Instance& in) {
                             return moving_average(b, 14, method, kPriceTypical, c, in[0]);
                         }});
        cases.push_back({"Stochastic method " + std::to_string(method), 4,
                         [method](const BarView& b, int c, Instance& in) {
                             return stochastic(b, 5, 3, 3, method, 1, c, {in[0], in[1], in[2], in[3]});
                         }});
        cases.push_back({"Force Index method " + std::to_string(method), 2,
                         [method](const BarView& b, int c, Instance& in) {
                             return force_index(b, 13, method, kPriceMedian, c, {in[0], in[1]});
                         }});
    }
    cases.push_back({"Alligator weighted", 3, [](const BarView& b, int c, Instance& in) {
                         return alligator(b, 13, 8, 5, kLinearWeighted, kPriceWeighted, c, {in[0], in[1], in[2]});
                     }});
    cases.push_back({"Moving Average on RSI", 1,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return moving_average(s, begin, 10, kLinearWeighted, c, in[0]);
                     })});
    cases.push_back({"Envelopes on RSI", 3,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return envelopes(s, begin, 10, kExponential, 2, c, {in[0], in[1], in[2]});
                     })});
    cases.push_back({"Bollinger Bands on RSI", 4,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return bollinger_bands(s, begin, 10, 3, c, {in[0], in[1], in[2], in[3]});
                     })});
    cases.push_back({"Standard Deviation on RSI", 2,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return standard_deviation(s, begin, 10, kSmoothed, c, {in[0], in[1]});
                     })});
    cases.push_back({"MACD on RSI", 4,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return macd(s, begin, MacdForm::Macd, 5, 13, 4, c, {in[0], in[1], in[2], in[3]});
                     })});
    cases.push_back({"OsMA on RSI", 4,
                     on_source([](std::span<const double> s, int begin, int c, Instance& in) {
                         return macd(s, begin, MacdForm::Osma, 5, 13, 4, c, {in[0], in[1], in[2], in[3]});
                     })});
    return cases;
}

// The forming bar as its first tick shows it.
market::BarRecord first_tick(const market::BarRecord& final_bar) {
    return test::bar(final_bar.open, final_bar.open, final_bar.open, final_bar.open, 1);
}

// Halfway between the first tick and the final bar: the range has grown part of the way.
market::BarRecord middle_tick(const market::BarRecord& final_bar) {
    const double o = final_bar.open;
    return test::bar(o, (o + final_bar.high) / 2, (o + final_bar.low) / 2,
                     (o + final_bar.close) / 2, std::floor(final_bar.volume / 2));
}

void expect_same(const Case& c, Instance& incremental, const std::vector<market::BarRecord>& bars,
                 const Calculation& got, const char* step) {
    Instance full(c.buffers, kCapacity);
    const Calculation expected = c.calc(BarView::of(bars), 0, full);
    ASSERT_EQ(got.calculated, expected.calculated) << c.name << " " << step;
    EXPECT_EQ(got.draw_begin, expected.draw_begin) << c.name << " " << step;
    EXPECT_EQ(got.draw_begin2, expected.draw_begin2) << c.name << " " << step;
    for (int k = 0; k < c.buffers; ++k)
        for (std::size_t i = 0; i < bars.size(); ++i) {
            const double want = full.buffers[k][i], have = incremental.buffers[k][i];
            ASSERT_NEAR(have, want, 1e-9 * std::max(1.0, std::fabs(want)))
                << c.name << " " << step << ": buffer " << k << " bar " << i;
        }
}

TEST(IncrementalCalculation, TicksAndNewBarsGiveTheFullCalculationsValues) {
    // Each bar from the 260th on arrives as a first tick, then as its final form.
    const auto final_bars = test::random_bars(300);
    constexpr std::size_t kFirst = 260;
    for (const Case& c : all_indicators()) {
        SCOPED_TRACE(c.name);
        Instance incremental(c.buffers, kCapacity);
        std::vector<market::BarRecord> bars(final_bars.begin(), final_bars.begin() + kFirst);
        bars.push_back(first_tick(final_bars[kFirst]));
        Calculation got = c.calc(BarView::of(bars), 0, incremental);
        expect_same(c, incremental, bars, got, "first calculation");
        int computed = static_cast<int>(bars.size());
        for (std::size_t next = kFirst; next < final_bars.size(); ++next) {
            if (next > kFirst) {
                bars.push_back(first_tick(final_bars[next]));
                got = c.calc(BarView::of(bars), computed, incremental);
                expect_same(c, incremental, bars, got, "new bar");
                computed = static_cast<int>(bars.size());
            }
            bars.back() = middle_tick(final_bars[next]);
            got = c.calc(BarView::of(bars), computed, incremental);
            expect_same(c, incremental, bars, got, "tick");
            bars.back() = final_bars[next];
            got = c.calc(BarView::of(bars), computed, incremental);
            expect_same(c, incremental, bars, got, "last tick");
            got = c.calc(BarView::of(bars), computed, incremental);
            expect_same(c, incremental, bars, got, "repeated tick");
        }
        ASSERT_EQ(bars.size(), 300u);
    }
}

// Buffers exactly as long as the bars: with a sanitizer any access past them is reported.
TEST(ShortHistories, NoBarsCalculateNothingAndFewBarsStayInsideTheirBuffers) {
    const auto all_bars = test::random_bars(60);
    for (const Case& c : all_indicators()) {
        for (std::size_t n : {0, 1, 2, 3, 5, 7, 9, 14, 27, 35, 39, 53}) {
            const std::vector<market::BarRecord> bars(all_bars.begin(), all_bars.begin() + n);
            Instance instance(c.buffers, n);
            const Calculation got = c.calc(BarView::of(bars), 0, instance);
            if (n == 0) {
                EXPECT_FALSE(got.calculated) << c.name;
            }
            Instance again(c.buffers, n);
            c.calc(BarView::of(bars), static_cast<int>(n), again);
        }
    }
}

}  // namespace
}  // namespace kb::chart::ind
