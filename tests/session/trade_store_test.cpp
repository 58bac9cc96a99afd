#include "session/trade_store.h"

#include <gtest/gtest.h>

#include "core/fixed_text.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "session/symbols_store.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::session {
namespace {

using market::testing::make_symbol;
using market::testing::make_tick;

trade::TradeRecord buy(int32_t ticket, double open_price) {
    trade::TradeRecord record{};
    record.ticket = ticket;
    core::set_field_text(record.symbol, "EURUSD");
    record.type = trade::kBuy;
    record.volume = 100;
    record.open_price = open_price;
    record.margin_rate = 1;
    return record;
}

struct TradeStoreTest : ::testing::Test {
    TradeStoreTest() {
        market::SymbolRecord eurusd = make_symbol("EURUSD", 7, 5, 1);
        core::set_field_text(eurusd.profit_currency, "USD");
        core::set_field_text(eurusd.margin_currency, "EUR");
        eurusd.contract_size = 100000;
        eurusd.margin_divider = 1;
        symbols_store.replace_symbols(std::span(&eurusd, 1));
    }

    trade::AccountDataReply reply(std::vector<trade::TradeRecord> open) {
        trade::AccountDataReply result;
        core::set_field_text(result.account.group.name, "demo-usd");
        core::set_field_text(result.account.group.deposit_currency, "USD");
        result.account.group.free_margin_mode = market::FreeMarginMode::WithProfit;
        result.account.login = 5001;
        result.account.leverage = 100;
        result.account.balance = 10000;
        result.account.news_setting = trade::kNewsOnRequest;
        result.open_trades = std::move(open);
        return result;
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock{1'700'000'000};
    market::SymbolsBase symbols{home.path(), "Alpha", nullptr, nullptr};
    trade::TradeBase base{&symbols, nullptr, nullptr, clock};
    SymbolsStore symbols_store{symbols};
    TradeStore store{base, clock};
};

TEST_F(TradeStoreTest, QuotesThroughTheSymbolsStoreRevalueTheAccount) {
    store.set_account(reply({buy(1, 1.25)}));
    EXPECT_EQ(store.group_name(), "demo-usd");
    EXPECT_EQ(store.news_setting(), trade::kNewsOnRequest);

    // The group widens the spread by 4 points; the buy closes at the widened bid.
    market::GroupRecord group = reply({}).account.group;
    group.symbol_groups[0].spread_difference = 4;
    symbols_store.set_group(group);
    store.set_group(group);
    const std::vector<market::TickRecord> ticks = {make_tick(7, 1000, 1.2550f, 1.2552f)};
    symbols_store.apply_ticks(ticks);
    EXPECT_EQ(store.revalue(), 1);

    const trade::AccountSummary summary = base.summary();
    const double bid = symbols.prices("EURUSD")->bid;
    EXPECT_DOUBLE_EQ(base.open_trade_by_ticket(1)->close_price, bid);
    EXPECT_NEAR(summary.profit, (bid - 1.25) * 100000, 1e-6);
    EXPECT_DOUBLE_EQ(summary.margin, 1000);
    EXPECT_NEAR(summary.equity, 10000 + summary.profit, 1e-9);
}

TEST_F(TradeStoreTest, TransactionsAndHistoryReachTheBase) {
    store.set_account(reply({buy(1, 1.25)}));
    trade::TradeTransaction add{};
    add.type = trade::kTransactionAdd;
    add.trade = buy(2, 1.3);
    EXPECT_TRUE(store.apply_transactions(std::span(&add, 1)));
    EXPECT_EQ(base.open_trade_count(), 2u);

    const trade::TradeRecord history[] = {buy(9, 1.1), buy(8, 1.2)};
    store.replace_history(history);
    EXPECT_EQ(base.history_at(0)->ticket, 8);

    store.clear();
    EXPECT_EQ(base.open_trade_count(), 0u);
    EXPECT_EQ(base.history_count(), 0u);
    EXPECT_EQ(store.group_name(), "");
}

TEST_F(TradeStoreTest, HistoryRangeIsTodayUntilTheScreenChoosesOne) {
    // ManualClock's local calendar is UTC; 1700000000 is 2023-11-14 22:13:20.
    const auto [start, end] = store.history_range();
    platform::DateTime day = platform::local_calendar(start);
    EXPECT_EQ(day.hour, 0);
    EXPECT_EQ(day.minute, 0);
    EXPECT_EQ(platform::local_calendar(start).day, clock.local_time().day);
    EXPECT_GT(end, start);
    EXPECT_EQ(platform::local_calendar(end).hour, 0);

    EXPECT_FALSE(store.set_history_range(100, 100)) << "from must lie below to";
    EXPECT_FALSE(store.set_history_range(-1, 100));
    EXPECT_TRUE(store.set_history_range(0, 100));
    EXPECT_EQ(store.history_range(), (std::pair<int32_t, int32_t>{0, 100}));
}

}  // namespace
}  // namespace kb::session
