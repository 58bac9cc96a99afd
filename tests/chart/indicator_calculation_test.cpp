// The recalculation protocol of the framework: buffers and their growth, the full /
// refresh / new-bar decision with the history version, visibility, allocation failure,
// and the chain of a window's indicators on each other's data.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/indicator_buffers.h"
#include "chart/framework/price_series.h"
#include "chart/framework/window_calculation.h"
#include "chart/indicators/oscillators.h"
#include "chart/indicators/trend.h"
#include "tests/chart/bars_fixture.h"
#include "tests/chart/indicator_fixture.h"

namespace kb::chart {
namespace {

using test::JournalCapture;
using test::with_lines;

BarsUpdate update_of(const std::vector<market::BarRecord>& bars, int version, int period = 60,
                     std::string_view symbol = "EURUSD") {
    return {.symbol = symbol, .period = period, .bars = bars, .bar_capacity = 0, .history_version = version,
            .symbol_digits = 5};
}

// An indicator that copies the closes and notes the computed count of every calculation.
const IndicatorTraits kProbeTraits{"Probe", "Probe", IndicatorType::None, WindowKind::Own, DrawKind::Lines,
                                   true, false, 1, 1, DigitsRule::Fixed4};
const IndicatorDefaults kProbeDefaults{};

class Probe final : public CInd {
public:
    Probe() : CInd(kProbeTraits, kProbeDefaults) {}
    std::vector<int> computed_seen;

protected:
    void save_parameters(LineSink&) const override {}
    ind::Calculation compute_on_bars(const ind::BarView& bars, int computed) override {
        computed_seen.push_back(computed);
        std::span<double> out = output(0);
        for (std::size_t i = 0; i < bars.count; ++i) out[i] = bars.close[i];
        return ind::drawn_from(0);
    }
};

TEST(IndicatorRecalculation, DecidesFromSeriesCountAndVersion) {
    const auto bars10 = test::random_bars(10);
    const auto bars11 = test::random_bars(11);
    const auto bars12 = test::random_bars(12);
    const auto bars9 = test::random_bars(9);
    struct Step {
        const std::vector<market::BarRecord>* bars;
        int version;
        int period;
        const char* symbol;
        CalculationResult result;
        int computed;   // handed to the calculation; -1 = not called
    };
    const Step steps[] = {
        {&bars10, 5, 60, "EURUSD", CalculationResult::Calculated, 0},     // first: full
        {&bars10, 5, 60, "EURUSD", CalculationResult::Unchanged, -1},     // same version
        {&bars10, 6, 60, "EURUSD", CalculationResult::Calculated, 10},    // a tick: refresh
        {&bars11, 7, 60, "EURUSD", CalculationResult::Calculated, 10},    // one new bar
        {&bars11, 14, 60, "EURUSD", CalculationResult::Calculated, 11},   // 7 versions on: still incremental
        {&bars11, 22, 60, "EURUSD", CalculationResult::Calculated, 0},    // 8 on: full
        {&bars11, 122, 60, "EURUSD", CalculationResult::Calculated, 0},   // a load (+100): full
        {&bars10, 123, 60, "EURUSD", CalculationResult::Calculated, 0},   // fewer bars: full
        {&bars12, 124, 60, "EURUSD", CalculationResult::Calculated, 0},   // two more: full
        {&bars12, 120, 60, "EURUSD", CalculationResult::Calculated, 0},   // version went back: full
        {&bars12, 121, 60, "GBPUSD", CalculationResult::Calculated, 0},   // another symbol
        {&bars12, 122, 240, "GBPUSD", CalculationResult::Calculated, 0},  // another period
        {&bars12, -1, 60, "GBPUSD", CalculationResult::Calculated, 0},    // after a change the chart passes -1
        {&bars12, -1, 60, "GBPUSD", CalculationResult::Unchanged, -1},
        {&bars9, 3, 60, "GBPUSD", CalculationResult::Calculated, 0},
    };
    Probe probe;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        probe.computed_seen.clear();
        EXPECT_EQ(probe.calculate_on_bars(update_of(*step.bars, step.version, step.period, step.symbol)),
                  step.result)
            << "step " << i;
        if (step.computed < 0) {
            EXPECT_TRUE(probe.computed_seen.empty()) << "step " << i;
        } else {
            EXPECT_EQ(probe.computed_seen, std::vector<int>{step.computed}) << "step " << i;
            EXPECT_EQ(probe.computed_count(), static_cast<int>(step.bars->size()));
            ASSERT_EQ(probe.buffer(0).size(), step.bars->size());
            EXPECT_EQ(probe.buffer(0).back(), double{step.bars->back().close});
        }
    }
}

TEST(IndicatorRecalculation, ResetForcesAFullCalculation) {
    const auto bars = test::random_bars(10);
    Probe probe;
    probe.calculate_on_bars(update_of(bars, 1));
    probe.reset_calculation();
    probe.computed_seen.clear();
    EXPECT_EQ(probe.calculate_on_bars(update_of(bars, 1)), CalculationResult::Calculated);
    EXPECT_EQ(probe.computed_seen, std::vector<int>{0});
}

TEST(IndicatorRecalculation, HiddenIndicatorFreesItsBuffersAndRecalculatesInFullWhenShownAgain) {
    const auto bars = test::random_bars(20);
    Probe probe;
    probe.set_period_flags(16);   // H1 only
    EXPECT_EQ(probe.calculate_on_bars(update_of(bars, 1, 60)), CalculationResult::Calculated);
    EXPECT_EQ(probe.calculate_on_bars(update_of(bars, 2, 240)), CalculationResult::Hidden);
    EXPECT_TRUE(probe.buffer(0).empty());
    EXPECT_EQ(probe.computed_count(), 0);
    probe.computed_seen.clear();
    EXPECT_EQ(probe.calculate_on_bars(update_of(bars, 3, 60)), CalculationResult::Calculated);
    EXPECT_EQ(probe.computed_seen, std::vector<int>{0});
}

TEST(IndicatorRecalculation, NoBarsOrNoSymbolGiveNoValues) {
    const auto bars = test::random_bars(20);
    const std::vector<market::BarRecord> none;
    auto rsi = create_indicator("Relative Strength Index");
    EXPECT_EQ(rsi->calculate_on_bars(update_of(none, 1)), CalculationResult::Empty);
    EXPECT_TRUE(rsi->buffer(0).empty());
    EXPECT_EQ(rsi->calculate_on_bars(update_of(bars, 1, 60, "")), CalculationResult::Empty);
    EXPECT_TRUE(rsi->buffer(0).empty());
    // An invalid period of the class: nothing calculated either.
    auto macd = with_lines("MACD", {"fast_ema=0"});
    EXPECT_EQ(macd->calculate_on_bars(update_of(bars, 1)), CalculationResult::Empty);
    EXPECT_TRUE(macd->buffer(0).empty());
}

TEST(IndicatorBuffers, GrowByTheChartsCapacityOrByAStep) {
    struct Case {
        int bar_count, bar_capacity, capacity;
    };
    const Case cases[] = {
        {10, 0, 264},     // bar count + 256, less the two spare entries
        {10, 10, 264},    // the chart's capacity does not exceed the count
        {10, 260, 260},   // the chart's capacity + 2, less the two
        {0, 0, 254},
    };
    for (const Case& c : cases) {
        IndicatorBuffers buffers(3);
        ASSERT_TRUE(buffers.reserve(c.bar_count, c.bar_capacity, KeepValues::No));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(buffers.capacity(i), c.capacity) << c.bar_count << "/" << c.bar_capacity;
            EXPECT_EQ(buffers.storage(i).size(), static_cast<std::size_t>(c.capacity));
        }
        EXPECT_EQ(buffers.capacity(3), 0);
        EXPECT_TRUE(buffers.storage(3).empty());
    }
}

