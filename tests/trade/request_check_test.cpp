#include "trade/request_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"

namespace kb::trade {
namespace {

using market::ExecutionMode;
using net::ReturnCode;

constexpr int32_t kLogin = 5001;
constexpr int32_t kNow = 1'700'000'000;

// One account with a EURUSD-like symbol: 5 digits, stops level 10 points, volumes 0.10 to
// 10.00 lots in steps of 0.10, at most 5 orders, bid 1.10000 / ask 1.10020.
struct Account {
    TradeRequest request{};
    market::SymbolRecord symbol{};
    std::unique_ptr<market::GroupRecord> group = std::make_unique<market::GroupRecord>();
    RequestCheckInputs inputs;
    bool margin_enough = true;
    bool symbol_known = true;

    Account() {
        core::set_field_text(symbol.name, "EURUSD");
        symbol.digits = 5;
        symbol.point = 0.00001;
        symbol.stops_level = 10;
        symbol.execution_mode = ExecutionMode::Instant;
        symbol.group_index = 2;
        std::memset(group.get(), 0, sizeof(market::GroupRecord));
        group->symbol_groups[2].minimum_volume = 10;
        group->symbol_groups[2].maximum_volume = 1000;
        group->symbol_groups[2].volume_step = 10;
        group->order_limit = 5;
        group->flags = market::kExpirationAllowed;

        inputs.login = kLogin;
        inputs.bid = 1.10000;
        inputs.ask = 1.10020;
        inputs.quote_time = kNow;
        inputs.open_orders = 1;
        inputs.recent_ticks = {tick(kNow, 1.10000, 1.10020), tick(kNow - 3, 1.09990, 1.10010)};
        inputs.margin_ok = [this](const TradeRequest&) { return margin_enough; };

        // An instant buy of 1 lot at the ask that passes every rule.
        request.kind = kInstantOrder;
        request.order_type = kBuy;
        core::set_field_text(request.symbol, "EURUSD");
        request.volume = 100;
        request.price = 1.10020;
        request.deviation = 3;
    }

    static market::TickHistoryEntry tick(int32_t time, double bid, double ask) {
        market::TickHistoryEntry entry{};
        core::set_field_text(entry.name, "EURUSD");
        entry.time = time;
        entry.bid = bid;
        entry.ask = ask;
        return entry;
    }

    void hold(int32_t ticket, int type, int32_t volume, double open_price, double close_price) {
        TradeRecord record{};
        record.ticket = ticket;
        record.login = kLogin;
        core::set_field_text(record.symbol, "EURUSD");
        record.digits = 5;
        record.type = type;
        record.volume = volume;
        record.open_price = open_price;
        record.close_price = close_price;
        if (inputs.order)
            inputs.opposite = record;
        else
            inputs.order = record;
        request.ticket = inputs.order->ticket;
        if (inputs.opposite) request.opposite_ticket = inputs.opposite->ticket;
    }

