// Any bytes as a run of trade transaction blocks (command 155) and quote packets for the
// trade base, which revalues its trades after each. Whatever arrives, the base must not
// crash, open trades are never closed ones, the history stays ordered by ticket without
// repeats, and the traded symbols stay in the Market Watch.
#include <cstdint>
#include <cstring>
#include <vector>

#include "market_world.h"
#include "trade/trade_base.h"

namespace {

using namespace kb;

trade::AccountData account() {
    trade::AccountData data{};
    core::set_field_text(data.group.name, "demo");
    core::set_field_text(data.group.deposit_currency, "EUR");
    data.group.free_margin_mode = market::FreeMarginMode::WithProfit;
    data.group.larger_leg_margin = 1;
    data.login = 5001;
    data.leverage = 100;
    data.balance = 10000;
    return data;
}

template <class Record>
std::vector<Record> take_records(const uint8_t*& data, size_t& size, size_t count) {
    const size_t bytes = std::min(size, count * sizeof(Record));
    std::vector<Record> records(bytes / sizeof(Record));
    if (!records.empty()) std::memcpy(records.data(), data, records.size() * sizeof(Record));
    data += bytes;
    size -= bytes;
    return records;
}

void check_base(trade::TradeBase& base, market::SymbolsBase& symbols) {
    for (const trade::TradeRecord& open : base.open_trades()) {
        fuzzing::check(open.close_time == 0);
        fuzzing::check(open.symbol[sizeof open.symbol - 1] == '\0');
    }
    const std::vector<trade::TradeRecord> history = base.history();
    for (size_t i = 1; i < history.size(); ++i) fuzzing::check(history[i - 1].ticket < history[i].ticket);
    for (const std::string& name : base.symbols_in_use())
        if (symbols.symbol_by_name(name)) fuzzing::check(symbols.selected_by_name(name).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = fuzzing::market_folder("tradefuzz");
    fuzzing::remove_server_files(folder);
    fuzzing::MarketWorld world(folder);
    trade::TradeBase base(&world.base, nullptr, nullptr, world.clock);
    base.set_account(account(), {});
    // Each block: a byte whose low bit chooses transactions or quotes and whose other bits
    // give the count, then the records.
    while (size > 0) {
        const uint8_t head = data[0];
        ++data;
        --size;
        const size_t count = head >> 1;
        if (head & 1) {
            std::vector<market::TickRecord> ticks = take_records<market::TickRecord>(data, size, count);
            world.base.add_quotes(ticks);
            base.revalue();
        } else {
            const std::vector<trade::TradeTransaction> transactions =
                take_records<trade::TradeTransaction>(data, size, count);
            base.apply_transactions(transactions);
        }
        base.margin_test(trade::HypotheticalOrder{"EURUSD", trade::kSell, 100, 0, std::nullopt});
    }
    check_base(base, world.base);
    return 0;
}