TEST(IndicatorBuffers, KeepValuesOnlyForAnIncrementalCalculation) {
    for (KeepValues keep : {KeepValues::Yes, KeepValues::No}) {
        IndicatorBuffers buffers(1);
        ASSERT_TRUE(buffers.reserve(10, 0, KeepValues::No));
        std::span<double> first = buffers.storage(0);
        for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<double>(i + 1);
        buffers.set_used(10);
        const double* before = buffers.storage(0).data();

        ASSERT_TRUE(buffers.reserve(264, 0, keep));   // fits: the same buffer
        EXPECT_EQ(buffers.storage(0).data(), before);

        ASSERT_TRUE(buffers.reserve(265, 0, keep));   // grows to 265 + 254
        std::span<double> grown = buffers.storage(0);
        ASSERT_EQ(grown.size(), 519u);
        for (std::size_t i = 0; i < grown.size(); ++i) {
            const double expected = keep == KeepValues::Yes && i < 10 ? static_cast<double>(i + 1) : 0.0;
            ASSERT_EQ(grown[i], expected) << i;
        }
    }
}

std::unique_ptr<double[]> no_memory(std::size_t) { return nullptr; }

TEST(IndicatorBuffers, AllocationFailureIsJournaledAndNothingIsCalculated) {
    const auto bars = test::random_bars(30);
    JournalCapture journal;
    auto rsi = create_indicator("Relative Strength Index");
    rsi->calculate_on_bars(update_of(bars, 1));
    ASSERT_EQ(rsi->buffer(0).size(), 30u);

    rsi->set_buffer_allocator(no_memory);
    BarsUpdate update = update_of(bars, 2);
    update.journal = journal.journal();
    EXPECT_EQ(rsi->calculate_on_bars(update), CalculationResult::OutOfMemory);
    EXPECT_TRUE(rsi->buffer(0).empty());
    EXPECT_EQ(journal.lines(), std::vector<std::string>{"Not enough memory for indicator!"});

    rsi->set_buffer_allocator(IndicatorBuffers::allocate_doubles);
    EXPECT_EQ(rsi->calculate_on_bars(update), CalculationResult::Calculated);
    EXPECT_EQ(rsi->buffer(0).size(), 30u);
}

