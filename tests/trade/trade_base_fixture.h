#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "core/fixed_text.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"
#include "trade/trade_base.h"

namespace kb::trade::testing {

class RecordingNotifier final : public platform::Notifier {
public:
    void post(int code, intptr_t value) override {
        std::lock_guard guard(lock_);
        posts_.emplace_back(core::notification_of(code), value);
    }
    intptr_t send(int, intptr_t) override { return 0; }
    std::vector<std::pair<core::Notification, intptr_t>> take() {
        std::lock_guard guard(lock_);
        return std::exchange(posts_, {});
    }

private:
    std::mutex lock_;
    std::vector<std::pair<core::Notification, intptr_t>> posts_;
};

// A symbol of the fixture's instrument list: contract 100000, profit mode 0, margin mode 0.
inline market::SymbolRecord instrument(std::string_view name, int32_t index, int32_t digits, std::string_view profit,
                                       std::string_view margin) {
    market::SymbolRecord symbol = market::testing::make_symbol(name, index, digits);
    core::set_field_text(symbol.profit_currency, profit);
    core::set_field_text(symbol.margin_currency, margin);
    symbol.contract_size = 100000;
    symbol.margin_divider = 1;
    return symbol;
}

inline TradeRecord trade(int32_t ticket, std::string_view symbol, int32_t type, int32_t volume, double open_price,
                         double margin_rate = 1) {
    TradeRecord record{};
    record.ticket = ticket;
    record.login = 5001;
    core::set_field_text(record.symbol, symbol);
    record.type = type;
    record.volume = volume;
    record.open_price = open_price;
    record.margin_rate = margin_rate;
    return record;
}

inline TradeTransaction transaction(int32_t type, const TradeRecord& record, double balance = 0, double credit = 0) {
    TradeTransaction result{};
    result.type = type;
    result.balance = balance;
    result.credit = credit;
    result.trade = record;
    return result;
}

// A symbols base with a few instruments, the trade base over it, a journal and a notifier
// that keep what they get.
class TradeBaseTest : public ::testing::Test {
protected:
    TradeBaseTest() {
        std::vector<market::SymbolRecord> list = {
            instrument("EURUSD", 1, 5, "USD", "EUR"), instrument("USDJPY", 2, 3, "JPY", "USD"),
            instrument("GBPUSD", 3, 5, "USD", "GBP"), instrument("USDCHF", 4, 5, "CHF", "USD"),
            instrument("EURGBP", 5, 5, "GBP", "EUR"), instrument("GOLD", 6, 2, "USD", "USD"),
            instrument("US30", 7, 1, "USD", "USD")};
        list[5].profit_mode = market::ProfitMode::Cfd;
        list[5].contract_size = 100;
        list[5].margin_mode = market::MarginMode::Cfd;
        list[6].profit_mode = market::ProfitMode::Futures;
        list[6].tick_size = 0.5;
        list[6].tick_value = 2.5;
        symbols.replace_symbols(list);
        symbols.set_selection({});
    }

    void log_in(std::span<const TradeRecord> open, std::string_view deposit = "USD",
                market::FreeMarginMode free_margin_mode = market::FreeMarginMode::WithProfit,
                double balance = 10000, double credit = 0) {
        AccountData account{};
        core::set_field_text(account.group.name, "demo");
        core::set_field_text(account.group.deposit_currency, deposit);
        account.group.free_margin_mode = free_margin_mode;
        account.group.symbol_groups[0].minimum_volume = 1;
        account.group.symbol_groups[0].maximum_volume = 10000;
        account.group.symbol_groups[0].volume_step = 1;
        account.login = 5001;
        account.leverage = 100;
        account.balance = balance;
        account.credit = credit;
        base.set_account(account, open);
    }

    // Changes a symbol as a symbol update from the server does, and lets the base see it.
    template <class Change>
    void change_symbol(std::string_view name, Change change) {
        market::SymbolUpdateRecord update{};
        update.header.transaction_type = market::kUpdateTransaction;
        update.symbol = symbols.symbol_by_name(name).value();
        change(update.symbol);
        symbols.update_symbols(std::span(&update, 1));
        base.refresh_symbols();
    }

    // Selects the symbol when needed and feeds one quote of it.
    void quote(std::string_view name, float bid, float ask) {
        if (!symbols.selected_by_name(name)) symbols.select(name, market::Shown::Yes, market::Save::No);
        market::TickRecord ticks[] = {market::testing::make_tick(
            static_cast<uint16_t>(symbols.symbol_by_name(name)->symbol_index), ++quote_time, bid, ask)};
        symbols.add_quotes(ticks);
    }

    ::kb::testing::TempFolder folder;
    market::testing::CapturedJournal journal{folder.path()};
    market::SymbolsBase symbols{folder.path(), "Demo", nullptr, nullptr};
    RecordingNotifier notifier;
    platform::ManualClock clock;
    TradeBase base{&symbols, journal.get(), &notifier, clock};
    int32_t quote_time = 1'700'000'000;
};

}  // namespace kb::trade::testing
