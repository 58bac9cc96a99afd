// Price rounding and price texts against the plain library calls a caller would
// otherwise write, measured in the same run: normalize against std::round(v * p) / p,
// price_text against snprintf("%.*f") into a stack buffer. Each reports time_ratio,
// its time per value over the baseline's (1.0 = as fast, 2.0 = twice as slow).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

#include "core/number_format.h"

namespace {

constexpr int kDigits = 5;
constexpr size_t kBatch = 1024;   // prices per iteration, so the clock reading is amortised

const std::vector<double>& prices() {
    static const std::vector<double> values = [] {
        std::mt19937 random(12345);
        std::uniform_real_distribution<double> spread(0.5, 2000.0);
        std::vector<double> out(kBatch);
        for (double& v : out) v = spread(random) * (random() % 2 ? 1 : -1);
        return out;
    }();
    return values;
}

double normalize_baseline_ns = 0;
double price_text_baseline_ns = 0;

// Runs body once per price per iteration and returns nanoseconds per price.
template <typename Body>
double measure(benchmark::State& state, Body body) {
    const std::vector<double>& values = prices();
    // Processor time, not wall time: the ratio should not depend on what else the
    // machine runs meanwhile.
    std::clock_t start = std::clock();
    for (auto _ : state)
        for (double v : values) body(v);
    double elapsed_ns = static_cast<double>(std::clock() - start) * 1e9 / CLOCKS_PER_SEC;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
    return elapsed_ns / static_cast<double>(state.iterations() * values.size());
}

void report_ratio(benchmark::State& state, double ns, double baseline_ns) {
    if (baseline_ns > 0) state.counters["time_ratio"] = ns / baseline_ns;
}

void BM_NormalizeBaseline(benchmark::State& state) {
    const double power = std::pow(10.0, kDigits);
    normalize_baseline_ns = measure(state, [&](double v) { benchmark::DoNotOptimize(std::round(v * power) / power); });
}

void BM_Normalize(benchmark::State& state) {
    double ns = measure(state, [](double v) { benchmark::DoNotOptimize(kb::core::normalize(v, kDigits)); });
    report_ratio(state, ns, normalize_baseline_ns);
}

void BM_PriceTextBaseline(benchmark::State& state) {
    price_text_baseline_ns = measure(state, [](double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", kDigits, v);
        benchmark::DoNotOptimize(text);
    });
}

void BM_PriceText(benchmark::State& state) {
    double ns = measure(state, [](double v) { benchmark::DoNotOptimize(kb::core::price_text(v, kDigits)); });
    report_ratio(state, ns, price_text_baseline_ns);
}

}  // namespace

// Each baseline runs before its subject: the ratio needs its time.
BENCHMARK(BM_NormalizeBaseline)->MinTime(0.5);
BENCHMARK(BM_Normalize)->MinTime(0.5);
BENCHMARK(BM_PriceTextBaseline)->MinTime(0.5);
BENCHMARK(BM_PriceText)->MinTime(0.5);

BENCHMARK_MAIN();
