// The whole trading path against demo-server over loopback TCP: a logged-in session feeds
// the symbols base and the trade base (quotes, command 155), requests go through the local
// check and the trade dispatcher's trade channel, in each of the server's execution modes.
// Outcomes are checked in the journal, in the trade base and against the server's own
// record of the account.
#include <cmath>
#include <optional>

#include "core/number_format.h"
#include "market/symbols_base.h"
#include "platform/files.h"
#include "server/deal_pricing.h"
#include "server/login_data_records.h"
#include "session/symbols_store.h"
#include "session/trade_dispatcher.h"
#include "session/trade_store.h"
#include "tests/integration/demo_session_fixture.h"
#include "tests/support/eurusd_request.h"
#include "trade/trade_base.h"
#include "trade/trade_base_requests.h"

namespace kb::integration {
namespace {

using net::ReturnCode;
using trade::TradeRecord;
using trade::TradeRequest;

constexpr double kPoint = 0.00001;   // EURUSD
constexpr int kEurusd = 0;           // its index in the server's instrument list

// The account as the server holds it: balance and credit from its database, equity and
// margin of the stored open trades at the price engine's current quotes, as the dealer
// computes them.
struct ServerAccount {
    double balance = 0;
    double equity = 0;
    double margin = 0;
    double free_margin = 0;
};

class TradingAgainstDemoServer : public DemoSessionTest {
protected:
    void SetUp() override {
        DemoSessionTest::SetUp();
        set_account(kAnn, kAnnPassword, trade_address());
        symbols_.set_usage_sources(&trades_, nullptr);
        session::SessionSinks sinks = stores_.sinks();
        sinks.symbols = &symbols_store_;
        sinks.trade = &trade_store_;
        sinks.channels = dispatcher_.get();
        start_session(sinks);
        ASSERT_TRUE(trade_state_is(net::ReturnCode::Ok));
        ASSERT_TRUE(eventually([&] { return trades_.account().login == kAnn; }));
        symbols_.select_all();
        quotes_flow();
        ASSERT_TRUE(prices_in_step());
    }

    // Quotes flow by moving the server's clock a second per step, far faster than the
    // session's keep-alives: a main connection dropped as idle in the middle of a test would
    // lose the transactions sent to it.
    server::SessionLimits server_limits() override { return {10000, 24 * 3600 * 1000, 5}; }

    // The session and the contexts stop before the bases they feed go.
    void TearDown() override {
        gate_.open();
        if (session_) session_->stop();
        session_.reset();
        dispatcher_.reset();
    }

    // Moves the server's time on; the price engine quotes it and the dealer checks it.
    void quotes_flow(uint32_t ms = 60000) {
        server_clock_.advance_ms(ms);
        server_->feed().pump();
    }
    server::InstrumentQuote eurusd() { return server_->feed().quote(kEurusd); }

    // The terminal shows the server's current EURUSD quote.
    bool prices_in_step() {
        return eventually([&] {
            const std::optional<market::SymbolPrices> prices = symbols_.prices("EURUSD");
            const server::InstrumentQuote quote = eurusd();
            return prices && prices->bid == quote.bid && prices->ask == quote.ask;
        });
    }

    void set_group(const std::string& key, const std::string& value) {
        ASSERT_TRUE(storage_->set_override({"group", "demo", key, value}));
        server_->settings().refresh();
    }

    // Switches the demo group's execution mode and waits until the terminal's symbol shows it.
    void set_execution(const std::string& mode, market::ExecutionMode shown) {
        set_group("execution", mode);
        // The server passes settings changes on at its next look for messages.
        ASSERT_TRUE(run_clocks_until([&] {
            const std::optional<market::SymbolRecord> symbol = symbols_.symbol_by_name("EURUSD");
            return symbol && symbol->execution_mode == shown;
        })) << mode;
    }

    static TradeRequest request(uint8_t kind, int16_t type, int volume, double price, int32_t ticket = 0) {
        return testing::eurusd_request(kind, type, volume, price, ticket, 5);
    }

