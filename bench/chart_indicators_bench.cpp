// Full calculation of every chart indicator on 1,000,000 bars (items per second = bars per
// second) against the baseline of copying each bar's close into a buffer; and one tick on
// the newest bar recalculating ten indicators incrementally.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/chart_bench_bars.h"

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
