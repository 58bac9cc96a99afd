#include <cmath>
#include <cstring>
#include <optional>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "net/trade_request_signing.h"
#include "tests/server/login_data_fixture.h"
#include "tests/support/eurusd_request.h"
#include "trade/trade_notification.h"
#include "trade/trade_request.h"

namespace kb::server {
namespace {

using net::ReturnCode;
using trade::TradeNotification;
using trade::TradeRequest;

constexpr double kPoint = 0.00001;   // EURUSD

// Trade channels of account 1001 ("demo", USD, 5000 on deposit) against the running server,
// with the terminal's own request signing and notification reader; its trade server
// connection receives the trade transactions.
class Dealing : public testing_support::LoginDataServer {
protected:
    void SetUp() override {
        LoginDataServer::SetUp();
        quotes_flow();
        main = terminal(1001, "secret1");
        channel = logged_in(1001, "secret1", net::LoginMode::TradeChannel);
    }

    // Moves the server's time on and lets the price engine quote it.
    void quotes_flow(int64_t ms = 60000) {
        clock.advance_ms(static_cast<uint32_t>(ms));
        server->feed().pump();
    }

    InstrumentQuote eurusd() { return server->feed().quote(0); }

    void set_group(const std::string& key, const std::string& value) {
        ASSERT_TRUE(storage->set_override({"group", "demo", key, value}));
        server->settings().refresh();
    }

    static TradeRequest request(uint8_t kind, int16_t type, int volume, double price, int32_t ticket = 0) {
        return testing::eurusd_request(kind, type, volume, price, ticket, 0);
    }

    static void send(net::PacketStream& stream, const TradeRequest& request) {
        net::TradeRequestBytes bytes{};
        std::memcpy(bytes.data(), &request, sizeof request);
        ASSERT_TRUE(net::send_trade_request(stream, bytes));
    }

    // Reads notifications until the request ends; accepted and in-process ones are followed.
    static TradeNotification follow(net::PacketStream& stream, trade::FollowedRequest& followed) {
        for (;;) {
            const uint8_t command = stream.read_byte();
            if (command != net::command_byte(net::Command::TradeRequest)) {
                ADD_FAILURE() << "command " << int{command};
                return {};
            }
            TradeNotification notification = trade::read_trade_notification(stream, followed);
            const std::optional<trade::RequestState> goes_on = trade::state_going_on(notification.code);
            if (!goes_on) return notification;
            followed.state = *goes_on;
            followed.request_id = notification.request_id;
        }
    }

    TradeNotification deal(const TradeRequest& request, net::PacketStream* on = nullptr) {
        net::PacketStream& stream = on ? *on : *channel;
        send(stream, request);
        trade::FollowedRequest followed{request.kind, trade::RequestState::Ready, 0};
        return follow(stream, followed);
    }

    // The next trade transactions pushed to the trade server connection, past the symbol and
    // group updates that the group changes of a test bring.
    std::vector<trade::TradeTransaction> pushed() {
        EXPECT_EQ(next_past_settings(), net::command_byte(net::Command::TradeUpdates));
        return records<trade::TradeTransaction>(net::read_compressed(*main, 1048576));
    }

    uint8_t next_past_settings() {
        uint8_t command = main->read_byte();
        while (command == net::command_byte(net::Command::SymbolUpdates) ||
               command == net::command_byte(net::Command::GroupSettings)) {
            EXPECT_TRUE(net::read_compressed(*main, 1048576).ok());
            command = main->read_byte();
        }
        return command;
    }

    // The keep-alive round trip on the trade server connection: no trade change came before.
    void expect_no_trade_changes() {
        ASSERT_TRUE(main->send_byte(net::Command::KeepAlive));
        EXPECT_EQ(next_past_settings(), net::command_byte(net::Command::KeepAlive));
    }