    // As the order window does: the local check, then the dispatcher; the request's final
    // code (the local check's when it refuses), nothing when it never ended.
    std::optional<ReturnCode> deal(TradeRequest request) {
        if (const ReturnCode refused = trades_.test_request(request); refused != ReturnCode::Ok) return refused;
        session::test::RecordingNotifier window;
        if (dispatcher_->submit(request, &window) != ReturnCode::Ok) return std::nullopt;
        std::optional<ReturnCode> code;
        const bool ended = eventually([&] {
            for (auto [posted, value] : window.posted())
                if (posted == core::Notification::TradeResult && value != 142 && value != 143)
                    code = static_cast<ReturnCode>(value);
            return code && !dispatcher_->context(0)->busy();
        });
        return ended ? code : std::nullopt;
    }
    TradeRecord result() {
        TradeRecord record{};
        dispatcher_->result(0, record);
        return record;
    }

    // Waits until the trade base holds exactly the server's open trades, each as stored.
    bool open_trades_agree() {
        return eventually([&] {
            const std::vector<server::TradeRow> stored = storage_->open_trades(kAnn);
            if (stored.size() != trades_.open_trade_count()) return false;
            for (const server::TradeRow& row : stored) {
                const std::optional<TradeRecord> held = trades_.open_trade_by_ticket(static_cast<int32_t>(row.ticket));
                if (!held || held->volume != row.volume || held->stop_loss != row.stop_loss ||
                    held->open_price != row.open_price || held->type != static_cast<int32_t>(row.type))
                    return false;
            }
            return true;
        });
    }

    ServerAccount server_account() {
        const std::shared_ptr<const server::ServerConfig> config = server_->settings().current();
        const server::AccountRow row = *storage_->account(kAnn);
        const server::GroupConfig& group = server::account_group(*config, row.group);
        const server::AccountMoney money = server::account_money(
            row, storage_->open_trades(kAnn), group, *config, server::feed_quotes(server_->feed(), *config));
        return {money.balance, money.equity, money.margin, money.free_margin};
    }

    // The terminal shows the server's current quote of each of the symbols.
    bool in_step(const std::vector<std::string>& symbols) {
        return eventually([&] {
            const std::shared_ptr<const server::ServerConfig> config = server_->settings().current();
            for (const std::string& symbol : symbols) {
                const server::InstrumentConfig* instrument = config->find_instrument(symbol);
                if (!instrument) return false;
                const server::InstrumentQuote quote =
                    server_->feed().quote(static_cast<int>(instrument - config->instruments.data()));
                const std::optional<market::SymbolPrices> prices = symbols_.prices(symbol);
                if (!prices || prices->bid != quote.bid || prices->ask != quote.ask) {
                    out_of_step_ = symbol + " " + std::to_string(quote.bid) + " " + std::to_string(quote.time) + " / " +
                                   (prices ? std::to_string(prices->bid) : std::string("none"));
                    return false;
                }
            }
            return true;
        });
    }

    // The account summary the trade screen shows agrees with the server's record, once the
    // terminal holds the same trades and prices: both apply the same rules to the same
    // records, so to the cent.
    void expect_summary_matches_server() {
        ASSERT_TRUE(open_trades_agree());
        ASSERT_TRUE(in_step(valued_symbols_)) << out_of_step_;
        ASSERT_TRUE(eventually([&] { return trades_.summary().balance == server_account().balance; }))
            << trades_.summary().balance << " against " << server_account().balance;
        trades_.revalue();
        const trade::AccountSummary summary = trades_.recompute();
        const ServerAccount held = server_account();
        EXPECT_NEAR(summary.equity, held.equity, 0.005);
        EXPECT_NEAR(summary.margin, held.margin, 0.005);
        EXPECT_NEAR(summary.free_margin, held.free_margin, 0.005);
    }

    // The symbols the account's money depends on: its trades' and the pairs converting them.
    std::vector<std::string> valued_symbols_ = {"EURUSD"};
    std::string out_of_step_;   // the symbol in_step waited for last, with both prices

