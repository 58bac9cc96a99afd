#include "trade/trade_base.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/notifications.h"
#include "net/protocol.h"
#include "tests/trade/trade_base_fixture.h"

namespace kb::trade {
namespace {

using testing::trade;
using testing::TradeBaseTest;
using testing::transaction;

constexpr net::ReturnCode kNoMoney = net::ReturnCode::NotEnoughMoney;

TEST_F(TradeBaseTest, RevalueSetsClosePricesByOrderTypeAndProfitOfPositions) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25),      trade(2, "EURUSD", kSell, 100, 1.25),
                                trade(3, "EURUSD", kBuyLimit, 100, 1.2),  trade(4, "EURUSD", kSellLimit, 100, 1.3),
                                trade(5, "EURUSD", kBuyStop, 100, 1.3),   trade(6, "EURUSD", kSellStop, 100, 1.2)};
    log_in(open);
    quote("EURUSD", 1.2550f, 1.2552f);
    EXPECT_EQ(base.revalue(), 6);

    const double close_prices[] = {1.255, 1.2552, 1.2552, 1.255, 1.2552, 1.255};
    for (int ticket = 1; ticket <= 6; ++ticket)
        EXPECT_DOUBLE_EQ(base.open_trade_by_ticket(ticket)->close_price, close_prices[ticket - 1]) << ticket;
    EXPECT_DOUBLE_EQ(base.open_trade_by_ticket(1)->profit, 500);
    EXPECT_DOUBLE_EQ(base.open_trade_by_ticket(2)->profit, -520);
    EXPECT_EQ(base.open_trade_by_ticket(3)->profit, 0) << "pending orders get a price, no profit";
    EXPECT_DOUBLE_EQ(base.summary().profit, -20);
}

TEST_F(TradeBaseTest, ProfitInTheThreeModesWithAndWithoutConversion) {
    struct Quote {
        const char* symbol;
        float bid, ask;
    };
    struct Case {
        const char* what;
        const char* deposit;
        TradeRecord position;
        std::vector<Quote> quotes;
        double profit;
    };
    const Case cases[] = {
        {"mode 0, deposit currency", "USD", trade(1, "EURUSD", kBuy, 100, 1.25), {{"EURUSD", 1.255f, 1.2552f}}, 500},
        {"mode 1", "USD", trade(1, "GOLD", kBuy, 50, 1800), {{"GOLD", 1810, 1810.5f}}, 500},
        {"mode 1 sell", "USD", trade(1, "GOLD", kSell, 50, 1800), {{"GOLD", 1790, 1790.5f}}, 475},
        {"mode 2", "USD", trade(1, "US30", kBuy, 200, 30000), {{"US30", 30010, 30011}}, 100},
        // JPY profit into USD through the inverted pair: a buy converts at 1 / ask.
        {"inverted pair, buy", "USD", trade(1, "USDJPY", kBuy, 100, 150), {{"USDJPY", 151, 151.02f}}, 662.17},
        // A sell closes at the ask (151.02) and converts at 1 / bid: 100662.25 - 100013.25.
        {"inverted pair, sell", "USD", trade(1, "USDJPY", kSell, 100, 152), {{"USDJPY", 151, 151.02f}}, 649},
        // USD profit into JPY through the direct pair, at its bid, without decimals.
        {"direct pair into yen", "JPY", trade(1, "EURUSD", kBuy, 100, 1.25),
         {{"EURUSD", 1.255f, 1.2552f}, {"USDJPY", 150, 150.02f}}, 75000},
        // GBP profit into CHF: GBPUSD then USDCHF, both at the bid for a buy.
        {"through USD", "CHF", trade(1, "EURGBP", kBuy, 100, 0.85),
         {{"EURGBP", 0.86f, 0.8602f}, {"GBPUSD", 1.25f, 1.2502f}, {"USDCHF", 0.9f, 0.9002f}}, 1125},
        // No pair connects GBP with JPY: no profit rather than a profit in the wrong currency.
        {"no route", "JPY", trade(1, "EURGBP", kBuy, 100, 0.85), {{"EURGBP", 0.86f, 0.8602f}}, 0},
    };
    for (const Case& c : cases) {
        symbols.set_selection({});
        log_in(std::span(&c.position, 1), c.deposit);
        for (const Quote& q : c.quotes) quote(q.symbol, q.bid, q.ask);
        base.revalue();
        EXPECT_NEAR(base.open_trade_by_ticket(1)->profit, c.profit, 1e-9) << c.what;
    }
}

