// Full calculation of every chart indicator on 1,000,000 bars (items per second = bars per
// second) against the baseline of copying each bar's close into a buffer; and one tick on
// the newest bar recalculating ten indicators incrementally, directly and through the chart's
// windows.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/chart_bench_bars.h"
#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/price_series.h"
#include "chart/framework/window_calculation.h"

namespace {

using namespace kb;
using namespace kb::chart;

void BM_CopyCloses(benchmark::State& state) {
    const ind::BarView bars = ind::BarView::of(bench::bench_bars());
    std::vector<double> out(bars.count);
    for (auto _ : state) {
        for (std::size_t i = 0; i < bars.count; ++i) out[i] = bars.close[i];
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * bars.count));
}
BENCHMARK(BM_CopyCloses)->Unit(benchmark::kMillisecond);

// A tick changes the newest bar's close; ten indicators recalculate from computed - 2.
void BM_TickOnTenIndicators(benchmark::State& state) {
    const char* const names[] = {"Moving Average", "Bollinger Bands", "Relative Strength Index",
                                 "MACD", "Stochastic Oscillator",
                                 "Average Directional Movement Index", "Average True Range",
                                 "Commodity Channel Index", "Parabolic SAR", "Ichimoku Kinko Hyo"};
    std::vector<market::BarRecord> bars = bench::bench_bars();
    const ind::BarView view = ind::BarView::of(bars);
    std::vector<test::Case> cases;
    std::vector<test::Instance> instances;
    for (const test::Case& c : test::default_indicators())
        for (const char* name : names)
            if (c.name == name) {
                cases.push_back(c);
                instances.emplace_back(c.buffers, bars.size());
                c.calc(view, 0, instances.back());
            }
    if (cases.size() != std::size(names)) state.SkipWithError("indicator missing from the table");
    const int computed = static_cast<int>(bars.size());
    market::BarRecord& last = bars.back();
    const double close = last.close;
    int tick = 0;
    for (auto _ : state) {
        last.close = close + ((++tick & 7) - 4) * 0.00001;
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const ind::Calculation result = cases[k].calc(view, computed, instances[k]);
            benchmark::DoNotOptimize(result);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TickOnTenIndicators)->Unit(benchmark::kMicrosecond);

// The same tick as the chart hands it to its windows: the same ten indicators made by the
// factory, in the main window after the price series and one sub-window each, with the
// recalculation decision, the buffers and the window chain on top of the calculations.
void BM_TickOnTenIndicatorsThroughWindows(benchmark::State& state) {
    const char* const over_prices[] = {"Moving Average", "Bollinger Bands", "Parabolic SAR", "Ichimoku Kinko Hyo"};
    const char* const own_windows[] = {"Relative Strength Index", "MACD", "Stochastic Oscillator",
                                       "Average Directional Movement Index", "Average True Range",
                                       "Commodity Channel Index"};
    std::vector<market::BarRecord> bars = bench::bench_bars();
    PriceSeries series;
    std::vector<std::unique_ptr<CInd>> indicators;
    std::vector<std::vector<CInd*>> windows(1, std::vector<CInd*>{&series});
    for (const char* name : over_prices) {
        indicators.push_back(create_indicator(name));
        windows[0].push_back(indicators.back().get());
    }
    for (const char* name : own_windows) {
        indicators.push_back(create_indicator(name));
        windows.push_back({indicators.back().get()});
    }
    int version = 1;
    BarsUpdate update{.symbol = "EURUSD", .period = 60, .bars = bars,
                      .bar_capacity = static_cast<int>(bars.size()), .history_version = version, .symbol_digits = 5};
    for (const auto& window : windows) calculate_window(window, update);
    market::BarRecord& last = bars.back();
    const double close = last.close;
    int tick = 0;
    for (auto _ : state) {
        last.close = close + ((++tick & 7) - 4) * 0.00001;
        update.history_version = ++version;
        for (const auto& window : windows) calculate_window(window, update);
        benchmark::ClobberMemory();
        // The counter may run far; the chart copies it from the history base, where it
        // moves by one a tick just the same.
        if (version > 1'000'000'000) version = 1;
    }
    if (indicators[0]->computed_count() != static_cast<int>(bars.size()))
        state.SkipWithError("the framework did not calculate");
}
BENCHMARK(BM_TickOnTenIndicatorsThroughWindows)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const ind::BarView bars = ind::BarView::of(bench::bench_bars());
    for (const test::Case& c : test::default_indicators()) {
        benchmark::RegisterBenchmark(("BM_Full/" + c.name).c_str(),
                                     [c, bars](benchmark::State& state) { bench::run_full(state, c, bars); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
