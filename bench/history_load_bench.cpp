// Loading a history of 1,000,000 bars (header checks, check and repair, trim check)
// against one plain read of the same file into memory, and the heap a history holds per
// bar and per open history, measured through the allocator's own statistics.

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/history_base.h"
#include "market/hst_file.h"
#include "platform/files.h"
#include "platform/random_access_file.h"
#include "scratch_folder.h"

namespace {

using namespace kb::market;
using kb::bench::ScratchFolder;
using kb::bench::seconds_since;

constexpr size_t kBars = 1000000;
constexpr int32_t kStart = 1500000000 - 1500000000 % 60;

std::string history_file(const ScratchFolder& folder) { return folder.path() + "/history/Demo/EURUSD1.hst"; }

SymbolRecord eurusd() {
    SymbolRecord symbol{};
    kb::core::set_field_text(symbol.name, "EURUSD");
    symbol.digits = 5;
    return symbol;
}

// A sound minute history: the loader's check finds nothing to repair, so every bar is
// checked and kept (the common case, and the most work).
void write_history(const std::string& path, size_t count) {
    HistoryFileHeader header{};
    header.version = kHistoryFileVersion;
    kb::core::set_field_text(header.symbol, "EURUSD");
    header.period = 1;
    header.digits = 5;
    std::vector<uint8_t> bytes(sizeof header + count * sizeof(BarRecord));
    std::memcpy(bytes.data(), &header, sizeof header);
    for (size_t i = 0; i < count; ++i) {
        const double price = 1.1 + static_cast<double>(i % 1000) * 0.00001;
        const BarRecord bar{kStart + static_cast<int32_t>(i) * 60, price, price - 0.0002, price + 0.0003, price + 0.0001, 12};
        std::memcpy(bytes.data() + sizeof header + i * sizeof bar, &bar, sizeof bar);
    }
    kb::platform::write_file_atomic(path, bytes);
}

HistorySettings settings(const ScratchFolder& folder) {
    return {folder.path(), "Demo", kBars, kBars};
}

size_t heap_in_use() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double file_read_seconds = 0;

void BM_ReadFileOnce(benchmark::State& state) {
    ScratchFolder folder("kb-hst-load");
    write_history(history_file(folder), kBars);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        kb::platform::RandomAccessFile file;
        file.open(history_file(folder), kb::platform::RandomAccessFile::Mode::ReadOnly);
        std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
        benchmark::DoNotOptimize(file.read_at(0, bytes));
        benchmark::DoNotOptimize(bytes.data());
    }
    file_read_seconds = seconds_since(start) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBars * sizeof(BarRecord)));
}

void BM_LoadWithCheckAndRepair(benchmark::State& state) {
    ScratchFolder folder("kb-hst-load");
    write_history(history_file(folder), kBars);
    auto history = HistoryBase::create(eurusd(), 1, Offline::Yes, settings(folder), nullptr);
    if (!history || history->bar_count() != kBars) {
        state.SkipWithError("the history did not load every bar");
        return;
    }
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        history->load();
        benchmark::DoNotOptimize(history->bar_count());
    }
    const double per_load = seconds_since(start) / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBars * sizeof(BarRecord)));
    if (file_read_seconds > 0) state.counters["ratio_to_file_read"] = per_load / file_read_seconds;
}

// Heap held by one open history: without bars (the fixed cost of a chart's history) and
// per bar once 1,000,000 bars are loaded.
void BM_HistoryMemory(benchmark::State& state) {
    ScratchFolder folder("kb-hst-load");
    write_history(history_file(folder), kBars);
    size_t empty_bytes = 0;
    size_t loaded_bytes = 0;
    for (auto _ : state) {
        const size_t before_empty = heap_in_use();
        auto empty = HistoryBase::create(eurusd(), 5, Offline::Yes, settings(folder), nullptr);   // no EURUSD5 file
        empty_bytes = heap_in_use() - before_empty;
        const size_t before_loaded = heap_in_use();
        auto loaded = HistoryBase::create(eurusd(), 1, Offline::Yes, settings(folder), nullptr);
        loaded_bytes = heap_in_use() - before_loaded;
        benchmark::DoNotOptimize(loaded->bar_count());
        benchmark::DoNotOptimize(empty->bar_count());
    }
    state.counters["bytes_per_open_history"] = static_cast<double>(empty_bytes);
    state.counters["bytes_per_bar"] = static_cast<double>(loaded_bytes - empty_bytes) / static_cast<double>(kBars);
    state.counters["bar_record_bytes"] = static_cast<double>(sizeof(BarRecord));
}

}  // namespace

BENCHMARK(BM_ReadFileOnce)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWithCheckAndRepair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryMemory)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