    std::string price(double value) { return core::price_text(value, 5); }
    std::string ticket(const TradeRecord& record) { return std::to_string(record.ticket); }
    // A journal message, without its time prefix, was written.
    bool journaled(const std::string& message) {
        for (const std::string& line : lines())
            if (line.size() > 9 && line.compare(9, std::string::npos, message) == 0) return true;
        return false;
    }

    market::SymbolsBase symbols_{folder_.path(), "Loopback-Data", &journal_, nullptr};
    trade::TradeBase trades_{&symbols_, &journal_, &notifier_, clock_};
    session::SymbolsStore symbols_store_{symbols_};
    session::TradeStore trade_store_{trades_, clock_};
    trade::TradeBaseRequests requests_{trades_, &symbols_};
    std::unique_ptr<session::TradeDispatcher> dispatcher_ = std::make_unique<session::TradeDispatcher>(
        session::TradeContextEnvironment{.clock = clock_,
                                         .stream_clock = platform::system_clock(),
                                         .journal = journal_,
                                         .config = config_,
                                         .servers = servers_,
                                         .trade = &requests_});
};

TEST_F(TradingAgainstDemoServer, InstantExecutionOpensModifiesClosesInPartClosesByAndDeletes) {
    expect_summary_matches_server();
    const double ask = eurusd().ask;
    ASSERT_EQ(deal(request(trade::kInstantOrder, trade::kBuy, 30, ask)), ReturnCode::Ok);
    const TradeRecord buy = result();
    EXPECT_TRUE(journaled("'1001': instant order buy 0.30 EURUSD at " + price(ask) + " sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': order was opened : #" + ticket(buy) + " buy 0.30 EURUSD at " + price(buy.open_price) +
                          " sl: 0.00000 tp: 0.00000"));
    expect_summary_matches_server();

    TradeRequest modify = request(trade::kModify, trade::kBuy, 30, 0, buy.ticket);
    modify.stop_loss = core::normalize(buy.open_price - 0.01, 5);
    ASSERT_EQ(deal(modify), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': modify order #" + ticket(buy) + " buy 0.30 EURUSD at " + price(buy.open_price) +
                          " sl: 0.00000 tp: 0.00000 -> sl: " + price(modify.stop_loss) + " tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': order #" + ticket(buy) + " buy 0.30 EURUSD at " + price(buy.open_price) +
                          " was modified -> sl: " + price(modify.stop_loss) + " tp: 0.00000"));
    ASSERT_TRUE(open_trades_agree());

    quotes_flow(1000);
    ASSERT_TRUE(prices_in_step());
    const double bid = eurusd().bid;
    ASSERT_EQ(deal(request(trade::kInstantClose, trade::kBuy, 10, bid, buy.ticket)), ReturnCode::Ok);
    const TradeRecord closed = result();
    EXPECT_EQ(int32_t{closed.volume}, 10);
    EXPECT_TRUE(journaled("'1001': close order #" + ticket(buy) + " buy 0.10 EURUSD at " + price(buy.open_price) +
                          " sl: " + price(modify.stop_loss) + " tp: 0.00000 at price " + price(bid)));
    EXPECT_TRUE(journaled("'1001': order #" + ticket(buy) + " buy 0.10 EURUSD at " + price(buy.open_price) +
                          " sl: " + price(modify.stop_loss) + " tp: 0.00000 closed at price " + price(closed.close_price)));
    expect_summary_matches_server();
    ASSERT_EQ(trades_.open_trade_count(), 1u) << "the closed part went, the rest came back";
    const TradeRecord rest = trades_.open_trades()[0];
    EXPECT_EQ(int32_t{rest.volume}, 20);
    EXPECT_TRUE(eventually([&] {
        for (const TradeRecord& record : trades_.history())
            if (record.ticket == buy.ticket && record.volume == 10) return true;
        return false;
    })) << "the closed part is in the history";