    void pending(int type, double price) {
        request.kind = kPendingOrder;
        request.order_type = static_cast<int16_t>(type);
        request.price = price;
        request.deviation = 0;
    }
    void close(uint8_t kind, int32_t volume, double price) {
        hold(7, kBuy, 150, 1.09000, 1.10000);
        request.kind = kind;
        request.volume = volume;
        request.price = price;
    }
    void modify(double sl, double tp) {
        hold(7, kBuy, 100, 1.09000, 1.10000);
        request.kind = kModify;
        request.stop_loss = sl;
        request.take_profit = tp;
    }
};

struct Case {
    const char* rule;
    std::function<void(Account&)> arrange;
    ReturnCode code;
};

const Case kCases[] = {
    {"a valid instant order passes", [](Account&) {}, ReturnCode::Ok},
    {"investor mode", [](Account& s) { s.inputs.investor_mode = true; }, ReturnCode::TradeDisabled},
    {"a ticket of another login", [](Account& s) { s.close(kInstantClose, 150, 1.10000); s.inputs.order->login = 9; }, ReturnCode::InvalidParameters},
    {"an unknown request kind", [](Account& s) { s.request.kind = 99; }, ReturnCode::CommonError},
    {"an unknown symbol", [](Account& s) { s.symbol_known = false; }, ReturnCode::InvalidParameters},
    // instant order
    {"instant order outside instant execution", [](Account& s) { s.symbol.execution_mode = ExecutionMode::Market; }, ReturnCode::InvalidParameters},
    {"long-only symbol refuses a sell", [](Account& s) { s.symbol.long_only = 1; s.request.order_type = kSell; s.request.price = 1.1; }, ReturnCode::TradeDisabled},
    {"volume 0", [](Account& s) { s.request.volume = 0; }, ReturnCode::InvalidVolume},
    {"volume above the maximum", [](Account& s) { s.request.volume = 1010; }, ReturnCode::InvalidVolume},
    {"volume off the step", [](Account& s) { s.request.volume = 105; }, ReturnCode::InvalidVolume},
    {"volume below the minimum", [](Account& s) { s.group->symbol_groups[2].minimum_volume = 200; }, ReturnCode::InvalidVolume},
    {"negative deviation", [](Account& s) { s.request.deviation = -1; }, ReturnCode::InvalidParameters},
    {"order limit reached", [](Account& s) { s.inputs.open_orders = 5; }, ReturnCode::TooManyOrders},
    {"buy stop loss inside the stops level", [](Account& s) { s.request.stop_loss = 1.09995; }, ReturnCode::InvalidStops},
    {"buy stop loss at the stops level", [](Account& s) { s.request.stop_loss = 1.09990; }, ReturnCode::Ok},
    {"buy take profit inside the stops level", [](Account& s) { s.request.take_profit = 1.10005; }, ReturnCode::InvalidStops},
    {"sell stop loss below the ask", [](Account& s) { s.request.order_type = kSell; s.request.price = 1.1; s.request.stop_loss = 1.10025; }, ReturnCode::InvalidStops},
    {"not enough money", [](Account& s) { s.margin_enough = false; }, ReturnCode::NotEnoughMoney},
    {"price of no recent tick", [](Account& s) { s.request.price = 1.10030; }, ReturnCode::InvalidPrices},
    {"price of the second newest tick", [](Account& s) { s.request.price = 1.10010; }, ReturnCode::Ok},
    {"price of a tick older than 5 s", [](Account& s) { s.request.price = 1.10010; s.inputs.recent_ticks[1].time = kNow - 6; }, ReturnCode::InvalidPrices},
    // price request and order by request
    {"price request in instant mode without a volume limit", [](Account& s) { s.request.kind = kPriceRequest; }, ReturnCode::InvalidParameters},
    {"price request above the instant volume limit", [](Account& s) { s.request.kind = kPriceRequest; s.symbol.instant_volume_limit = 50; }, ReturnCode::Ok},
    {"price request in request mode", [](Account& s) { s.request.kind = kPriceRequest; s.symbol.execution_mode = ExecutionMode::Request; }, ReturnCode::Ok},
    {"price request with a bad volume", [](Account& s) { s.request.kind = kPriceRequest; s.symbol.execution_mode = ExecutionMode::Request; s.request.volume = 3; }, ReturnCode::InvalidVolume},
    {"order by request in request mode", [](Account& s) { s.request.kind = kOrderByRequest; s.symbol.execution_mode = ExecutionMode::Request; s.request.price = 1.2; }, ReturnCode::Ok},
    {"order by request over the order limit", [](Account& s) { s.request.kind = kOrderByRequest; s.symbol.execution_mode = ExecutionMode::Request; s.inputs.open_orders = 9; }, ReturnCode::TooManyOrders},
    // market order
    {"market order in market execution", [](Account& s) { s.request.kind = kMarketOrder; s.symbol.execution_mode = ExecutionMode::Market; s.request.price = 0; }, ReturnCode::Ok},
    {"market order with a price", [](Account& s) { s.request.kind = kMarketOrder; s.symbol.execution_mode = ExecutionMode::Market; }, ReturnCode::InvalidParameters},
    {"market order outside market execution", [](Account& s) { s.request.kind = kMarketOrder; s.request.price = 0; }, ReturnCode::InvalidParameters},
    // pending order
    {"pending order of a market type", [](Account& s) { s.pending(kBuy, 1.09); }, ReturnCode::InvalidParameters},
    {"buy limit below the ask by the stops level", [](Account& s) { s.pending(kBuyLimit, 1.10010); }, ReturnCode::Ok},
    {"buy limit too near the ask", [](Account& s) { s.pending(kBuyLimit, 1.10015); }, ReturnCode::InvalidStops},
    {"sell limit too near the bid", [](Account& s) { s.pending(kSellLimit, 1.10005); }, ReturnCode::InvalidStops},
    {"buy stop above the ask", [](Account& s) { s.pending(kBuyStop, 1.10030); }, ReturnCode::Ok},
    {"sell stop above the bid", [](Account& s) { s.pending(kSellStop, 1.10000); }, ReturnCode::InvalidStops},
    {"pending price 0", [](Account& s) { s.pending(kBuyLimit, 0); }, ReturnCode::InvalidParameters},
    {"pending price above 1000000000", [](Account& s) { s.pending(kBuyStop, 2e9); }, ReturnCode::InvalidParameters},
    {"expiration the group does not allow", [](Account& s) { s.pending(kBuyLimit, 1.09); s.group->flags = 0; s.request.expiration = kNow + 3600; }, ReturnCode::ExpirationDisabled},
    {"expiration under 600 s ahead", [](Account& s) { s.pending(kBuyLimit, 1.09); s.request.expiration = kNow + 590; }, ReturnCode::InvalidParameters},
    {"pending stop loss inside the stops level", [](Account& s) { s.pending(kSellLimit, 1.2); s.request.stop_loss = 1.20005; }, ReturnCode::InvalidStops},
    {"long-only symbol refuses a sell limit", [](Account& s) { s.pending(kSellLimit, 1.2); s.symbol.long_only = 1; }, ReturnCode::TradeDisabled},
    // closes
    {"instant close of the whole odd-sized position", [](Account& s) { s.close(kInstantClose, 150, 1.10000); }, ReturnCode::Ok},
    {"instant close of more than the position", [](Account& s) { s.close(kInstantClose, 160, 1.10000); }, ReturnCode::InvalidVolume},
    {"instant close of part off the step", [](Account& s) { s.close(kInstantClose, 55, 1.10000); }, ReturnCode::InvalidVolume},
    {"instant close with a deviation over 1000000", [](Account& s) { s.close(kInstantClose, 150, 1.10000); s.request.deviation = 1000001; }, ReturnCode::InvalidParameters},
    {"instant close at the ask of a buy", [](Account& s) { s.close(kInstantClose, 150, 1.10020); }, ReturnCode::InvalidPrices},
    {"instant close without margin", [](Account& s) { s.close(kInstantClose, 150, 1.10000); s.margin_enough = false; }, ReturnCode::NotEnoughMoney},
    {"instant close of an unknown ticket", [](Account& s) { s.request.kind = kInstantClose; s.request.ticket = 8; }, ReturnCode::InvalidParameters},
    {"close by request above the instant limit", [](Account& s) { s.close(kCloseByRequest, 100, 1.1); s.symbol.instant_volume_limit = 50; }, ReturnCode::Ok},
    {"close by request in instant mode", [](Account& s) { s.close(kCloseByRequest, 100, 1.1); }, ReturnCode::InvalidParameters},
    {"market close in market execution", [](Account& s) { s.close(kMarketClose, 100, 0); s.symbol.execution_mode = ExecutionMode::Market; }, ReturnCode::Ok},
    {"market close outside market execution", [](Account& s) { s.close(kMarketClose, 100, 0); }, ReturnCode::InvalidParameters},
    // modify and delete
    {"modify that changes nothing", [](Account& s) { s.modify(0, 0); }, ReturnCode::OkNoResult},
    {"modify with a valid stop loss", [](Account& s) { s.modify(1.09900, 0); }, ReturnCode::Ok},
    {"modify with a take profit below the close price", [](Account& s) { s.modify(0, 1.09950); }, ReturnCode::InvalidStops},
    {"modify with an expiration the group does not allow", [](Account& s) { s.modify(1.099, 0); s.group->flags = 0; s.request.expiration = kNow + 3600; }, ReturnCode::ExpirationDisabled},
    {"modify of a pending order that changes nothing", [](Account& s) { s.hold(7, kBuyLimit, 100, 1.09, 0); s.request.kind = kModify; s.request.price = 1.09; }, ReturnCode::OkNoResult},
    {"modify of a pending order to a price too near", [](Account& s) { s.hold(7, kBuyLimit, 100, 1.09, 0); s.request.kind = kModify; s.request.price = 1.10015; }, ReturnCode::InvalidStops},
    {"delete of a pending order", [](Account& s) { s.hold(7, kSellStop, 100, 1.09, 0); s.request.kind = kDelete; }, ReturnCode::Ok},
    {"delete of a position", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.request.kind = kDelete; }, ReturnCode::InvalidParameters},
    // close by
    {"close by of two opposite positions", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.hold(8, kSell, 100, 1.11, 1.1); s.request.kind = kCloseBy; }, ReturnCode::Ok},
    {"close by the group refuses", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.hold(8, kSell, 100, 1.11, 1.1); s.request.kind = kCloseBy; s.group->symbol_groups[2].flags = 1; }, ReturnCode::InvalidParameters},
    {"close by on a long-only symbol", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.hold(8, kSell, 100, 1.11, 1.1); s.request.kind = kCloseBy; s.symbol.long_only = 1; }, ReturnCode::InvalidParameters},
    {"close by without the opposite order", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.request.kind = kCloseBy; }, ReturnCode::InvalidParameters},
    {"close by with another symbol", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.hold(8, kSell, 100, 1.11, 1.1); core::set_field_text(s.inputs.opposite->symbol, "GBPUSD"); s.request.kind = kCloseBy; }, ReturnCode::InvalidParameters},
    {"close by with another login's order", [](Account& s) { s.hold(7, kBuy, 100, 1.09, 1.1); s.hold(8, kSell, 100, 1.11, 1.1); s.inputs.opposite->login = 9; s.request.kind = kCloseBy; }, ReturnCode::InvalidParameters},
    {"close by of two buy limits", [](Account& s) { s.hold(7, kBuyLimit, 100, 1.09, 0); s.hold(8, kBuyLimit, 100, 1.08, 0); s.request.kind = kCloseBy; }, ReturnCode::InvalidParameters},
    {"multiple close by", [](Account& s) { s.request.kind = kMultipleCloseBy; }, ReturnCode::Ok},
    {"multiple close by the group refuses", [](Account& s) { s.request.kind = kMultipleCloseBy; s.group->symbol_groups[2].flags = 2; }, ReturnCode::InvalidParameters},
};