    trade::TradeRecord open_buy(int volume) {
        TradeNotification done = deal(request(trade::kInstantOrder, trade::kBuy, volume, eurusd().ask));
        EXPECT_EQ(done.code, ReturnCode::Ok) << done.fault;
        EXPECT_EQ(pushed().size(), 1u);
        return done.records.empty() ? trade::TradeRecord{} : done.records[0];
    }

    trade::TradeRecord open_sell(int volume) {
        TradeNotification done = deal(request(trade::kInstantOrder, trade::kSell, volume, eurusd().bid));
        EXPECT_EQ(done.code, ReturnCode::Ok) << done.fault;
        EXPECT_EQ(pushed().size(), 1u);
        return done.records.empty() ? trade::TradeRecord{} : done.records[0];
    }

    std::unique_ptr<net::PacketStream> main;
    std::unique_ptr<net::PacketStream> channel;
};

TEST_F(Dealing, InstantOrderOpensWithinTheDeviationAndIsRequotedOutside) {
    const InstrumentQuote quote = eurusd();
    ASSERT_NE(quote.time, 0);
    TradeRequest buy = request(trade::kInstantOrder, trade::kBuy, 50, quote.ask - 3 * kPoint);
    buy.deviation = 5;
    buy.stop_loss = quote.bid - 500 * kPoint;
    core::set_field_text(buy.comment, "first");
    TradeNotification done = deal(buy);
    ASSERT_EQ(done.code, ReturnCode::Ok) << done.fault;
    ASSERT_EQ(done.records.size(), 1u);
    const trade::TradeRecord opened = done.records[0];
    EXPECT_EQ(opened.login, 1001);
    EXPECT_EQ(opened.type, trade::kBuy);
    EXPECT_EQ(opened.volume, 50);
    EXPECT_EQ(opened.digits, 5);
    EXPECT_DOUBLE_EQ(opened.open_price, quote.ask) << "filled at the market within the deviation";
    EXPECT_DOUBLE_EQ(opened.stop_loss, buy.stop_loss);
    EXPECT_EQ(core::field_text(opened.comment), "first");

    const std::vector<trade::TradeTransaction> changes = pushed();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, trade::kTransactionAdd);
    EXPECT_EQ(changes[0].trade.ticket, opened.ticket);
    ASSERT_EQ(storage->open_trades(1001).size(), 1u);

    buy.price = quote.ask - 20 * kPoint;
    TradeNotification requoted = deal(buy);
    EXPECT_EQ(requoted.code, ReturnCode::Requote);
    EXPECT_DOUBLE_EQ(requoted.bid, quote.bid);
    EXPECT_DOUBLE_EQ(requoted.ask, quote.ask);