    ASSERT_EQ(deal(request(trade::kInstantOrder, trade::kSell, 20, eurusd().bid)), ReturnCode::Ok);
    const TradeRecord sell = result();
    ASSERT_TRUE(open_trades_agree());
    TradeRequest by = request(trade::kCloseBy, trade::kBuy, 0, 0, rest.ticket);
    by.opposite_ticket = sell.ticket;
    ASSERT_EQ(deal(by), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': order #" + ticket(rest) + " was closed by #" + ticket(sell)));
    expect_summary_matches_server();
    EXPECT_EQ(trades_.open_trade_count(), 0u);

    const double limit_price = core::normalize(eurusd().ask - 0.01, 5);
    ASSERT_EQ(deal(request(trade::kPendingOrder, trade::kBuyLimit, 10, limit_price)), ReturnCode::Ok);
    const TradeRecord pending = result();
    EXPECT_TRUE(journaled("'1001': pending order buy limit 0.10 EURUSD at " + price(limit_price) +
                          " sl: 0.00000 tp: 0.00000"));
    ASSERT_TRUE(open_trades_agree());
    const size_t history_before = trades_.history_count();
    ASSERT_EQ(deal(request(trade::kDelete, trade::kBuyLimit, 10, 0, pending.ticket)), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': delete pending order #" + ticket(pending) + " buy limit 0.10 EURUSD at " +
                          price(limit_price) + " sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': pending order #" + ticket(pending) + " was deleted"));
    expect_summary_matches_server();
    EXPECT_EQ(trades_.history_count(), history_before) << "a deleted pending order is no closed trade";
}

TEST_F(TradingAgainstDemoServer, ExecutionByRequestAsksForPricesThenDealsAtThem) {
    set_execution("request", market::ExecutionMode::Request);
    ASSERT_TRUE(prices_in_step());

    // The local check knows the mode: an instant order is refused before anything is sent.
    EXPECT_EQ(deal(request(trade::kInstantOrder, trade::kBuy, 10, eurusd().ask)), ReturnCode::InvalidParameters);

    ASSERT_EQ(deal(request(trade::kPriceRequest, trade::kBuy, 20, 0)), ReturnCode::Ok);
    const auto [bid, ask] = dispatcher_->context(0)->last_prices();
    EXPECT_DOUBLE_EQ(ask, eurusd().ask);
    EXPECT_TRUE(journaled("'1001': request 0.20 EURUSD"));
    EXPECT_TRUE(journaled("'1001': answer 0.20 EURUSD " + price(bid) + " / " + price(ask) + " "));

    ASSERT_EQ(deal(request(trade::kOrderByRequest, trade::kBuy, 20, ask)), ReturnCode::Ok);
    const TradeRecord buy = result();
    EXPECT_DOUBLE_EQ(double{buy.open_price}, ask);
    EXPECT_TRUE(journaled("'1001': order by request buy 0.20 EURUSD at " + price(ask) + " sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': order was opened : #" + ticket(buy) + " buy 0.20 EURUSD at " + price(ask) +
                          " sl: 0.00000 tp: 0.00000"));
    expect_summary_matches_server();

    ASSERT_EQ(deal(request(trade::kPriceRequest, trade::kSell, 5, 0)), ReturnCode::Ok);
    const double close_at = dispatcher_->context(0)->last_prices().first;
    ASSERT_EQ(deal(request(trade::kCloseByRequest, trade::kBuy, 5, close_at, buy.ticket)), ReturnCode::Ok);
    EXPECT_TRUE(journaled("'1001': order #" + ticket(buy) + " buy 0.05 EURUSD at " + price(ask) +
                          " sl: 0.00000 tp: 0.00000 closed at price " + price(close_at)));
    expect_summary_matches_server();
    EXPECT_EQ(int32_t{trades_.open_trades().at(0).volume}, 15);
}

TEST_F(TradingAgainstDemoServer, MarketExecutionFillsAtTheMarket) {
    set_execution("market", market::ExecutionMode::Market);
    ASSERT_TRUE(prices_in_step());

    ASSERT_EQ(deal(request(trade::kMarketOrder, trade::kSell, 40, 0)), ReturnCode::Ok);
    const TradeRecord sell = result();
    EXPECT_DOUBLE_EQ(double{sell.open_price}, eurusd().bid);
    EXPECT_TRUE(journaled("'1001': order sell market 0.40 EURUSD sl: 0.00000 tp: 0.00000"));
    EXPECT_TRUE(journaled("'1001': order was opened : #" + ticket(sell) + " sell 0.40 EURUSD at " +
                          price(sell.open_price) + " sl: 0.00000 tp: 0.00000"));
    expect_summary_matches_server();

    quotes_flow(1000);
    ASSERT_TRUE(prices_in_step());
    ASSERT_EQ(deal(request(trade::kMarketClose, trade::kSell, 40, 0, sell.ticket)), ReturnCode::Ok);
    EXPECT_DOUBLE_EQ(double{result().close_price}, eurusd().ask);
    EXPECT_TRUE(journaled("'1001': order #" + ticket(sell) + " sell 0.40 EURUSD at " + price(sell.open_price) +
                          " sl: 0.00000 tp: 0.00000 closed at price " + price(eurusd().ask)));
    expect_summary_matches_server();
    EXPECT_EQ(trades_.open_trade_count(), 0u);
}

TEST_F(TradingAgainstDemoServer, ARequoteIsRefusedOnceAndTakenAtTheOfferedPrice) {
    set_group("requote_rate", "1");
    const double asked = eurusd().ask;
    TradeRequest buy = request(trade::kInstantOrder, trade::kBuy, 10, asked);
    ASSERT_EQ(deal(buy), ReturnCode::Requote);
    const auto [bid, ask] = dispatcher_->context(0)->last_prices();
    EXPECT_TRUE(journaled("'1001': requote " + price(bid) + " / " + price(ask) + " for open buy 0.10 EURUSD at " +
                          price(asked) + " sl: 0.00000 tp: 0.00000"));
    const std::vector<trade::Requote> requotes = trades_.requotes();
    ASSERT_EQ(requotes.size(), 1u);
    EXPECT_DOUBLE_EQ(requotes[0].ask, ask);
    // The user says no: nothing opens on either side.
    EXPECT_TRUE(storage_->open_trades(kAnn).empty());
    expect_summary_matches_server();

    // The user takes the offered price; the dealer now fills within the deviation.
    set_group("requote_rate", "0");
    buy.price = requotes[0].ask;
    ASSERT_EQ(deal(buy), ReturnCode::Ok);
    EXPECT_DOUBLE_EQ(double{result().open_price}, ask);
    expect_summary_matches_server();
}

TEST_F(TradingAgainstDemoServer, APendingOrderTriggersAndItsStopLossIsHitThroughTheMainConnection) {
    const server::InstrumentQuote quote = eurusd();
    const double stop_price = core::normalize(quote.ask + kPoint, 5);
    ASSERT_EQ(deal(request(trade::kPendingOrder, trade::kBuyStop, 10, stop_price)), ReturnCode::Ok);
    const TradeRecord pending = result();
    ASSERT_TRUE(open_trades_agree());

    // The price engine reaches it; the trade base learns of it from command 155 only.
    std::optional<TradeRecord> position;
    ASSERT_TRUE(eventually([&] {
        quotes_flow(1000);
        position = trades_.open_trade_by_ticket(pending.ticket);
        return position && position->type == trade::kBuy;
    })) << "the buy stop is reached";
    EXPECT_GE(double{position->open_price}, stop_price);
    expect_summary_matches_server();

    const market::SymbolPrices now = *symbols_.prices("EURUSD");
    TradeRequest tight = request(trade::kModify, trade::kBuy, 10, 0, position->ticket);
    tight.stop_loss = core::normalize(now.bid - kPoint, 5);
    ASSERT_EQ(deal(tight), ReturnCode::Ok);

    ASSERT_TRUE(eventually([&] {
        quotes_flow(1000);
        return !trades_.open_trade_by_ticket(position->ticket);
    })) << "the stop loss is hit";
    std::optional<TradeRecord> closed;
    ASSERT_TRUE(eventually([&] {
        for (const TradeRecord& record : trades_.history())
            if (record.ticket == position->ticket) closed = record;
        return closed.has_value();
    }));
    EXPECT_STREQ(closed->comment, "[sl]");
    // The dealer closes at the market price that reached the stop.
    EXPECT_LE(double{closed->close_price}, double{tight.stop_loss});
    EXPECT_DOUBLE_EQ(double{closed->close_price}, storage_->trade(position->ticket)->close_price);
    expect_summary_matches_server();
}

// The configuration demo-server starts with by default, the one the run command's demo
// account trades on: its metals, indices and crosses, each converted to the account's USD.
class TradingOnTheDefaultConfiguration : public TradingAgainstDemoServer {
protected:
    std::string server_config_text() override {
        const std::optional<std::vector<uint8_t>> bytes = platform::read_file(KB_DEFAULT_SERVER_CONFIG);
        EXPECT_TRUE(bytes) << KB_DEFAULT_SERVER_CONFIG;
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }

