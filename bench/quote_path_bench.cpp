// The quote path: packets of 256 ticks over 100 selected symbols go through the symbols
// base (spread difference, selection, tick buffer) into the history centre, which builds
// the bars of 20 open histories. Measured in ticks per second, and per tick against
// copying the packet (the least any receiver of the packet does).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "scratch_folder.h"

namespace {

using namespace kb::market;
using kb::bench::ScratchFolder;
using kb::bench::seconds_since;

constexpr int kSymbols = 100;
constexpr int kHistories = 20;
constexpr size_t kPacketTicks = 256;
constexpr int kPeriods[] = {1, 5, 15, 60};
constexpr int32_t kStart = 1796601600;   // a Monday, 00:00

std::string symbol_name(int index) { return "SYM" + std::to_string(index); }

// Quoted all day, every day, so that no tick falls outside the quote hours.
std::vector<SymbolRecord> symbols() {
    std::vector<SymbolRecord> records(kSymbols);
    for (int i = 0; i < kSymbols; ++i) {
        SymbolRecord& symbol = records[i];
        kb::core::set_field_text(symbol.name, symbol_name(i + 1));
        symbol.symbol_index = i + 1;
        symbol.digits = 5;
        symbol.point = 0.00001;
        symbol.sort_key = i;
        for (DayQuoteHours& day : symbol.quote_hours) {
            day.windows[0].close_minute = 1440;
            day.first_overnight_window = kQuoteWindowsPerDay;
        }
    }
    return records;
}

// One packet: every symbol in turn, prices moving a little from tick to tick.
std::vector<TickRecord> packet(int32_t time, uint32_t step) {
    std::vector<TickRecord> ticks(kPacketTicks);
    for (size_t i = 0; i < kPacketTicks; ++i) {
        TickRecord& tick = ticks[i];
        tick.symbol_index = static_cast<uint16_t>(i % kSymbols + 1);
        tick.time = time;
        const float bid = 1.1f + static_cast<float>((i * 7 + step * 13) % 200) * 0.00001f;
        tick.bid = bid;
        tick.ask = bid + 0.0002f;
    }
    return ticks;
}

double packet_copy_seconds = 0;

void BM_CopyPacket(benchmark::State& state) {
    const std::vector<TickRecord> from = packet(kStart, 0);
    std::vector<TickRecord> to(kPacketTicks);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kPacketTicks * sizeof(TickRecord));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    packet_copy_seconds = seconds_since(start) / static_cast<double>(state.iterations());
    state.counters["ticks_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPacketTicks), benchmark::Counter::kIsRate);
}

void BM_QuotePath(benchmark::State& state) {
    ScratchFolder folder("kb-quote-path");
    kb::platform::ManualClock clock(kStart);
    HistoryCenter center({{folder.path(), "Demo", 65536, 65536}, clock, nullptr, nullptr});
    SymbolsBase base(folder.path(), "Demo", nullptr, &center);
    center.set_symbols(&base);
    base.replace_symbols(symbols());
    std::vector<std::string> names;
    for (int i = 1; i <= kSymbols; ++i) names.push_back(symbol_name(i));
    base.set_selection(names);
    GroupRecord group{};
    group.symbol_groups[0].spread_difference = 2;
    base.set_group_settings(group);
    for (int i = 0; i < kHistories; ++i) {
        if (!center.open(symbol_name(i + 1), kPeriods[i % std::size(kPeriods)])) {
            state.SkipWithError("a history did not open");
            return;
        }
    }

    // Packets a second apart, prepared beforehand: the loop measures the path alone.
    constexpr size_t kPrepared = 64;
    std::vector<std::vector<TickRecord>> packets;
    for (size_t i = 0; i < kPrepared; ++i) packets.push_back(packet(kStart, static_cast<uint32_t>(i)));
    std::vector<TickRecord> work(kPacketTicks);
    int32_t time = kStart;
    size_t next = 0;
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const std::vector<TickRecord>& source = packets[next];
        next = (next + 1) % kPrepared;
        std::memcpy(work.data(), source.data(), kPacketTicks * sizeof(TickRecord));
        ++time;
        for (TickRecord& tick : work) tick.time = time;
        base.add_quotes(work);
        benchmark::DoNotOptimize(work.data());
    }
    const double per_packet = seconds_since(start) / static_cast<double>(state.iterations());
    state.counters["ticks_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPacketTicks), benchmark::Counter::kIsRate);
    if (packet_copy_seconds > 0) state.counters["ratio_to_packet_copy"] = per_packet / packet_copy_seconds;
    const std::optional<HistoryState> history = center.state(symbol_name(1), kPeriods[0]);
    state.counters["bars_built_first_history"] = history ? static_cast<double>(history->bar_count) : 0;
}

}  // namespace

BENCHMARK(BM_CopyPacket);
BENCHMARK(BM_QuotePath);
BENCHMARK_MAIN();