TEST_F(TradeBaseTest, ConversionPairsAreSelectedUnshownAndTradedSymbolsShown) {
    const TradeRecord open[] = {trade(1, "EURGBP", kBuy, 100, 0.85)};
    log_in(open, "CHF");
    base.revalue();
    EXPECT_EQ(symbols.selected_by_name("EURGBP").value().shown, 1);
    EXPECT_EQ(symbols.selected_by_name("GBPUSD").value().shown, 0);
    EXPECT_EQ(symbols.selected_by_name("USDCHF").value().shown, 0);
    EXPECT_FALSE(symbols.selected_by_name("EURUSD"));
    EXPECT_EQ(base.symbols_in_use(), (std::vector<std::string>{"EURGBP", "GBPUSD", "USDCHF"}));
    // A pair that has no quote yet gives no profit, never a division by zero.
    quote("EURGBP", 0.86f, 0.8602f);
    base.revalue();
    EXPECT_EQ(base.open_trade_by_ticket(1)->profit, 0);
}

TEST_F(TradeBaseTest, OpenTradesAreOrderedBySymbolAndHistoryByTicket) {
    const TradeRecord open[] = {trade(9, "USDJPY", kBuy, 10, 150), trade(3, "EURUSD", kSell, 10, 1.2),
                                trade(5, "EURUSD", kBuy, 10, 1.2)};
    log_in(open);
    const std::vector<TradeRecord> ordered = base.open_trades();
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_EQ(ordered[0].ticket, 3);
    EXPECT_EQ(ordered[1].ticket, 5);
    EXPECT_EQ(ordered[2].ticket, 9);
    EXPECT_EQ(base.first_position("USDJPY")->ticket, 9);
    EXPECT_FALSE(base.first_position("GOLD"));

    TradeRecord closed[] = {trade(30, "EURUSD", kBuy, 10, 1.2), trade(10, "EURUSD", kBuy, 10, 1.2),
                            trade(20, "EURUSD", kBuy, 10, 1.2)};
    ASSERT_TRUE(base.set_history(closed));
    TradeRecord replaced = trade(20, "GOLD", kSell, 10, 1800);
    ASSERT_TRUE(base.add_to_history(replaced));
    ASSERT_TRUE(base.add_to_history(trade(15, "EURUSD", kBuy, 10, 1.2)));
    const std::vector<TradeRecord> history = base.history();
    std::vector<int32_t> tickets;
    for (const TradeRecord& record : history) tickets.push_back(record.ticket);
    EXPECT_EQ(tickets, (std::vector<int32_t>{10, 15, 20, 30}));
    EXPECT_STREQ(base.history_at(2)->symbol, "GOLD");
}

TEST_F(TradeBaseTest, PartialCloseGivesADeleteAndAnAdd) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open);
    notifier.take();

    TradeRecord closed = trade(1, "EURUSD", kBuy, 40, 1.25);
    closed.close_time = 1'700'000'100;
    closed.profit = 20;
    const TradeRecord remainder = trade(2, "EURUSD", kBuy, 60, 1.25);
    const TradeTransaction changes[] = {transaction(kTransactionDelete, closed, 10020, 0),
                                        transaction(kTransactionAdd, remainder)};
    ASSERT_TRUE(base.apply_transactions(changes));

    ASSERT_EQ(base.open_trade_count(), 1u);
    EXPECT_EQ(base.open_trade_at(0)->ticket, 2);
    EXPECT_EQ(base.open_trade_at(0)->volume, 60);
    ASSERT_EQ(base.history_count(), 1u);
    EXPECT_EQ(base.history_at(0)->volume, 40);
    EXPECT_EQ(base.summary().balance, 10020);
    const std::vector<std::pair<core::Notification, intptr_t>> posts = {
        {core::Notification::Trades, 0}, {core::Notification::Symbols, 0}, {core::Notification::TransactionsApplied, 0},
        {core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Changed)}};
    EXPECT_EQ(notifier.take(), posts);
}