    set_group("requote_rate", "1");
    buy.price = quote.ask;
    EXPECT_EQ(deal(buy).code, ReturnCode::Requote) << "the dealer requotes at the group's rate";
    EXPECT_EQ(storage->open_trades(1001).size(), 1u);
    expect_no_trade_changes();
}

TEST_F(Dealing, RequestsOfTheWrongExecutionModeOrSizeAreRefused) {
    const InstrumentQuote quote = eurusd();
    const std::pair<TradeRequest, ReturnCode> cases[] = {
        {request(trade::kMarketOrder, trade::kBuy, 10, 0), ReturnCode::InvalidParameters},
        {request(trade::kOrderByRequest, trade::kBuy, 10, quote.ask), ReturnCode::InvalidParameters},
        {request(trade::kInstantOrder, trade::kBuy, 0, quote.ask), ReturnCode::InvalidVolume},
        {request(trade::kInstantOrder, trade::kBuy, 10001, quote.ask), ReturnCode::InvalidVolume},
        {request(trade::kInstantOrder, trade::kBuyLimit, 10, quote.ask), ReturnCode::InvalidParameters},
        {request(trade::kInstantOrder, trade::kBuy, 10000, quote.ask), ReturnCode::NotEnoughMoney},
        {request(trade::kInstantClose, trade::kSell, 10, quote.bid, 424242), ReturnCode::InvalidParameters},
    };
    for (const auto& [sent, code] : cases) EXPECT_EQ(deal(sent).code, code) << int{sent.kind};
    TradeRequest stops = request(trade::kInstantOrder, trade::kBuy, 10, quote.ask);
    stops.stop_loss = quote.ask + 10 * kPoint;
    EXPECT_EQ(deal(stops).code, ReturnCode::InvalidStops) << "a buy's stop loss above the bid";
    EXPECT_TRUE(storage->open_trades(1001).empty());
}

TEST_F(Dealing, ExecutionByRequestQuotesAPriceThenFillsAtIt) {
    set_group("execution", "request");
    TradeNotification answer = deal(request(trade::kPriceRequest, trade::kBuy, 20, 0));
    ASSERT_EQ(answer.code, ReturnCode::Ok) << answer.fault;
    EXPECT_DOUBLE_EQ(answer.ask, eurusd().ask);

    quotes_flow(2000);   // the market moves on; the quoted price still holds
    TradeNotification done = deal(request(trade::kOrderByRequest, trade::kBuy, 20, answer.ask));
    ASSERT_EQ(done.code, ReturnCode::Ok) << done.fault;
    ASSERT_EQ(done.records.size(), 1u);
    EXPECT_DOUBLE_EQ(done.records[0].open_price, answer.ask);
    EXPECT_EQ(pushed().size(), 1u);

    TradeNotification other = deal(request(trade::kOrderByRequest, trade::kBuy, 20, answer.ask + 40 * kPoint));
    EXPECT_EQ(other.code, ReturnCode::Requote) << "a price the dealer didn't quote";
    quotes_flow(60000);
    EXPECT_EQ(deal(request(trade::kOrderByRequest, trade::kBuy, 20, answer.ask)).code, ReturnCode::Requote)
        << "a quote a minute old";
}

TEST_F(Dealing, ARequestInTheDealersHandsCanBeCancelled) {
    set_group("execution", "request");
    set_group("dealer_delay_ms", "5000");
    send(*channel, request(trade::kPriceRequest, trade::kBuy, 20, 0));
    trade::FollowedRequest followed{trade::kPriceRequest, trade::RequestState::Ready, 0};
    for (ReturnCode expected : {ReturnCode::OrderAccepted, ReturnCode::OrderInProcess}) {
        ASSERT_EQ(channel->read_byte(), net::command_byte(net::Command::TradeRequest));
        TradeNotification step = trade::read_trade_notification(*channel, followed);
        ASSERT_EQ(step.code, expected) << step.fault;
        followed.state = *trade::state_going_on(step.code);
        followed.request_id = step.request_id;
    }
    ASSERT_TRUE(LoginDataServer::send(*channel, [&](net::OutputBuffer& out) {
        out.put_command(net::Command::TradeReject);
        out.put_i32(followed.request_id);
    }));
    ASSERT_EQ(channel->read_byte(), net::command_byte(net::Command::TradeReject));
    int32_t id = 0;
    ASSERT_TRUE(channel->read_i32(id));
    EXPECT_EQ(id, followed.request_id);
    EXPECT_EQ(channel->read_byte(), 0) << "cancelled";
    EXPECT_EQ(follow(*channel, followed).code, ReturnCode::RequestCanceled);
    expect_in_step(*channel);
}

TEST_F(Dealing, MarketExecutionFillsAtTheMarket) {
    set_group("execution", "market");
    TradeNotification done = deal(request(trade::kMarketOrder, trade::kSell, 30, 0));
    ASSERT_EQ(done.code, ReturnCode::Ok) << done.fault;
    EXPECT_DOUBLE_EQ(done.records.at(0).open_price, eurusd().bid);
    EXPECT_EQ(pushed().size(), 1u);
    EXPECT_EQ(deal(request(trade::kMarketOrder, trade::kSell, 30, 1.2)).code, ReturnCode::InvalidParameters)
        << "a market order names no price";

    TradeNotification closed = deal(request(trade::kMarketClose, trade::kBuy, 30, 0, done.records[0].ticket));
    ASSERT_EQ(closed.code, ReturnCode::Ok) << closed.fault;
    EXPECT_DOUBLE_EQ(closed.records.at(0).close_price, eurusd().ask);
}

TEST_F(Dealing, PartialCloseLeavesTheRestAsANewPosition) {
    const trade::TradeRecord position = open_buy(50);
    quotes_flow(30000);
    TradeRequest close = request(trade::kInstantClose, trade::kSell, 20, eurusd().bid, position.ticket);
    TradeNotification done = deal(close);
    ASSERT_EQ(done.code, ReturnCode::Ok) << done.fault;
    ASSERT_EQ(done.records.size(), 2u);
    const trade::TradeRecord closed = done.records[0], rest = done.records[1];
    EXPECT_EQ(closed.ticket, position.ticket);
    EXPECT_EQ(closed.volume, 20);
    EXPECT_NE(closed.close_time, 0);
    EXPECT_DOUBLE_EQ(closed.close_price, eurusd().bid);
    const double expected_profit = std::round((eurusd().bid - position.open_price) * 100000 * 0.2 * 100) / 100;
    EXPECT_NEAR(closed.profit, expected_profit, 0.006);
    EXPECT_NE(rest.ticket, position.ticket);
    EXPECT_EQ(rest.volume, 30);
    EXPECT_EQ(rest.close_time, 0);
    EXPECT_DOUBLE_EQ(rest.open_price, position.open_price);
    EXPECT_NEAR(done.balance, 5000 + closed.profit, 1e-6);
    EXPECT_NEAR(storage->account(1001)->balance, done.balance, 1e-6);

    const std::vector<trade::TradeTransaction> changes = pushed();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].type, trade::kTransactionDelete);
    EXPECT_NEAR(changes[0].balance, done.balance, 1e-6);
    EXPECT_EQ(changes[1].type, trade::kTransactionAdd);
    EXPECT_EQ(changes[1].trade.ticket, rest.ticket);

    close.volume = 31;
    close.ticket = rest.ticket;
    EXPECT_EQ(deal(close).code, ReturnCode::InvalidVolume) << "more than the position holds";
}

