// The terminal's trade context against demo-server over loopback TCP: each request kind
// through the real trade channel login, signing and notifications, checked against the
// server's own record of the account.
#include <map>
#include <optional>

#include "core/number_format.h"
#include "session/trade_context.h"
#include "tests/integration/demo_session_fixture.h"
#include "tests/support/eurusd_request.h"
#include "trade/request_sink.h"

namespace kb::integration {
namespace {

using net::ReturnCode;
using trade::TradeRecord;
using trade::TradeRequest;

// The trade base as a trade context sees it: the open trades the transactions leave.
class OpenTrades final : public trade::RequestSink {
public:
    void apply_transactions(std::span<const trade::TradeTransaction> transactions) override {
        std::lock_guard guard(lock_);
        for (const trade::TradeTransaction& transaction : transactions) {
            const TradeRecord& record = transaction.trade;
            if (transaction.type == trade::kTransactionDelete)
                trades_.erase(record.ticket);
            else
                trades_[record.ticket] = record;
            balance_ = transaction.type == trade::kTransactionDelete && record.close_time ? transaction.balance : balance_;
        }
    }
    void add_requote(const TradeRequest&, double, double) override {}
    std::optional<TradeRecord> trade_by_ticket(int32_t ticket) override {
        std::lock_guard guard(lock_);
        auto found = trades_.find(ticket);
        return found == trades_.end() ? std::nullopt : std::optional<TradeRecord>(found->second);
    }
    int symbol_digits(std::string_view) override { return 5; }

    std::map<int32_t, TradeRecord> trades() {
        std::lock_guard guard(lock_);
        return trades_;
    }
    double balance() {
        std::lock_guard guard(lock_);
        return balance_;
    }

private:
    std::mutex lock_;
    std::map<int32_t, TradeRecord> trades_;
    double balance_ = 0;
};

class TradeContextAgainstDemoServer : public DemoSessionTest {
protected:
    void SetUp() override {
        DemoSessionTest::SetUp();
        set_account(kAnn, kAnnPassword, trade_address());
        quotes_flow();
        context_ = std::make_unique<session::TradeContext>(session::TradeContextEnvironment{
            .clock = clock_,
            .stream_clock = platform::system_clock(),
            .journal = journal_,
            .config = config_,
            .servers = servers_,
            .trade = &trades_});
    }
    void TearDown() override { context_.reset(); }

    void quotes_flow() {
        server_clock_.advance_ms(60000);
        server_->feed().pump();
    }
    server::InstrumentQuote eurusd() { return server_->feed().quote(0); }

    static TradeRequest request(uint8_t kind, int16_t type, int volume, double price, int32_t ticket = 0) {
        return testing::eurusd_request(kind, type, volume, price, ticket, 5);
    }

    // Submits and waits for the request's end; its code, nothing when it never ended.
    std::optional<ReturnCode> deal(const TradeRequest& request) {
        session::test::RecordingNotifier requester;
        if (context_->submit(request, &requester) != ReturnCode::Ok) return std::nullopt;
        std::optional<ReturnCode> code;
        const bool ended = eventually([&] {
            for (auto [posted, value] : requester.posted())
                if (posted == core::Notification::TradeResult && value != 142 && value != 143)
                    code = static_cast<ReturnCode>(value);
            return code && !context_->busy();
        });
        return ended ? code : std::nullopt;
    }

    std::string price(double value) { return core::price_text(value, 5); }
    // A journal message, without its time prefix, was written.
    bool journaled(const std::string& message) {
        for (const std::string& line : lines())
            if (line.size() > 9 && line.substr(9) == message) return true;
        return false;
    }

    OpenTrades trades_;
    // Outlives the context, which may post to it until it is stopped.
    session::test::RecordingNotifier requester_;
    std::unique_ptr<session::TradeContext> context_;
};

TEST_F(TradeContextAgainstDemoServer, OpenModifyPartlyCloseCloseByAndDelete) {
    const double ask = eurusd().ask;
    ASSERT_EQ(deal(request(trade::kInstantOrder, trade::kBuy, 30, ask)), ReturnCode::Ok);
    const TradeRecord buy = context_->result();
    ASSERT_NE(buy.ticket, 0);
    EXPECT_TRUE(journaled("'1001': instant order buy 0.30 EURUSD at " + price(ask) + " sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': order was opened : #" + std::to_string(buy.ticket) + " buy 0.30 EURUSD at " +
                          price(buy.open_price) + " sl: 0.00000 tp: 0.00000"));

    TradeRequest modify = request(trade::kModify, trade::kBuy, 30, 0, buy.ticket);
    modify.stop_loss = core::normalize(buy.open_price - 0.01, 5);
    ASSERT_EQ(deal(modify), ReturnCode::Ok);
    EXPECT_DOUBLE_EQ(trades_.trades().at(buy.ticket).stop_loss, modify.stop_loss);
    EXPECT_TRUE(journaled("'1001': order #" + std::to_string(buy.ticket) + " buy 0.30 EURUSD at " +
                          price(buy.open_price) + " was modified -> sl: " + price(modify.stop_loss) + " tp: 0.00000"));

    ASSERT_EQ(deal(request(trade::kInstantClose, trade::kBuy, 10, eurusd().bid, buy.ticket)), ReturnCode::Ok);
    const std::map<int32_t, TradeRecord> after_close = trades_.trades();
    ASSERT_EQ(after_close.size(), 1u) << "the closed part went, the rest came back";
    const TradeRecord rest = after_close.begin()->second;
    EXPECT_EQ(rest.volume, 20);

    ASSERT_EQ(deal(request(trade::kInstantOrder, trade::kSell, 20, eurusd().bid)), ReturnCode::Ok);
    const TradeRecord sell = context_->result();
    TradeRequest by = request(trade::kCloseBy, trade::kBuy, 0, 0, rest.ticket);
    by.opposite_ticket = sell.ticket;
    ASSERT_EQ(deal(by), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': order #" + std::to_string(rest.ticket) + " was closed by #" +
                          std::to_string(sell.ticket)));
    EXPECT_TRUE(trades_.trades().empty());