TEST_F(TradeBaseTest, PendingOrderDeleteAddsNothingToTheHistory) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuyLimit, 100, 1.2)};
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 10000, 50);
    notifier.take();
    const TradeTransaction changes[] = {transaction(kTransactionDelete, open[0], 1, 2)};
    ASSERT_TRUE(base.apply_transactions(changes));
    EXPECT_EQ(base.open_trade_count(), 0u);
    EXPECT_EQ(base.history_count(), 0u);
    EXPECT_EQ(base.summary().balance, 10000) << "a pending order's header values are not taken";
    EXPECT_EQ(base.summary().credit, 50);
    const std::vector<std::pair<core::Notification, intptr_t>> posts = {
        {core::Notification::Trades, 0}, {core::Notification::Symbols, 0}, {core::Notification::TransactionsApplied, 0}};
    EXPECT_EQ(notifier.take(), posts) << "no history notification";
}

TEST_F(TradeBaseTest, ClosedPositionDeleteSetsBalanceAndCreditBeforeTheSummary) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25), trade(2, "EURUSD", kSell, 100, 1.25)};
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 10000, 0);
    quote("EURUSD", 1.255f, 1.2552f);
    base.revalue();
    TradeRecord closed = open[0];
    closed.close_time = 1'700'000'100;
    closed.close_price = 1.255;
    closed.profit = 500;
    const TradeTransaction changes[] = {transaction(kTransactionDelete, closed, 10500, 100)};
    ASSERT_TRUE(base.apply_transactions(changes));
    const AccountSummary summary = base.summary();
    EXPECT_EQ(summary.balance, 10500);
    EXPECT_EQ(summary.credit, 100);
    EXPECT_DOUBLE_EQ(summary.profit, -520) << "only the sell is left";
    EXPECT_DOUBLE_EQ(summary.equity, 10500 + 100 - 520);
    EXPECT_EQ(base.account().balance, 10500);
}

TEST_F(TradeBaseTest, BalanceOperationsAndUpdatesAndUnknownTypes) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open);
    TradeRecord deposit = trade(7, "", kBalance, 0, 0);
    deposit.close_time = 1'700'000'000;
    deposit.profit = 2500;
    TradeRecord moved = open[0];
    moved.stop_loss = 1.2;
    TradeRecord closed_update = open[0];
    closed_update.close_time = 5;
    closed_update.take_profit = 9;
    const TradeTransaction changes[] = {transaction(kTransactionDelete, deposit, 12500, 0),
                                        transaction(kTransactionUpdate, moved),
                                        transaction(kTransactionUpdate, closed_update),
                                        transaction(7, open[0]),
                                        transaction(kTransactionAdd, deposit)};
    ASSERT_TRUE(base.apply_transactions(changes));
    EXPECT_EQ(base.summary().balance, 12500);
    EXPECT_EQ(base.open_trade_by_ticket(1)->stop_loss, 1.2);
    EXPECT_EQ(base.open_trade_by_ticket(1)->take_profit, 0) << "an update with a close time changes nothing";
    EXPECT_EQ(base.open_trade_count(), 1u) << "an add with a close time is not an open trade";
    EXPECT_EQ(base.history_count(), 1u);
    ASSERT_EQ(journal.lines().size(), 1u);
    EXPECT_EQ(journal.lines()[0], "TradeBase: unknown transaction type #1 (type 7)");
}

TEST_F(TradeBaseTest, FreeMarginModesAddTheFloatingProfit) {
    struct Case {
        int32_t mode;
        float bid;                  // the buy of 1 lot at 1.25 gains 500 at 1.255, loses 500 at 1.245
        double free_margin;         // balance 10000, margin 1000 (1 lot, leverage 100, rate 1)
    };
    const Case cases[] = {
        {0, 1.255f, 9000}, {0, 1.245f, 9000}, {1, 1.255f, 9500}, {1, 1.245f, 8500},
        {2, 1.255f, 9500}, {2, 1.245f, 9000}, {3, 1.255f, 9000}, {3, 1.245f, 8500},
    };
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    for (const Case& c : cases) {
        log_in(open, "USD", static_cast<market::FreeMarginMode>(c.mode));
        quote("EURUSD", c.bid, c.bid + 0.0002f);
        base.revalue();
        const AccountSummary summary = base.summary();
        EXPECT_DOUBLE_EQ(summary.margin, 1000) << c.mode;
        EXPECT_NEAR(summary.free_margin, c.free_margin, 1e-9) << "mode " << c.mode << " bid " << c.bid;
        EXPECT_NEAR(summary.equity, 10000 + summary.profit, 1e-9);
    }
}

