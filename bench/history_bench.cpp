// The history base's hot paths against baselines measured in the same run: a tick against
// a memcpy of the whole bar array (a tick must never cost a full copy), and a save after
// a tick against a plain read of the whole file (the save writes from the first changed
// bar only).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "market/history_base.h"
#include "market/hst_file.h"
#include "core/fixed_text.h"
#include "platform/files.h"
#include "scratch_folder.h"

namespace {

using namespace kb::market;
using kb::bench::ScratchFolder;
using kb::bench::seconds_since;

constexpr size_t kMemoryBars = 65536;
constexpr size_t kFileBars = 262144;
constexpr int32_t kStart = 1700000000 - 1700000000 % 60;

SymbolRecord all_day_symbol() {
    SymbolRecord symbol{};
    kb::core::set_field_text(symbol.name, "EURUSD");
    symbol.digits = 5;
    for (DayQuoteHours& day : symbol.quote_hours) {
        day.windows[0].close_minute = 1440;
        day.first_overnight_window = kQuoteWindowsPerDay;
    }
    return symbol;
}

std::vector<BarRecord> minute_bars(size_t count) {
    std::vector<BarRecord> bars(count);
    for (size_t i = 0; i < count; ++i)
        bars[i] = BarRecord{kStart + static_cast<int32_t>(i) * 60, 1.1, 1.099, 1.101, 1.1, 10};
    return bars;
}

void write_history(const std::string& folder, size_t count) {
    HistoryFileHeader header{};
    header.version = kHistoryFileVersion;
    kb::core::set_field_text(header.symbol, "EURUSD");
    header.period = 1;
    header.digits = 5;
    std::vector<BarRecord> bars = minute_bars(count);
    std::vector<uint8_t> bytes(sizeof header + bars.size() * sizeof(BarRecord));
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, bars.data(), bars.size() * sizeof(BarRecord));
    kb::platform::write_file_atomic(folder + "/history/Demo/EURUSD1.hst", bytes);
}

double array_copy_seconds = 0;
double file_read_seconds = 0;

void BM_MemcpyWholeBarArray(benchmark::State& state) {
    std::vector<BarRecord> from = minute_bars(kMemoryBars);
    std::vector<BarRecord> to(kMemoryBars);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(BarRecord));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    array_copy_seconds = seconds_since(start) / static_cast<double>(state.iterations());
}

void BM_AddTick(benchmark::State& state) {
    ScratchFolder folder("kb-hst-bench");
    write_history(folder.path(), kMemoryBars);
    auto history = HistoryBase::create(all_day_symbol(), 1, Offline::No, {folder.path(), "Demo", kMemoryBars, kFileBars}, nullptr);
    TickRecord tick{};
    tick.symbol_index = 1;
    tick.time = kStart + static_cast<int32_t>(kMemoryBars) * 60;
    tick.bid = 1.1f;
    tick.ask = 1.1002f;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        tick.time += 7;   // a new bar every eight or nine ticks
        benchmark::DoNotOptimize(history->add_tick(tick));
    }
    double per_tick = seconds_since(start) / static_cast<double>(state.iterations());
    if (array_copy_seconds > 0) state.counters["ratio_to_array_memcpy"] = per_tick / array_copy_seconds;
}

void BM_ReadWholeFile(benchmark::State& state) {
    ScratchFolder folder("kb-hst-bench");
    write_history(folder.path(), kFileBars);
    const std::string path = folder.path() + "/history/Demo/EURUSD1.hst";
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(kb::platform::read_file(path));
    file_read_seconds = seconds_since(start) / static_cast<double>(state.iterations());
}

void BM_SaveAfterTick(benchmark::State& state) {
    ScratchFolder folder("kb-hst-bench");
    write_history(folder.path(), kFileBars);
    auto history = HistoryBase::create(all_day_symbol(), 1, Offline::No, {folder.path(), "Demo", kMemoryBars / 8, kFileBars},
                                       nullptr);
    TickRecord tick{};
    tick.symbol_index = 1;
    tick.time = kStart + static_cast<int32_t>(kFileBars) * 60;
    tick.bid = 1.1f;
    tick.ask = 1.1002f;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        tick.time += 1;
        history->add_tick(tick);
        benchmark::DoNotOptimize(history->save());
    }
    double per_save = seconds_since(start) / static_cast<double>(state.iterations());
    if (file_read_seconds > 0) state.counters["ratio_to_file_read"] = per_save / file_read_seconds;
}

}  // namespace

BENCHMARK(BM_MemcpyWholeBarArray);
BENCHMARK(BM_AddTick);
BENCHMARK(BM_ReadWholeFile);
BENCHMARK(BM_SaveAfterTick);
BENCHMARK_MAIN();