class RequestCheckTest : public ::testing::Test {
protected:
    RequestCheckTest() : journal_(folder_.path(), clock_) {
        journal_.set_echo([this](std::string_view line) { lines_.emplace_back(line); });
    }

    ReturnCode check(Account& setup) {
        if (setup.symbol_known) setup.inputs.symbol = setup.symbol;
        setup.inputs.group = setup.group.get();
        return check_request(setup.request, setup.inputs, &journal_);
    }

    kb::testing::TempFolder folder_;
    platform::ManualClock clock_;
    core::Journal journal_;
    std::vector<std::string> lines_;
};

TEST_F(RequestCheckTest, EachRuleGivesItsCode) {
    for (const Case& c : kCases) {
        Account setup;
        c.arrange(setup);
        EXPECT_EQ(check(setup), c.code) << c.rule;
    }
}

TEST_F(RequestCheckTest, InvestorModeIsJournaled) {
    Account setup;
    setup.inputs.investor_mode = true;
    ASSERT_EQ(check(setup), ReturnCode::TradeDisabled);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].substr(9), "'5001': trading attempt in the investor mode");
}

TEST_F(RequestCheckTest, AnotherLoginsTicketClearsTheTradesAndIsJournaled) {
    Account setup;
    setup.close(kInstantClose, 150, 1.1);
    setup.inputs.order->login = 4242;
    int clears = 0;
    setup.inputs.clear_foreign_trades = [&] { ++clears; };
    EXPECT_EQ(check(setup), ReturnCode::InvalidParameters);
    EXPECT_EQ(clears, 1);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].substr(9), "'5001': client account differs from the account in trade position'4242'");
}