TEST_F(TradeBaseTest, MarginOfHedgedPositionsAndTheLargerLeg) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25, 1.25), trade(2, "EURUSD", kSell, 40, 1.27, 1.27)};
    change_symbol("EURUSD", [](market::SymbolRecord& symbol) { symbol.hedged_margin = 50000; });
    log_in(open);
    // Net 60 at 1000 per lot, hedged 80 at 500 per lot, at the average rate (100 x 1.25 + 40 x 1.27) / 140.
    const double rate = (100 * 1.25 + 40 * 1.27) / 140;
    EXPECT_NEAR(base.summary().margin, (600 + 400) * rate, 1e-9);

    AccountData account{};
    account.group.larger_leg_margin = 1;
    account.group.free_margin_mode = market::FreeMarginMode::WithProfit;
    account.leverage = 100;
    account.balance = 10000;
    core::set_field_text(account.group.deposit_currency, "USD");
    base.set_account(account, open);
    EXPECT_NEAR(base.summary().margin, 1000 * 1.25, 1e-9) << "the buy side is the larger";
}

TEST_F(TradeBaseTest, MarginTestRefusesWithoutFreeMarginUnlessTheOrderHedges) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 1500);
    quote("EURUSD", 1.25f, 1.2502f);
    base.revalue();
    ASSERT_DOUBLE_EQ(base.summary().margin, 1000);

    // 1 lot more needs 1000 x 1.2502 (EUR into USD at the order's own price).
    HypotheticalOrder buy{"EURUSD", kBuy, 100, 0, std::nullopt};
    const MarginProjection projection = base.project(buy);
    EXPECT_DOUBLE_EQ(projection.margin, 1000);
    EXPECT_NEAR(projection.margin_after, 1000 + 1250.2, 1e-9);
    EXPECT_EQ(base.margin_test(buy), kNoMoney);
    buy.volume = 30;
    EXPECT_EQ(base.margin_test(buy), net::ReturnCode::Ok);

    // A larger sell hedges the buy: the margin falls (1000 to 575), so it passes while the
    // symbol's flag is 0 although the free margin after it is below 0.
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 100);
    const HypotheticalOrder hedge{"EURUSD", kSell, 150, 1.25, std::nullopt};
    EXPECT_NEAR(base.project(hedge).free_margin_after, 100 - 575, 1e-9);
    EXPECT_LT(base.project(hedge).margin_after, base.project(hedge).margin);
    EXPECT_EQ(base.margin_test(hedge), net::ReturnCode::Ok);
    change_symbol("EURUSD", [](market::SymbolRecord& symbol) { symbol.margin_flag = 1; });
    EXPECT_EQ(base.margin_test(hedge), kNoMoney);
}

TEST_F(TradeBaseTest, MarginTestOfRequests) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 900);
    TradeRequest order{};
    order.kind = kMarketOrder;
    order.order_type = kBuy;
    core::set_field_text(order.symbol, "EURUSD");
    order.volume = 100;
    order.price = 1.25;
    EXPECT_EQ(base.margin_test(order), kNoMoney);
    TradeRequest close = order;
    close.kind = kMarketClose;
    close.ticket = 1;
    close.volume = 50;
    EXPECT_EQ(base.margin_test(close), net::ReturnCode::Ok) << "closing half frees margin";
    close.ticket = 99;
    EXPECT_EQ(base.margin_test(close), net::ReturnCode::Ok);
    TradeRequest modify = order;
    modify.kind = kModify;
    EXPECT_EQ(base.margin_test(modify), net::ReturnCode::Ok);
}