// Bars that change tick by tick: a new bar now and then, the newest bar's close moving
// in between.
TEST(IndicatorRecalculation, TicksAndNewBarsGiveTheValuesOfAFullCalculation) {
    const auto all = test::random_bars(420, 11);
    for (std::string_view name : catalogue_names()) {
        SCOPED_TRACE(std::string(name));
        auto ticking = create_indicator(name);
        int version = 0;
        std::vector<market::BarRecord> bars(all.begin(), all.begin() + 40);
        ticking->calculate_on_bars(update_of(bars, ++version));
        for (std::size_t n = 41; n <= all.size(); ++n) {
            bars.push_back(all[n - 1]);
            bars.back().close = bars.back().open;   // the bar opens...
            bars.back().high = std::max(double{bars.back().open}, double{all[n - 1].low});
            bars.back().low = bars.back().high;
            ticking->calculate_on_bars(update_of(bars, ++version));
            bars.back() = all[n - 1];               // ...and ticks to its final prices
            ticking->calculate_on_bars(update_of(bars, ++version));
        }
        auto full = create_indicator(name);
        full->calculate_on_bars(update_of(bars, 1));
        ASSERT_EQ(ticking->computed_count(), full->computed_count());
        for (int b = 0; b < full->buffer_count(); ++b) {
            const auto expected = full->buffer(b);
            const auto got = ticking->buffer(b);
            ASSERT_EQ(got.size(), expected.size()) << "buffer " << b;
            for (std::size_t i = 0; i < expected.size(); ++i)
                ASSERT_NEAR(got[i], expected[i], 1e-9 * (1 + std::fabs(expected[i]))) << "buffer " << b << " bar " << i;
        }
    }
}

