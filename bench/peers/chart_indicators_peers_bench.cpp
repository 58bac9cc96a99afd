// The chart indicators beside Tulip Indicators and TA-Lib on the same 1,000,000 bars, in
// the same run: for each indicator that all compute, "ours" reads the packed bar records as
// the chart holds them, "ours_columns" the same bars as separate arrays (the peers' input),
// then the two peers. Bars per second are the items per second. Their conventions differ
// from ours in places (seeding, smoothing): the comparison is of speed, not of values.
// Run with GLIBC_TUNABLES=glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=268435456
// so that peers allocating per call keep their buffers in the heap; ratios.py turns the JSON
// output (--benchmark_format=json) into ours / faster-peer ratios.

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/chart_bench_bars.h"
#include "indicators.h"
#include "ta_func.h"

namespace {

using namespace kb;
using namespace kb::chart;

struct Columns {
    std::vector<double> open, low, high, close, volume;
    explicit Columns(const std::vector<market::BarRecord>& bars) {
        for (const market::BarRecord& b : bars) {
            // Copies: the packed record's fields can't be bound to references.
            open.push_back(double{b.open});
            low.push_back(double{b.low});
            high.push_back(double{b.high});
            close.push_back(double{b.close});
            volume.push_back(double{b.volume});
        }
    }
    ind::BarView view() const {
        return ind::BarView::of_arrays(open.data(), low.data(), high.data(), close.data(),
                                       volume.data(), close.size());
    }
};

const Columns& columns() {
    static const Columns c(bench::bench_bars());
    return c;
}

// One peer call over all bars into preallocated outputs.
using PeerCall = std::function<void(const Columns&, std::vector<std::vector<double>>&)>;

struct Peers {
    std::string name;       // label in the output
    std::string ours;       // table name, or "" for the entry below
    test::Case own;         // used when `ours` is empty
    int outputs;
    PeerCall tulip, talib;  // empty where the peer has no such indicator
};

PeerCall tulip(int (*fn)(int, const double* const*, const double*, double* const*),
               std::vector<int> inputs, std::vector<double> options) {
    return [=](const Columns& c, std::vector<std::vector<double>>& out) {
        const double* const fields[] = {c.open.data(), c.low.data(), c.high.data(), c.close.data(),
                                        c.volume.data()};
        std::vector<const double*> in;
        for (int k : inputs) in.push_back(fields[k]);
        std::vector<double*> outs;
        for (auto& o : out) outs.push_back(o.data());
        fn(static_cast<int>(c.close.size()), in.data(), options.data(), outs.data());
    };
}

enum Field { kOpen, kLow, kHigh, kClose, kVolume };

test::Case ma_case(int method) {
    return {"", 1, [method](const ind::BarView& b, int c, test::Instance& in) {
                return ind::moving_average(b, 14, method, ind::kPriceClose, c, in[0]);
            }};
}

// TA-Lib's reports of where its output begins and how long it is; not used.
int b, nb;

int end(const Columns& c) { return static_cast<int>(c.close.size()) - 1; }

std::vector<Peers> peers() {
    return {
        {"SMA", "Moving Average", {}, 1, tulip(ti_sma, {kClose}, {14}),
         [](const Columns& c, auto& o) { TA_SMA(0, end(c), c.close.data(), 14, &b, &nb, o[0].data()); }},
        {"EMA", "", ma_case(ind::kExponential), 1, tulip(ti_ema, {kClose}, {14}),
         [](const Columns& c, auto& o) { TA_EMA(0, end(c), c.close.data(), 14, &b, &nb, o[0].data()); }},
        {"SMMA", "", ma_case(ind::kSmoothed), 1, tulip(ti_wilders, {kClose}, {14}), {}},
        {"LWMA", "", ma_case(ind::kLinearWeighted), 1, tulip(ti_wma, {kClose}, {14}),
         [](const Columns& c, auto& o) { TA_WMA(0, end(c), c.close.data(), 14, &b, &nb, o[0].data()); }},
        {"BollingerBands", "Bollinger Bands", {}, 3, tulip(ti_bbands, {kClose}, {20, 2}),
         [](const Columns& c, auto& o) {
             TA_BBANDS(0, end(c), c.close.data(), 20, 2, 2, TA_MAType_SMA, &b, &nb, o[0].data(),
                       o[1].data(), o[2].data());
         }},
        {"StdDev", "Standard Deviation", {}, 1, tulip(ti_stddev, {kClose}, {20}),
         [](const Columns& c, auto& o) { TA_STDDEV(0, end(c), c.close.data(), 20, 1, &b, &nb, o[0].data()); }},
        {"ParabolicSAR", "Parabolic SAR", {}, 1, tulip(ti_psar, {kHigh, kLow}, {0.02, 0.2}),
         [](const Columns& c, auto& o) {
             TA_SAR(0, end(c), c.high.data(), c.low.data(), 0.02, 0.2, &b, &nb, o[0].data());
         }},
        {"MACD", "MACD", {}, 3, tulip(ti_macd, {kClose}, {12, 26, 9}),
         [](const Columns& c, auto& o) {
             TA_MACD(0, end(c), c.close.data(), 12, 26, 9, &b, &nb, o[0].data(), o[1].data(), o[2].data());
         }},
        {"RSI", "Relative Strength Index", {}, 1, tulip(ti_rsi, {kClose}, {14}),
         [](const Columns& c, auto& o) { TA_RSI(0, end(c), c.close.data(), 14, &b, &nb, o[0].data()); }},
        {"Stochastic", "Stochastic Oscillator", {}, 2, tulip(ti_stoch, {kHigh, kLow, kClose}, {5, 3, 3}),
         [](const Columns& c, auto& o) {
             TA_STOCH(0, end(c), c.high.data(), c.low.data(), c.close.data(), 5, 3, TA_MAType_SMA, 3,
                      TA_MAType_SMA, &b, &nb, o[0].data(), o[1].data());
         }},
        {"CCI", "Commodity Channel Index", {}, 1, tulip(ti_cci, {kHigh, kLow, kClose}, {14}),
         [](const Columns& c, auto& o) {
             TA_CCI(0, end(c), c.high.data(), c.low.data(), c.close.data(), 14, &b, &nb, o[0].data());
         }},
        {"Momentum", "Momentum", {}, 1, tulip(ti_rocr, {kClose}, {14}),
         [](const Columns& c, auto& o) { TA_ROCR100(0, end(c), c.close.data(), 14, &b, &nb, o[0].data()); }},
        {"WilliamsR", "Williams' Percent Range", {}, 1, tulip(ti_willr, {kHigh, kLow, kClose}, {14}),
         [](const Columns& c, auto& o) {
             TA_WILLR(0, end(c), c.high.data(), c.low.data(), c.close.data(), 14, &b, &nb, o[0].data());
         }},
        {"ATR", "Average True Range", {}, 1, tulip(ti_atr, {kHigh, kLow, kClose}, {14}),
         [](const Columns& c, auto& o) {
             TA_ATR(0, end(c), c.high.data(), c.low.data(), c.close.data(), 14, &b, &nb, o[0].data());
         }},
        {"ADX", "Average Directional Movement Index", {}, 1, tulip(ti_adx, {kHigh, kLow, kClose}, {14}),
         [](const Columns& c, auto& o) {
             TA_ADX(0, end(c), c.high.data(), c.low.data(), c.close.data(), 14, &b, &nb, o[0].data());
         }},
        {"OBV", "On Balance Volume", {}, 1, tulip(ti_obv, {kClose, kVolume}, {}),
         [](const Columns& c, auto& o) { TA_OBV(0, end(c), c.close.data(), c.volume.data(), &b, &nb, o[0].data()); }},
        {"MoneyFlowIndex", "Money Flow Index", {}, 1, tulip(ti_mfi, {kHigh, kLow, kClose, kVolume}, {14}),
         [](const Columns& c, auto& o) {
             TA_MFI(0, end(c), c.high.data(), c.low.data(), c.close.data(), c.volume.data(), 14, &b, &nb,
                    o[0].data());
         }},
        {"AccumulationDistribution", "Accumulation/Distribution", {}, 1,
         tulip(ti_ad, {kHigh, kLow, kClose, kVolume}, {}),
         [](const Columns& c, auto& o) {
             TA_AD(0, end(c), c.high.data(), c.low.data(), c.close.data(), c.volume.data(), &b, &nb, o[0].data());
         }},
        {"MarketFacilitation", "Market Facilitation Index", {}, 1, tulip(ti_marketfi, {kHigh, kLow, kVolume}, {}), {}},
        {"Awesome", "Awesome Oscillator", {}, 1, tulip(ti_ao, {kHigh, kLow}, {}), {}},
    };
}

void run_peer(benchmark::State& state, const PeerCall& call, int outputs) {
    const Columns& c = columns();
    std::vector<std::vector<double>> out(outputs, std::vector<double>(c.close.size()));
    for (auto _ : state) {
        call(c, out);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * c.close.size()));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    TA_Initialize();
    static const std::vector<test::Case> table = test::default_indicators();
    static const std::vector<Peers> all = peers();
    for (const Peers& p : all) {
        const test::Case* own = &p.own;
        for (const test::Case& c : table)
            if (!p.ours.empty() && c.name == p.ours) own = &c;
        benchmark::RegisterBenchmark((p.name + "/ours").c_str(), [own](benchmark::State& s) {
            bench::run_full(s, *own, ind::BarView::of(bench::bench_bars()));
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((p.name + "/ours_columns").c_str(), [own](benchmark::State& s) {
            bench::run_full(s, *own, columns().view());
        })->Unit(benchmark::kMillisecond);
        if (p.tulip)
            benchmark::RegisterBenchmark((p.name + "/tulip").c_str(), [&p](benchmark::State& s) {
                run_peer(s, p.tulip, p.outputs);
            })->Unit(benchmark::kMillisecond);
        if (p.talib)
            benchmark::RegisterBenchmark((p.name + "/talib").c_str(), [&p](benchmark::State& s) {
                run_peer(s, p.talib, p.outputs);
            })->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