    // An instant buy of volume at the current ask, again after a requote (the default
    // groups requote now and then).
    std::optional<ReturnCode> buy(const std::string& symbol, int volume) {
        const std::shared_ptr<const server::ServerConfig> config = server_->settings().current();
        const server::InstrumentConfig* instrument = config->find_instrument(symbol);
        if (!instrument) return std::nullopt;
        const int index = static_cast<int>(instrument - config->instruments.data());
        std::optional<ReturnCode> code;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (!in_step({symbol})) return std::nullopt;
            TradeRequest order{};
            order.kind = trade::kInstantOrder;
            order.order_type = trade::kBuy;
            core::set_field_text(order.symbol, symbol);
            order.volume = volume;
            order.price = server_->feed().quote(index).ask;
            order.deviation = 5;
            code = deal(order);
            if (code != ReturnCode::Requote) return code;
        }
        return code;
    }
};

TEST_F(TradingOnTheDefaultConfiguration, GoldSilverAnIndexAndAJpyCrossHoldTheServersMargin) {
    valued_symbols_ = {"XAUUSD", "XAGUSD", "DE40", "EURUSD", "GBPJPY", "GBPUSD", "USDJPY"};
    // The indices sort after the symbols a full Market Watch shows: the order window selects them.
    for (const std::string& symbol : valued_symbols_) symbols_.select(symbol, market::Shown::Yes, market::Save::No);
    quotes_flow(1000);
    expect_summary_matches_server();
    ASSERT_EQ(buy("XAUUSD", 1), ReturnCode::Ok) << "0.01 lot of gold on the demo account";
    const TradeRecord gold = result();
    expect_summary_matches_server();
    // 0.01 lot × 100 oz × the price, over the account's leverage of 200, in USD already.
    EXPECT_NEAR(trades_.summary().margin, 0.01 * 100 * gold.open_price / 200, 1e-9);
    EXPECT_DOUBLE_EQ(gold.margin_rate, 1);
    const ServerAccount held = server_account();
    RecordProperty("terminal_margin", std::to_string(trades_.summary().margin));
    RecordProperty("terminal_free_margin", std::to_string(trades_.summary().free_margin));
    RecordProperty("server_margin", std::to_string(held.margin));
    RecordProperty("server_free_margin", std::to_string(held.free_margin));

    for (const char* symbol : {"XAGUSD", "DE40", "GBPJPY"}) {
        ASSERT_EQ(buy(symbol, 1), ReturnCode::Ok) << symbol;
        expect_summary_matches_server();
    }
    const std::vector<TradeRecord> open = trades_.open_trades();
    auto rate_of = [&](const char* symbol) {
        for (const TradeRecord& record : open)
            if (std::string(record.symbol) == symbol) return record.margin_rate;
        return 0.0;
    };
    // DE40 holds euros (EURUSD about 1.09), GBPJPY pounds (GBPUSD about 1.27).
    EXPECT_NEAR(rate_of("DE40"), 1.0855, 0.05);
    EXPECT_NEAR(rate_of("GBPJPY"), 1.268, 0.05);
    EXPECT_LT(trades_.summary().margin, 100) << "four small positions hold little margin";
}

}  // namespace
}  // namespace kb::integration