// ---- the chain of a window ----

std::vector<double> moving_average_of(std::span<const double> source, int draw_begin, int period) {
    std::vector<double> out(source.size());
    ind::moving_average(source, draw_begin, period, ind::kSimple, 0, out);
    return out;
}

std::vector<double> as_vector(std::span<const double> values) { return {values.begin(), values.end()}; }

// The same values up to rounding (sums taken in another order).
void expect_close(std::span<const double> got, const std::vector<double>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-9 * (1 + std::fabs(expected[i]))) << "bar " << i;
}

TEST(WindowCalculation, PreviousIndicatorsDataFeedsTheNext) {
    const auto bars = test::random_bars(80);
    PriceSeries series;
    auto first = with_lines("Moving Average", {"period=3"});
    auto second = with_lines("Moving Average", {"period=2", "apply=7"});
    CInd* window[] = {&series, first.get(), second.get()};
    calculate_window(window, update_of(bars, 1));

    EXPECT_EQ(second->apply(), 7);
    EXPECT_EQ(as_vector(second->buffer(0)), moving_average_of(first->buffer(0), first->draw_begin(), 2));
    EXPECT_EQ(second->draw_begin(), first->draw_begin() + 2);
    EXPECT_EQ(second->digits(), first->digits());
}

TEST(WindowCalculation, IndicatorRightAfterThePricesTakesTheClose) {
    const auto bars = test::random_bars(80);
    for (const char* apply : {"apply=7", "apply=8"}) {
        PriceSeries series;
        auto average = with_lines("Moving Average", {"period=5", apply});
        auto reference = with_lines("Moving Average", {"period=5"});
        CInd* window[] = {&series, average.get()};
        calculate_window(window, update_of(bars, 1));
        reference->calculate_on_bars(update_of(bars, 1));
        EXPECT_EQ(average->apply(), 0) << apply;
        EXPECT_EQ(as_vector(average->buffer(0)), as_vector(reference->buffer(0))) << apply;
    }
}

TEST(WindowCalculation, SubWindowChainsOnFirstAndPreviousData) {
    const auto bars = test::random_bars(120);
    auto rsi = with_lines("Relative Strength Index", {"period=9"});
    auto on_first = with_lines("Moving Average", {"period=4", "apply=8"});
    auto on_previous = with_lines("Moving Average", {"period=3", "apply=7"});
    auto also_on_first = with_lines("Bollinger Bands", {"period=6", "apply=8"});
    CInd* window[] = {rsi.get(), on_first.get(), on_previous.get(), also_on_first.get()};
    calculate_window(window, update_of(bars, 1));

    EXPECT_EQ(as_vector(on_first->buffer(0)), moving_average_of(rsi->buffer(0), rsi->draw_begin(), 4));
    EXPECT_EQ(as_vector(on_previous->buffer(0)), moving_average_of(on_first->buffer(0), on_first->draw_begin(), 3));
    expect_close(also_on_first->buffer(0), moving_average_of(rsi->buffer(0), rsi->draw_begin(), 6));
    EXPECT_EQ(on_first->digits(), 4);   // the RSI's, not the symbol's 5
}

TEST(WindowCalculation, SourceThatCannotServeTurnsTheFollowerToClose) {
    const auto bars = test::random_bars(120);
    auto gator = create_indicator("Gator Oscillator");   // not a data source
    auto average = with_lines("Moving Average", {"period=5", "apply=7"});
    auto on_first = with_lines("Standard Deviation", {"apply=8"});
    CInd* window[] = {gator.get(), average.get(), on_first.get()};
    calculate_window(window, update_of(bars, 1));
    EXPECT_EQ(average->apply(), 0);
    EXPECT_FALSE(average->buffer(0).empty());
    // 8 finds the average (now on close) as the first indicator that can serve.
    EXPECT_EQ(on_first->apply(), 8);
    EXPECT_FALSE(on_first->buffer(0).empty());
}