TEST_F(TradeBaseTest, RequestTestReadsTheBaseAndTheSymbols) {
    change_symbol("EURUSD", [](market::SymbolRecord& symbol) { symbol.execution_mode = market::ExecutionMode::Instant; });
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open, "USD", market::FreeMarginMode::WithProfit, 1500);
    quote("EURUSD", 1.25f, 1.2502f);
    TradeRequest request{};
    request.kind = kInstantOrder;
    request.order_type = kBuy;
    core::set_field_text(request.symbol, "EURUSD");
    request.volume = 30;
    request.price = 1.2502;
    EXPECT_EQ(base.test_request(request), net::ReturnCode::Ok);
    request.volume = 100;
    EXPECT_EQ(base.test_request(request), kNoMoney);
    ASSERT_FALSE(journal.lines().empty());
    EXPECT_EQ(journal.lines().back().rfind("'5001': order buy 1.00 EURUSD opening at 1.25020", 0), 0u)
        << journal.lines().back();

    // A ticket of another login empties the base and tells the views.
    TradeRecord foreign = trade(2, "EURUSD", kSell, 100, 1.25);
    foreign.login = 7777;
    ASSERT_TRUE(base.add_open_trade(foreign));
    notifier.take();
    TradeRequest close{};
    close.kind = kInstantClose;
    close.ticket = 2;
    core::set_field_text(close.symbol, "EURUSD");
    close.volume = 100;
    close.price = 1.2502;
    EXPECT_NE(base.test_request(close), net::ReturnCode::Ok);
    EXPECT_EQ(base.open_trade_count(), 0u);
    const std::vector<std::pair<core::Notification, intptr_t>> posts = {{core::Notification::Trades, 0},
                                                         {core::Notification::AccountHistory,
                                                          core::notification_value(core::HistorySelector::Changed)}};
    EXPECT_EQ(notifier.take(), posts);
}

TEST_F(TradeBaseTest, MarginRateOfARequest) {
    market::SymbolRecord exotic = testing::instrument("XAUCHF", 8, 2, "CHF", "XAU");
    exotic.margin_mode = market::MarginMode::Cfd;
    symbols.replace_symbols([&] {
        std::vector<market::SymbolRecord> list;
        for (size_t i = 0; i < symbols.symbol_count(); ++i) list.push_back(*symbols.symbol_at(i));
        list.push_back(exotic);
        return list;
    }());
    struct Case {
        const char* what;
        const char* deposit;
        const char* symbol;
        double price;
        double rate;
    };
    log_in({}, "USD");
    quote("EURUSD", 1.2f, 1.4f);
    quote("USDJPY", 150, 152);
    quote("GBPUSD", 1.25f, 1.25f);
    const Case cases[] = {
        {"margin currency is the deposit currency", "USD", "GOLD", 1800, 1},
        {"the symbol's own price", "USD", "EURUSD", 1.3, 1.3},
        {"the symbol's own price, yen deposit", "JPY", "USDJPY", 125, 125},
        {"no price: the pair's mid", "USD", "EURUSD", 0, 1.3},
        {"another pair's mid", "USD", "EURGBP", 0.85, 1.3},
        {"through USD", "JPY", "EURGBP", 0.85, 1.3 * 151},
        {"an inverted pair", "GBP", "USDJPY", 0, 1 / 1.25},
        {"no pair", "USD", "XAUCHF", 2000, 0},
    };
    for (const Case& c : cases) {
        log_in({}, c.deposit);
        EXPECT_NEAR(base.margin_rate({c.symbol, kBuy, 100, c.price, std::nullopt}), c.rate, 1e-6) << c.what;
    }
}

TEST_F(TradeBaseTest, UnquotedPairGivesRateZeroAndIsSelectedUnshown) {
    log_in({}, "CHF");
    EXPECT_EQ(base.margin_rate({"GBPUSD", kBuy, 100, 0, std::nullopt}), 0);
    EXPECT_EQ(symbols.selected_by_name("USDCHF").value().shown, 0);
}