TEST_F(Dealing, PendingOrdersAreModifiedAndDeleted) {
    const InstrumentQuote quote = eurusd();
    TradeRequest place = request(trade::kPendingOrder, trade::kBuyLimit, 10, quote.ask - 300 * kPoint);
    place.expiration = static_cast<int32_t>(clock.unix_time() + 3600 + 17);
    TradeNotification placed = deal(place);
    ASSERT_EQ(placed.code, ReturnCode::Ok) << placed.fault;
    const trade::TradeRecord order = placed.records.at(0);
    EXPECT_EQ(order.type, trade::kBuyLimit);
    EXPECT_EQ(storage->trade(order.ticket)->expiration % 60, 0) << "expirations are whole minutes";
    EXPECT_EQ(pushed().size(), 1u);

    place.price = quote.ask + 300 * kPoint;
    EXPECT_EQ(deal(place).code, ReturnCode::InvalidStops) << "a buy limit above the market";

    TradeRequest modify = request(trade::kModify, trade::kBuyLimit, 10, order.open_price - 10 * kPoint, order.ticket);
    modify.stop_loss = order.open_price - 200 * kPoint;
    TradeNotification modified = deal(modify);
    ASSERT_EQ(modified.code, ReturnCode::Ok) << modified.fault;
    EXPECT_DOUBLE_EQ(modified.records.at(0).open_price, modify.price);
    EXPECT_DOUBLE_EQ(modified.records.at(0).stop_loss, modify.stop_loss);
    EXPECT_EQ(pushed().at(0).type, trade::kTransactionUpdate);
    EXPECT_EQ(deal(modify).code, ReturnCode::OkNoResult) << "nothing to change";

    TradeNotification deleted = deal(request(trade::kDelete, trade::kBuyLimit, 10, 0, order.ticket));
    ASSERT_EQ(deleted.code, ReturnCode::Ok) << deleted.fault;
    EXPECT_TRUE(deleted.records.empty());
    const std::vector<trade::TradeTransaction> gone = pushed();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].type, trade::kTransactionDelete);
    EXPECT_EQ(gone[0].trade.close_time, 0) << "a deleted order stays out of the terminal's history";
    EXPECT_TRUE(storage->open_trades(1001).empty());
    EXPECT_DOUBLE_EQ(storage->account(1001)->balance, 5000);
}