TEST(WindowCalculation, HiddenSourceLeavesTheFollowerWaitingWithItsSetting) {
    const auto bars = test::random_bars(120);
    auto rsi = with_lines("Relative Strength Index", {"period_flags=1"});   // M1 only
    auto average = with_lines("Moving Average", {"period=5", "apply=7"});
    CInd* window[] = {rsi.get(), average.get()};
    calculate_window(window, update_of(bars, 1, 60));
    EXPECT_EQ(average->apply(), 7);
    EXPECT_TRUE(average->buffer(0).empty());

    calculate_window(window, update_of(bars, 2, 1));
    EXPECT_EQ(as_vector(average->buffer(0)), moving_average_of(rsi->buffer(0), rsi->draw_begin(), 5));
}

TEST(WindowCalculation, FirstIndicatorDataComesFromTheFirstThatHoldsValues) {
    const auto bars = test::random_bars(120);
    auto hidden = with_lines("Relative Strength Index", {"period_flags=1"});
    auto cci = create_indicator("Commodity Channel Index");
    auto average = with_lines("Moving Average", {"period=5", "apply=8"});
    CInd* window[] = {hidden.get(), cci.get(), average.get()};
    calculate_window(window, update_of(bars, 1, 60));
    EXPECT_EQ(as_vector(average->buffer(0)), moving_average_of(cci->buffer(0), cci->draw_begin(), 5));
}

TEST(WindowCalculation, IndicatorWithoutDataInputOnSevenTakesTheClose) {
    const auto bars = test::random_bars(60);
    auto average = create_indicator("Moving Average");
    auto rsi = with_lines("Relative Strength Index", {"apply=7"});
    auto reference = create_indicator("Relative Strength Index");
    CInd* window[] = {average.get(), rsi.get()};
    calculate_window(window, update_of(bars, 1));
    reference->calculate_on_bars(update_of(bars, 1));
    EXPECT_EQ(rsi->apply(), 0);
    EXPECT_EQ(as_vector(rsi->buffer(0)), as_vector(reference->buffer(0)));
}

TEST(WindowCalculation, FollowerStartsAgainWhenItsSourceDoes) {
    const auto bars = test::random_bars(120);
    auto rsi = create_indicator("Relative Strength Index");
    auto average = with_lines("Moving Average", {"period=5", "apply=7"});
    CInd* window[] = {rsi.get(), average.get()};
    calculate_window(window, update_of(bars, 1));

    // The user changes the source's period: it alone is told to start again, and the
    // same bars are handed to the window.
    rsi->parse_line("period=6");
    rsi->reset_calculation();
    calculate_window(window, update_of(bars, 1));
    EXPECT_EQ(as_vector(average->buffer(0)), moving_average_of(rsi->buffer(0), rsi->draw_begin(), 5));

    // A tick: both go on incrementally and stay consistent.
    auto ticked = bars;
    ticked.back().close += 0.001;
    calculate_window(window, update_of(ticked, 2));
    expect_close(average->buffer(0), moving_average_of(rsi->buffer(0), rsi->draw_begin(), 5));
}

TEST(WindowCalculation, PriceSeriesTakesTheAskAndMarksObjectsOnAFullCalculation) {
    auto bars = test::random_bars(30);
    PriceSeries series;
    CInd* window[] = {&series};
    BarsUpdate update = update_of(bars, 1);
    update.ask = 1.23456;
    calculate_window(window, update);
    EXPECT_EQ(series.ask(), 1.23456);
    EXPECT_TRUE(series.objects_need_positions());
    series.clear_objects_need_positions();

    update.history_version = 2;   // a tick
    update.ask = 1.2346;
    calculate_window(window, update);
    EXPECT_EQ(series.ask(), 1.2346);
    EXPECT_FALSE(series.objects_need_positions());

    update.history_version = 102;   // history loaded
    calculate_window(window, update);
    EXPECT_TRUE(series.objects_need_positions());
}

}  // namespace
}  // namespace kb::chart