TEST_F(RequestCheckTest, FailedMarginOfAnOrderIsJournaled) {
    Account setup;
    setup.request.stop_loss = 1.09;
    setup.margin_enough = false;
    ASSERT_EQ(check(setup), ReturnCode::NotEnoughMoney);
    ASSERT_EQ(lines_.size(), 1u);
    EXPECT_EQ(lines_[0].substr(9),
              "'5001': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Not enough money]");
}

TEST_F(RequestCheckTest, AdjustsThePendingExpirationAndTheCloseOrderType) {
    Account pending;
    pending.pending(kBuyLimit, 1.09);
    pending.request.expiration = kNow + 3600 + 59;
    ASSERT_EQ(check(pending), ReturnCode::Ok);
    EXPECT_EQ(pending.request.expiration, kNow + 3600 + 59 - (kNow + 3600 + 59) % 60);

    Account close;
    close.hold(7, kSell, 100, 1.2, 1.10020);
    close.request.kind = kInstantClose;
    close.request.order_type = kBuy;
    close.request.price = 1.10020;
    ASSERT_EQ(check(close), ReturnCode::Ok);
    EXPECT_EQ(close.request.order_type, kSell);
}

// The rule the terminal's check and the demo server both apply to a pending expiration.
TEST(PendingExpiration, MustBeNoneOrAtLeastTenMinutesAhead) {
    const std::pair<int64_t, bool> cases[] = {{0, true},           {kNow + 600, true}, {kNow + 86400, true},
                                              {kNow + 599, false}, {kNow, false},      {kNow - 600, false},
                                              {-1, false}};
    for (auto [expiration, allowed] : cases) EXPECT_EQ(expiration_far_enough(expiration, kNow), allowed) << expiration;
}

}  // namespace
}  // namespace kb::trade
