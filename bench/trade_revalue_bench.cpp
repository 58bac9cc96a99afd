// The trade base on the quote path: a 256-tick packet through the symbols base, then the
// revaluation of 500 open positions over 50 symbols (a third of them with profit in JPY or
// CHF, converted through a pair), per packet against the same packet without positions.
// And the margin recomputation with a hypothetical order against the one without.

#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/fixed_text.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "trade/trade_base.h"

namespace {

using namespace kb;

constexpr int kSymbols = 100;
constexpr int kTradedSymbols = 50;
constexpr int kPositions = 500;
constexpr size_t kPacketTicks = 256;
constexpr int32_t kStart = 1796601600;
const char* const kProfitCurrencies[] = {"USD", "JPY", "CHF"};

std::string symbol_name(int index) { return "SYM" + std::to_string(index); }

std::vector<market::SymbolRecord> instruments() {
    std::vector<market::SymbolRecord> records;
    auto add = [&](const std::string& name, int index, const char* profit) {
        market::SymbolRecord symbol{};
        core::set_field_text(symbol.name, name);
        core::set_field_text(symbol.profit_currency, profit);
        core::set_field_text(symbol.margin_currency, "EUR");
        symbol.symbol_index = index;
        symbol.digits = 5;
        symbol.point = 0.00001;
        symbol.sort_key = index;
        symbol.contract_size = 100000;
        symbol.margin_divider = 1;
        records.push_back(symbol);
    };
    for (int i = 1; i <= kSymbols; ++i) add(symbol_name(i), i, kProfitCurrencies[i % 3]);
    add("USDJPY", kSymbols + 1, "JPY");
    add("USDCHF", kSymbols + 2, "CHF");
    add("EURUSD", kSymbols + 3, "USD");
    return records;
}

// Every selected symbol in turn, prices moving a little from packet to packet.
std::vector<market::TickRecord> packet(uint32_t step) {
    std::vector<market::TickRecord> ticks(kPacketTicks);
    for (size_t i = 0; i < kPacketTicks; ++i) {
        market::TickRecord& tick = ticks[i];
        tick.symbol_index = static_cast<uint16_t>(i % (kSymbols + 3) + 1);
        tick.time = kStart;
        const float bid = 1.1f + static_cast<float>((i * 7 + step * 13) % 200) * 0.00001f;
        tick.bid = bid;
        tick.ask = bid + 0.0002f;
    }
    return ticks;
}

std::vector<trade::TradeRecord> positions() {
    std::vector<trade::TradeRecord> records(kPositions);
    for (int i = 0; i < kPositions; ++i) {
        trade::TradeRecord& record = records[i];
        record.ticket = i + 1;
        core::set_field_text(record.symbol, symbol_name(i % kTradedSymbols + 1));
        record.type = i % 2 ? trade::kSell : trade::kBuy;
        record.volume = 10 + i % 7 * 10;
        record.open_price = 1.1;
        record.margin_rate = 1.1;
    }
    return records;
}

// A symbols base and a trade base in a scratch folder of their own, removed at the end.
struct Market {
    std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kb-trade-revalue-" + std::to_string(::getpid()));
    platform::ManualClock clock{kStart};
    std::unique_ptr<market::SymbolsBase> symbols;
    std::unique_ptr<trade::TradeBase> trades;

    explicit Market(bool with_positions) {
        std::filesystem::create_directories(folder);
        symbols = std::make_unique<market::SymbolsBase>(folder.string(), "Demo", nullptr, nullptr);
        symbols->replace_symbols(instruments());
        std::vector<std::string> names;
        for (int i = 1; i <= kSymbols + 3; ++i) names.push_back(symbols->symbol_at(i - 1)->name);
        symbols->set_selection(names);
        trades = std::make_unique<trade::TradeBase>(symbols.get(), nullptr, nullptr, clock);
        trade::AccountData account{};
        core::set_field_text(account.group.deposit_currency, "USD");
        account.group.free_margin_mode = market::FreeMarginMode::WithProfit;
        account.leverage = 100;
        account.balance = 100000;
        const std::vector<trade::TradeRecord> open = with_positions ? positions() : std::vector<trade::TradeRecord>{};
        trades->set_account(account, open);
    }
    ~Market() {
        trades.reset();
        symbols.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

// The thread's processor time: the machine is shared, so wall time would count the others.
double thread_seconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor seconds per packet of the quote path, with or without open positions.
double run_quote_path(benchmark::State& state, bool with_positions) {
    Market market(with_positions);
    constexpr uint32_t kPrepared = 64;
    std::vector<std::vector<market::TickRecord>> packets;
    for (uint32_t i = 0; i < kPrepared; ++i) packets.push_back(packet(i));
    std::vector<market::TickRecord> work(kPacketTicks);
    int32_t time = kStart;
    uint32_t next = 0;
    const double start = thread_seconds();
    for (auto _ : state) {
        work = packets[next];
        next = (next + 1) % kPrepared;
        ++time;
        for (market::TickRecord& tick : work) tick.time = time;
        market.symbols->add_quotes(work);
        benchmark::DoNotOptimize(market.trades->revalue());
    }
    return (thread_seconds() - start) / static_cast<double>(state.iterations());
}

double quote_path_seconds = 0;
double recompute_seconds = 0;

void BM_QuotePathWithoutPositions(benchmark::State& state) { quote_path_seconds = run_quote_path(state, false); }

void BM_QuotePathWith500Positions(benchmark::State& state) {
    const double per_packet = run_quote_path(state, true);
    state.counters["us_per_packet"] = per_packet * 1e6;
    if (quote_path_seconds > 0) state.counters["ratio_to_no_positions"] = per_packet / quote_path_seconds;
}

void BM_MarginRecompute(benchmark::State& state) {
    Market market(true);
    market.trades->revalue();
    const double start = thread_seconds();
    for (auto _ : state) benchmark::DoNotOptimize(market.trades->recompute());
    recompute_seconds = (thread_seconds() - start) / static_cast<double>(state.iterations());
}

void BM_MarginRecomputeWithRequest(benchmark::State& state) {
    Market market(true);
    market.trades->revalue();
    const trade::HypotheticalOrder order{symbol_name(kTradedSymbols + 1), trade::kBuy, 100, 0, std::nullopt};
    const double start = thread_seconds();
    for (auto _ : state) benchmark::DoNotOptimize(market.trades->project(order));
    const double per_call = (thread_seconds() - start) / static_cast<double>(state.iterations());
    state.counters["us_per_call"] = per_call * 1e6;
    if (recompute_seconds > 0) state.counters["ratio_to_recompute"] = per_call / recompute_seconds;
}

}  // namespace

BENCHMARK(BM_QuotePathWithoutPositions);
BENCHMARK(BM_QuotePathWith500Positions);
BENCHMARK(BM_MarginRecompute);
BENCHMARK(BM_MarginRecomputeWithRequest);
BENCHMARK_MAIN();
