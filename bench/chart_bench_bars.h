#pragma once
// The bars the chart indicator benchmarks run on, and the run of one table entry.

#include <benchmark/benchmark.h>

#include <vector>

#include "tests/chart/bars_fixture.h"
#include "tests/chart/indicator_table.h"

namespace kb::chart::bench {

inline constexpr std::size_t kBenchBars = 1'000'000;

inline const std::vector<market::BarRecord>& bench_bars() {
    static const std::vector<market::BarRecord> bars = test::random_bars(kBenchBars, 11);
    return bars;
}

// Full calculations of one indicator over `bars`, counted in bars per second.
inline void run_full(benchmark::State& state, const test::Case& c, const ind::BarView& bars) {
    test::Instance instance(c.buffers, bars.count);
    for (auto _ : state) {
        const ind::Calculation result = c.calc(bars, 0, instance);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(instance.buffers[0].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * bars.count));
}

}  // namespace kb::chart::bench