    const double limit_price = core::normalize(eurusd().ask - 0.01, 5);
    ASSERT_EQ(deal(request(trade::kPendingOrder, trade::kBuyLimit, 10, limit_price)), ReturnCode::Ok);
    const TradeRecord pending = context_->result();
    ASSERT_EQ(deal(request(trade::kDelete, trade::kBuyLimit, 10, 0, pending.ticket)), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': pending order #" + std::to_string(pending.ticket) + " was deleted"));
    EXPECT_TRUE(trades_.trades().empty());

    // The server's record of the account agrees with what the transactions left.
    EXPECT_TRUE(storage_->open_trades(kAnn).empty());
    EXPECT_NEAR(trades_.balance(), storage_->account(kAnn)->balance, 0.005);
}

TEST_F(TradeContextAgainstDemoServer, ARefusedRequestEndsWithTheServersCode) {
    // More than the account's 5000 can carry at leverage 200.
    EXPECT_EQ(deal(request(trade::kInstantOrder, trade::kBuy, 10000, eurusd().ask)), ReturnCode::NotEnoughMoney);
    EXPECT_TRUE(journaled("'1001': order buy 100.00 EURUSD opening at " + price(eurusd().ask) +
                          " sl: 0.00000 tp: 0.00000 failed [Not enough money]"));
    EXPECT_TRUE(storage_->open_trades(kAnn).empty());
}

TEST_F(TradeContextAgainstDemoServer, ARequoteLeavesNothingOpenUntilItsPriceIsTaken) {
    const server::InstrumentQuote quote = eurusd();
    TradeRequest buy = request(trade::kInstantOrder, trade::kBuy, 10, core::normalize(quote.ask - 0.0002, 5));
    ASSERT_EQ(deal(buy), ReturnCode::Requote);
    const auto [bid, ask] = context_->last_prices();
    EXPECT_DOUBLE_EQ(ask, quote.ask);
    EXPECT_TRUE(journaled("'1001': requote " + price(bid) + " / " + price(ask) + " for open buy 0.10 EURUSD at " +
                          price(buy.price) + " sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(storage_->open_trades(kAnn).empty()) << "a refused requote opens nothing";

    buy.price = ask;
    ASSERT_EQ(deal(buy), ReturnCode::Ok);
    ASSERT_EQ(storage_->open_trades(kAnn).size(), 1u);
    EXPECT_DOUBLE_EQ(storage_->open_trades(kAnn)[0].open_price, ask);
}

// The server answers the channel's keep-alives while its dealer sits on a price request;
// the answers are no news of the request, so the watchdog still ends it a minute on.
TEST_F(TradeContextAgainstDemoServer, ADealerWhoSitsOnARequestIsTimedOutWhileKeepAlivesAreAnswered) {
    ASSERT_TRUE(storage_->set_override({"group", "demo", "execution", "request"}));
    ASSERT_TRUE(storage_->set_override({"group", "demo", "dealer_delay_ms", "60000"}));
    server_->settings().refresh();
    ASSERT_EQ(context_->submit(request(trade::kPriceRequest, trade::kBuy, 20, 0), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(eventually([&] { return context_->state() == trade::RequestState::InProcess; }));
    const uint32_t in_process = clock_.tick_ms();
    ASSERT_TRUE(eventually([&] {
        context_->watchdog();
        return !context_->busy();
    }));
    EXPECT_TRUE(requester_.contains(core::Notification::TradeResult, 128));
    EXPECT_LE(clock_.tick_ms() - in_process, session::kTradeActivityMs + session::kTradePingMs);
    EXPECT_TRUE(journaled("'1001': request failed [Trade timeout]"));
}

}  // namespace
}  // namespace kb::integration