TEST_F(TradeBaseTest, TheSixtyFifthRequotePushesOutTheOldest) {
    for (int i = 1; i <= 65; ++i) {
        TradeRequest request{};
        request.ticket = i;
        base.add_requote(request, 1.0 + i, 2.0 + i);
    }
    const std::vector<Requote> requotes = base.requotes();
    ASSERT_EQ(requotes.size(), kMaxRequotes);
    EXPECT_EQ(requotes.front().request.ticket, 2);
    EXPECT_EQ(requotes.back().request.ticket, 65);
    EXPECT_EQ(requotes.back().bid, 66);
    EXPECT_EQ(requotes.back().expiry, clock.unix_time() + kRequoteLifetime);
}

TEST_F(TradeBaseTest, ExpirationMustLieTenMinutesAfterTheNewestQuote) {
    quote("EURUSD", 1.2f, 1.3f);
    const int32_t newest = symbols.newest_quote_time();
    const std::pair<int32_t, bool> cases[] = {{0, true},           {-5, true},          {newest, false},
                                              {newest + 599, false}, {newest + 600, true}, {newest - 1, false}};
    for (auto [expiration, allowed] : cases) EXPECT_EQ(base.expiration_allowed(expiration), allowed) << expiration;
}

TEST_F(TradeBaseTest, ClearingForAnotherLoginEmptiesTheListsAndTellsTheViews) {
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25)};
    log_in(open);
    ASSERT_TRUE(base.set_history(open));
    base.add_requote(TradeRequest{}, 1, 2);
    notifier.take();
    base.clear_for_other_login();
    EXPECT_EQ(base.open_trade_count(), 0u);
    EXPECT_EQ(base.history_count(), 0u);
    EXPECT_TRUE(base.requotes().empty());
    EXPECT_EQ(base.summary().balance, 0);
    const std::vector<std::pair<core::Notification, intptr_t>> posts = {{core::Notification::Trades, 0},
                                                         {core::Notification::AccountHistory,
                                                          core::notification_value(core::HistorySelector::Changed)}};
    EXPECT_EQ(notifier.take(), posts);
}

TEST_F(TradeBaseTest, UnterminatedNamesAreCutAtTheirField) {
    TradeRecord record = trade(1, "EURUSD", kBuy, 100, 1.25);
    std::memset(record.symbol, 'X', sizeof record.symbol);
    std::memset(record.comment, 'c', sizeof record.comment);
    log_in(std::span(&record, 1));
    base.revalue();
    EXPECT_EQ(std::string(base.open_trade_at(0)->symbol), std::string(11, 'X'));
    EXPECT_EQ(std::string(base.open_trade_at(0)->comment).size(), 31u);
    EXPECT_EQ(base.summary().margin, 0) << "an unknown symbol has no margin";
}

}  // namespace
}  // namespace kb::trade

namespace kb::trade {
namespace {

// The quote thread revalues, the trade thread applies transactions and the user interface
// reads and hides symbols, all at once; run under the thread sanitizer this shows the lock
// order holds (the symbols base asks the trade base only before taking its own lock).
TEST_F(TradeBaseTest, QuotesTransactionsAndReadersRunTogether) {
    symbols.set_usage_sources(&base, nullptr);
    const TradeRecord open[] = {trade(1, "EURUSD", kBuy, 100, 1.25), trade(2, "USDJPY", kSell, 100, 150)};
    log_in(open);
    quote("EURUSD", 1.25f, 1.2502f);
    quote("USDJPY", 150, 150.02f);
    constexpr int kRounds = 200;
    std::thread quotes([&] {
        for (int i = 0; i < kRounds; ++i) {
            quote("EURUSD", 1.25f + static_cast<float>(i % 10) * 0.0001f, 1.2502f + static_cast<float>(i % 10) * 0.0001f);
            base.revalue();
        }
    });
    std::thread transactions([&] {
        for (int i = 0; i < kRounds; ++i) {
            const TradeTransaction add = transaction(kTransactionAdd, trade(100 + i, "GBPUSD", kBuy, 10, 1.3));
            base.apply_transactions(std::span(&add, 1));
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        base.summary();
        base.open_trades();
        symbols.hide_all_not_in_use();
    }
    quotes.join();
    transactions.join();
    EXPECT_EQ(base.open_trade_count(), 2u + kRounds);
    EXPECT_TRUE(symbols.selected_by_name("GBPUSD")) << "a traded symbol stays selected";
}

}  // namespace
}  // namespace kb::trade