// Stops and pending prices are compared as the terminal compares them, normalised to the
// symbol's digits: a price exactly on the stop distance passes even where the unrounded
// difference lies a hair inside it. A modified pending price must still sit on its side of
// the market.
TEST_F(Dealing, PricesOnTheStopDistancePassAndAModifiedPendingPriceIsPlaced) {
    ASSERT_TRUE(storage->set_override({"instrument", "EURUSD", "stops_level", "15"}));
    server->settings().refresh();
    const double distance = 15 * kPoint;
    // A quote where the unrounded ask - distance lies below the price on the distance.
    InstrumentQuote quote = eurusd();
    for (int i = 0; i < 200 && !(core::normalize(quote.ask - distance, 5) > quote.ask - distance); ++i) {
        quotes_flow(1000);
        quote = eurusd();
    }
    const double limit = core::normalize(quote.ask - distance, 5);
    ASSERT_GT(limit, quote.ask - distance) << "no quote shows the rounding edge";

    TradeRequest place = request(trade::kPendingOrder, trade::kBuyLimit, 10, limit);
    place.stop_loss = core::normalize(limit - distance, 5);
    TradeNotification placed = deal(place);
    ASSERT_EQ(placed.code, ReturnCode::Ok) << "a buy limit exactly on the distance: " << placed.fault;
    const trade::TradeRecord order = placed.records.at(0);
    EXPECT_EQ(pushed().size(), 1u);

    TradeRequest above = request(trade::kModify, trade::kBuyLimit, 10, core::normalize(quote.ask + 50 * kPoint, 5),
                                 order.ticket);
    EXPECT_EQ(deal(above).code, ReturnCode::InvalidStops) << "a buy limit moved above the market";
    EXPECT_DOUBLE_EQ(storage->trade(order.ticket)->open_price, limit);
}

TEST_F(Dealing, CloseByAndMultipleCloseBy) {
    const trade::TradeRecord buy = open_buy(30);
    const trade::TradeRecord sell = open_sell(10);
    TradeRequest by = request(trade::kCloseBy, trade::kBuy, 0, 0, buy.ticket);
    by.opposite_ticket = sell.ticket;
    TradeNotification done = deal(by);
    ASSERT_EQ(done.code, ReturnCode::Ok) << done.fault;
    ASSERT_EQ(done.records.size(), 3u);
    EXPECT_EQ(done.records[0].ticket, buy.ticket);
    EXPECT_EQ(done.records[0].volume, 10);
    EXPECT_DOUBLE_EQ(done.records[0].close_price, sell.open_price);
    EXPECT_EQ(done.records[1].ticket, sell.ticket);
    EXPECT_DOUBLE_EQ(done.records[1].profit, 0);
    EXPECT_EQ(done.records[2].volume, 20) << "the rest of the larger position";
    const double spread_cost = std::round((sell.open_price - buy.open_price) * 100000 * 0.1 * 100) / 100;
    EXPECT_NEAR(done.balance, 5000 + spread_cost, 0.006);
    EXPECT_EQ(pushed().size(), 3u);

    open_sell(10);
    open_sell(5);
    TradeRequest all = request(trade::kMultipleCloseBy, 0, 0, 0);
    ASSERT_EQ(deal(all).code, ReturnCode::Ok);
    std::vector<TradeRow> left = storage->open_trades(1001);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].type, trade::kBuy);
    EXPECT_EQ(left[0].volume, 5);
}

