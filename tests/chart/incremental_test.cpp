// Every indicator, calculated tick by tick with the restart rule, must hold the values of a
// full calculation over the same bars.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "chart/indicators/applied_price.h"
#include "chart/indicators/bill_williams.h"
#include "chart/indicators/oscillators.h"
#include "chart/indicators/trend.h"
#include "chart/indicators/volume_indicators.h"
#include "tests/chart/bars_fixture.h"

namespace kb::chart::ind {
namespace {

constexpr std::size_t kCapacity = 400;

// The buffers and kept state of one indicator instance.
struct Instance {
    std::vector<std::vector<double>> buffers;
    SarState sar;
    explicit Instance(int count) : buffers(count, std::vector<double>(kCapacity, 0.0)) {}
    std::span<double> operator[](int k) { return buffers[k]; }
};

using Calc = std::function<Calculation(const BarView&, int computed, Instance&)>;

struct Case {
    std::string name;
    int buffers;
    Calc calc;
};

// An indicator run on the main buffer of an RSI(9) of the same bars.
Calc on_source(std::function<Calculation(std::span<const double>, int, int, Instance&)> calc) {
    return [calc](const BarView& bars, int computed, Instance& in) {
        std::vector<double> rsi_values(bars.count), gain(bars.count), loss(bars.count);
        const Calculation source = rsi(bars, 9, kPriceClose, 0, {rsi_values, gain, loss});
        return calc(rsi_values, source.draw_begin, computed, in);
    };
}

std::vector<Case> all_indicators() {
    std::vector<Case> cases = {
        {"Accelerator Oscillator", 5,
         [](const BarView& b, int c, Instance& in) {
             return accelerator(b, c, {in[0], in[1], in[2], in[3], in[4]});
         }},
        {"Accumulation/Distribution", 1,
         [](const BarView& b, int c, Instance& in) { return accumulation_distribution(b, c, in[0]); }},
        {"Alligator", 3,
         [](const BarView& b, int c, Instance& in) {
             return alligator(b, 13, 8, 5, kSmoothed, kPriceMedian, c, {in[0], in[1], in[2]});
         }},
        {"Average Directional Movement Index", 6,
         [](const BarView& b, int c, Instance& in) {
             return adx(b, 14, kPriceClose, c, {in[0], in[1], in[2], in[3], in[4], in[5]});
         }},
        {"Average True Range", 2,
         [](const BarView& b, int c, Instance& in) { return atr(b, 14, c, {in[0], in[1]}); }},
        {"Awesome Oscillator", 3,
         [](const BarView& b, int c, Instance& in) { return awesome(b, c, {in[0], in[1], in[2]}); }},
        {"Bears Power", 2,
         [](const BarView& b, int c, Instance& in) {
             return power(b, PowerSide::Bears, 13, kPriceClose, c, {in[0], in[1]});
         }},
        {"Bollinger Bands", 4,
         [](const BarView& b, int c, Instance& in) {
             return bollinger_bands(b, 20, 2, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Bulls Power", 2,
         [](const BarView& b, int c, Instance& in) {
             return power(b, PowerSide::Bulls, 13, kPriceClose, c, {in[0], in[1]});
         }},
        {"Commodity Channel Index", 4,
         [](const BarView& b, int c, Instance& in) {
             return cci(b, 14, kPriceTypical, c, {in[0], in[1], in[2], in[3]});
         }},
        {"DeMarker", 3,
         [](const BarView& b, int c, Instance& in) { return demarker(b, 14, c, {in[0], in[1], in[2]}); }},
        {"Envelopes", 3,
         [](const BarView& b, int c, Instance& in) {
             return envelopes(b, 14, kSimple, kPriceClose, 0.1, c, {in[0], in[1], in[2]});
         }},
        {"Force Index", 2,
         [](const BarView& b, int c, Instance& in) {
             return force_index(b, 13, kSimple, kPriceClose, c, {in[0], in[1]});
         }},
        {"Fractals", 2,
         [](const BarView& b, int c, Instance& in) { return fractals(b, c, {in[0], in[1]}); }},
        {"Gator Oscillator", 3,
         [](const BarView& b, int c, Instance& in) {
             return alligator(b, 13, 8, 5, kLinearWeighted, kPriceWeighted, c, {in[0], in[1], in[2]});
         }},
        {"Ichimoku Kinko Hyo", 5,
         [](const BarView& b, int c, Instance& in) {
             return ichimoku(b, 9, 26, 52, c, {in[0], in[1], in[2], in[3], in[4]});
         }},
        {"Market Facilitation Index", 2,
         [](const BarView& b, int c, Instance& in) { return market_facilitation(b, 5, c, {in[0], in[1]}); }},
        {"MACD", 4,
         [](const BarView& b, int c, Instance& in) {
             return macd(b, MacdForm::Macd, 12, 26, 9, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Momentum", 1,
         [](const BarView& b, int c, Instance& in) { return momentum(b, 14, kPriceClose, c, in[0]); }},
        {"Money Flow Index", 1,
         [](const BarView& b, int c, Instance& in) { return money_flow_index(b, 14, c, in[0]); }},
        {"Moving Average", 1,
         [](const BarView& b, int c, Instance& in) {
             return moving_average(b, 14, kSimple, kPriceClose, c, in[0]);
         }},
        {"Moving Average of Oscillator", 4,
         [](const BarView& b, int c, Instance& in) {
             return macd(b, MacdForm::Osma, 12, 26, 9, kPriceClose, c, {in[0], in[1], in[2], in[3]});
         }},
        {"On Balance Volume", 1,
         [](const BarView& b, int c, Instance& in) { return on_balance_volume(b, kPriceClose, c, in[0]); }},
        {"Parabolic SAR", 1,
         [](const BarView& b, int c, Instance& in) { return parabolic_sar(b, 0.02, 0.2, c, in.sar, in[0]); }},
        {"Relative Strength Index", 3,
         [](const BarView& b, int c, Instance& in) {
             return rsi(b, 14, kPriceClose, c, {in[0], in[1], in[2]});
         }},
        {"Relative Vigor Index", 6,
         [](const BarView& b, int c, Instance& in) {
             return rvi(b, 10, c, {in[0], in[1], in[2], in[3], in[4], in[5]});
         }},
        {"Standard Deviation", 2,
         [](const BarView& b, int c, Instance& in) {
             return standard_deviation(b, 20, kSimple, kPriceClose, c, {in[0], in[1]});
         }},
        {"Stochastic Oscillator", 4,
         [](const BarView& b, int c, Instance& in) {
             return stochastic(b, 5, 3, 3, kSimple, 0, c, {in[0], in[1], in[2], in[3]});
         }},
        {"Volumes", 1, [](const BarView& b, int c, Instance& in) { return volumes(b, c, in[0]); }},
        {"Williams' Percent Range", 1,
         [](const BarView& b, int c, Instance& in) { return williams_r(b, 14, c, in[0]); }},
    };
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
    Instance full(c.buffers);
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
        Instance incremental(c.buffers);
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

}  // namespace
}  // namespace kb::chart::ind