TEST_F(Dealing, PendingOrdersTriggerAndStopsCloseAsPricesMove) {
    const InstrumentQuote quote = eurusd();
    TradeRequest above = request(trade::kPendingOrder, trade::kBuyStop, 10, quote.ask + kPoint);
    TradeRequest below = request(trade::kPendingOrder, trade::kSellStop, 10, quote.bid - kPoint);
    ASSERT_EQ(deal(above).code, ReturnCode::Ok);
    ASSERT_EQ(deal(below).code, ReturnCode::Ok);
    ASSERT_TRUE(testing_support::eventually([&] {
        quotes_flow(1000);
        for (const TradeRow& trade : storage->open_trades(1001))
            if (trade.type == trade::kBuy || trade.type == trade::kSell) return true;
        return false;
    })) << "one of the stops is reached";

    TradeRow position;
    for (const TradeRow& trade : storage->open_trades(1001))
        if (trade.type == trade::kBuy || trade.type == trade::kSell) position = trade;
    const InstrumentQuote now = eurusd();
    const bool buy = position.type == trade::kBuy;
    TradeRequest tight = request(trade::kModify, static_cast<int16_t>(position.type), 10, 0, static_cast<int32_t>(position.ticket));
    tight.stop_loss = buy ? now.bid - kPoint : now.ask + kPoint;
    tight.take_profit = buy ? now.bid + kPoint : now.ask - kPoint;
    ASSERT_EQ(deal(tight).code, ReturnCode::Ok);
    ASSERT_TRUE(testing_support::eventually([&] {
        quotes_flow(1000);
        return !storage->trade(position.ticket) || storage->trade(position.ticket)->close_time != 0;
    })) << "stop loss or take profit is hit";
    const std::string comment = storage->trade(position.ticket)->comment;
    EXPECT_TRUE(comment == "[sl]" || comment == "[tp]") << comment;
}

TEST_F(Dealing, InvestorLoginsReadButCannotTrade) {
    ASSERT_TRUE(storage->set_passwords(1003, net::md5("secret3"), net::md5("look3")));
    auto reader = logged_in(1003, "look3", net::LoginMode::TradeChannel);
    TradeNotification refused = deal(request(trade::kInstantOrder, trade::kBuy, 10, eurusd().ask), reader.get());
    EXPECT_EQ(refused.code, ReturnCode::TradeDisabled);
    expect_in_step(*reader);
    EXPECT_TRUE(storage->open_trades(1003).empty());
}

TEST_F(Dealing, RequestsThatDontVerifyAreRefusedAndTheChannelClosed) {
    net::TradeRequestBytes bytes{};
    const TradeRequest buy = request(trade::kInstantOrder, trade::kBuy, 10, eurusd().ask);
    std::memcpy(bytes.data(), &buy, sizeof buy);
    net::OutputBuffer& out = channel->output();
    out.reset();
    net::append_trade_request(out, bytes, channel->login(), channel->server_build(), channel->server_identity());
    out.data()[1 + net::kTradeRequestCheckOffset] ^= 0x01;
    ASSERT_TRUE(channel->send_output());
    trade::FollowedRequest followed{trade::kInstantOrder, trade::RequestState::Ready, 0};
    EXPECT_EQ(follow(*channel, followed).code, ReturnCode::CommonError);
    channel->read_byte();
    EXPECT_FALSE(channel->is_open()) << "closed after the refusal";
    EXPECT_TRUE(storage->open_trades(1001).empty());

    auto main_door = logged_in(1003, "secret3");
    send(*main_door, buy);
    main_door->read_byte();
    EXPECT_FALSE(main_door->is_open()) << "trade requests belong on trade channels";
}

}  // namespace
}  // namespace kb::server
