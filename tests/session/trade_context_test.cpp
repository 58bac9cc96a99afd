#include "session/trade_context.h"

#include <gtest/gtest.h>

#include <map>

#include "net/trade_request_signing.h"
#include "session/trade_dispatcher.h"
#include "session_fixture.h"
#include "trade/request_sink.h"

namespace kb::session::test {
namespace {

using kb::testing::FakeServer;
using net::ReturnCode;
using trade::RequestState;
using trade::TradeRecord;
using trade::TradeRequest;

constexpr int kAccepted = 142;
constexpr int kInProcess = 143;

// The trade base as a trade context sees it: known trades, and what arrives.
class RecordingRequestSink final : public trade::RequestSink {
public:
    void apply_transactions(std::span<const trade::TradeTransaction> transactions) override {
        std::lock_guard guard(lock_);
        applied_.insert(applied_.end(), transactions.begin(), transactions.end());
    }
    void add_requote(const TradeRequest&, double bid, double ask) override {
        std::lock_guard guard(lock_);
        requotes_.emplace_back(bid, ask);
    }
    std::optional<TradeRecord> trade_by_ticket(int32_t ticket) override {
        std::lock_guard guard(lock_);
        auto found = trades_.find(ticket);
        if (found == trades_.end()) return std::nullopt;
        return found->second;
    }
    int symbol_digits(std::string_view) override { return 5; }

    void hold(const TradeRecord& record) {
        std::lock_guard guard(lock_);
        trades_[record.ticket] = record;
    }
    std::vector<trade::TradeTransaction> applied() {
        std::lock_guard guard(lock_);
        return applied_;
    }
    std::vector<std::pair<double, double>> requotes() {
        std::lock_guard guard(lock_);
        return requotes_;
    }

private:
    std::mutex lock_;
    std::map<int32_t, TradeRecord> trades_;
    std::vector<trade::TradeTransaction> applied_;
    std::vector<std::pair<double, double>> requotes_;
};

TradeRecord position(int32_t ticket, int type, int32_t volume) {
    TradeRecord record{};
    record.ticket = ticket;
    record.login = kLogin;
    core::set_field_text(record.symbol, "EURUSD");
    record.digits = 5;
    record.type = type;
    record.volume = volume;
    record.open_price = 1.10020;
    record.stop_loss = 1.09;
    record.close_price = 1.10000;
    return record;
}

TradeRequest instant_buy() {
    TradeRequest request{};
    request.kind = trade::kInstantOrder;
    request.order_type = trade::kBuy;
    core::set_field_text(request.symbol, "EURUSD");
    request.volume = 100;
    request.price = 1.10020;
    request.stop_loss = 1.09;
    request.deviation = 3;
    return request;
}

// Command 190 with the request as the terminal sends it to this fake server.
Bytes request_packet(const TradeRequest& request) {
    net::TradeRequestBytes bytes;
    std::memcpy(bytes.data(), &request, bytes.size());
    net::OutputBuffer out;
    net::append_trade_request(out, bytes, kLogin, kServerBuild, kServerIdentity);
    return Bytes(out.data(), out.data() + out.size());
}

Bytes notification(int32_t id, uint8_t kind, uint8_t code) { return Bytes{190} + le32(id) + Bytes{kind, code}; }

Bytes records_block(const std::vector<TradeRecord>& records) {
    Bytes plain(records.size() * sizeof(TradeRecord));
    if (!records.empty()) std::memcpy(plain.data(), records.data(), plain.size());
    return compressed(plain);
}

Bytes two_doubles(double a, double b) { return bytes_of(a) + bytes_of(b); }

void add_channel_login(FakeServer& server) {
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeChannel, kPassword);
    const net::LoginPacketBytes packet = net::build_login_packet(kLogin, key, net::LoginMode::TradeChannel);
    server.expect_raw(Bytes(packet.begin(), packet.end())).use_key(key);
    server.send(Bytes{0, 0} + le16(kServerBuild) + le32(kServerIdentity));
}

class TradeContextTest : public SessionFixture {
protected:
    TradeContext& context() {
        if (!context_)
            context_ = std::make_unique<TradeContext>(
                TradeContextEnvironment{.clock = clock_,
                                        .stream_clock = platform::system_clock(),
                                        .journal = journal_,
                                        .config = config_,
                                        .servers = servers_,
                                        .trade = &sink_});
        return *context_;
    }
    ~TradeContextTest() override { context_.reset(); }

    void connect_to(FakeServer& server) {
        set_account(kLogin, kPassword, server.address());
        server.start();
    }
    bool finished_with(int code) { return finished_with(requester_, code); }
    bool finished_with(RecordingNotifier& requester, int code) {
        return eventually([&] { return requester.contains(core::Notification::TradeResult, code) && !context().busy(); });
    }
    // The journal's messages without their time prefix.
    std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (const std::string& line : lines()) out.push_back(line.substr(9));
        return out;
    }
    bool journaled(const std::string& message) {
        for (const std::string& line : messages())
            if (line == message) return true;
        return false;
    }

    RecordingRequestSink sink_;
    RecordingNotifier requester_;
    RecordingNotifier next_requester_;
    RecordingNotifier canceller_;
    std::unique_ptr<TradeContext> context_;
};

TEST_F(TradeContextTest, InstantOrderIsAcceptedProcessedAndOpened) {
    FakeServer server;
    const TradeRecord opened = position(555, trade::kBuy, 100);
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(31, trade::kInstantOrder, kAccepted))
        .send(notification(31, trade::kInstantOrder, kInProcess))
        .send(notification(31, trade::kInstantOrder, 0) + records_block({opened}));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(0));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();

    using core::Notification;
    EXPECT_EQ(requester_.posted(), (std::vector<std::pair<Notification, intptr_t>>{{Notification::TradeResult, kAccepted},
                                                                                 {Notification::TradeResult, kInProcess},
                                                                                 {Notification::TradeResult, 0}}));
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "'1234': instant order buy 1.00 EURUSD at 1.10020 sl: 1.09000 tp: 0.00000",
                              "'1234': request was accepted by server",
                              "'1234': request in process",
                              "'1234': order was opened : #555 buy 1.00 EURUSD at 1.10020 sl: 1.09000 tp: 0.00000"}));
    ASSERT_EQ(sink_.applied().size(), 1u);
    EXPECT_EQ(sink_.applied()[0].type, trade::kTransactionAdd);
    EXPECT_EQ(sink_.applied()[0].trade.ticket, 555);
    EXPECT_EQ(context().result().ticket, 555);
    EXPECT_EQ(context().state(), RequestState::Ready);
}

TEST_F(TradeContextTest, SecondSubmitWhileBusyReturns146AndSendsNothing) {
    FakeServer server;
    add_channel_login(server);
    TradeRequest second = instant_buy();
    second.volume = 200;
    // The keep-alive while idle must be the next byte: a second request would come first.
    server.expect(request_packet(instant_buy()))
        .stall(5000)
        .send(notification(4, trade::kInstantOrder, 134))
        .expect({2});
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(server.wait_for_steps(3));
    EXPECT_EQ(context().submit(second, &requester_), ReturnCode::TradeContextBusy);
    server.release();
    ASSERT_TRUE(finished_with(134));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_TRUE(journaled("'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Not enough money]"));
}

TEST_F(TradeContextTest, CancelBeforeAcceptanceEndsLocallyAndCloses) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy())).stall(5000);
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(server.wait_for_steps(3));
    context().cancel(&canceller_);
    ASSERT_TRUE(finished_with(144));
    server.release();
    server.finish();
    EXPECT_TRUE(canceller_.contains(core::Notification::CancelResult, 0));
    EXPECT_EQ(context().state(), RequestState::Ready);
    EXPECT_FALSE(context().busy());
}

TEST_F(TradeContextTest, CancelAfterAcceptanceSendsTheRequestIdAndFollowsTheServer) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(9, trade::kInstantOrder, kAccepted))
        .stall(5000)
        .expect(Bytes{191} + le32(9))
        .send(Bytes{191} + le32(9) + Bytes{0})
        .send(notification(9, trade::kInstantOrder, 144));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(eventually([&] { return context().state() == RequestState::Accepted; }));
    context().cancel(&canceller_);
    server.release();
    ASSERT_TRUE(finished_with(144));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
    // Once for the cancel that was sent, once for the server's answer.
    EXPECT_EQ(canceller_.posted(), (std::vector<std::pair<core::Notification, intptr_t>>{
                                       {core::Notification::CancelResult, 0}, {core::Notification::CancelResult, 0}}));
    EXPECT_TRUE(journaled(
        "'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Request canceled by client]"));
}

TEST_F(TradeContextTest, CancelWhileInProcessIsRefusedAsLocked) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(9, trade::kInstantOrder, kAccepted))
        .send(notification(9, trade::kInstantOrder, kInProcess))
        .stall(5000)
        .send(notification(9, trade::kInstantOrder, 0) + records_block({position(70, 0, 100)}));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(eventually([&] { return context().state() == RequestState::InProcess; }));
    context().cancel(&canceller_);
    ASSERT_TRUE(eventually([&] { return canceller_.contains(core::Notification::CancelResult, 139); }));
    server.release();
    ASSERT_TRUE(finished_with(0));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
}

// Each fault ends the request with code 2 and its line, and closes the connection.
TEST_F(TradeContextTest, FaultyNotificationsEndTheRequestWithCommonError) {
    struct Fault {
        const char* name;
        Bytes answer;
        const char* line;
    };
    const Fault faults[] = {
        {"wrong request id",
         notification(9, 64, kAccepted) + notification(10, 64, 0) + records_block({position(1, 0, 100)}),
         "TradeContext: wrong request id 10 instead of 9"},
        {"short record block", notification(9, 64, kAccepted) + notification(9, 64, 0) + compressed(Bytes(100, 1)),
         "TradeContext: ticket reading error"},
        {"empty record block", notification(9, 64, kAccepted) + notification(9, 64, 0) + le32(0),
         "TradeContext: ticket reading error"},
        {"accept in the wrong state", notification(9, 64, kAccepted) + notification(9, 64, kAccepted),
         "TradeContext: wrong 'accept' notification"},
        {"process without accept", notification(9, 64, kInProcess),
         "TradeContext: 'process' notification without 'accept' notification"},
        {"process with another id", notification(9, 64, kAccepted) + notification(8, 64, kInProcess),
         "TradeContext: wrong request id 8 instead of 9"},
        {"short requote prices", notification(0, 64, 138) + Bytes(8, 0), "TradeContext: prices reading error"},
        {"reject with another id", notification(9, 64, kAccepted) + Bytes{191} + le32(3) + Bytes{0},
         "TradeContext: 'reject' notification reading error"},
        {"unknown command", Bytes{77}, "TradeContext: unknown command 4D"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        FakeServer server;
        add_channel_login(server);
        server.expect(request_packet(instant_buy())).send(fault.answer);
        connect_to(server);
        RecordingNotifier requester;
        {
            std::lock_guard guard(lines_lock_);
            lines_.clear();
        }
        ASSERT_EQ(context().submit(instant_buy(), &requester), ReturnCode::Ok);
        ASSERT_TRUE(finished_with(requester, 2));
        server.finish();
        EXPECT_TRUE(journaled(fault.line));
        EXPECT_TRUE(journaled("'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Common error]"));
        EXPECT_EQ(context().state(), RequestState::Ready);
        context().stop();
    }
}

TEST_F(TradeContextTest, SilentServerWhileInProcessEndsWithTradeTimeout) {
    FakeServer server(20000);
    add_channel_login(server);
    server.pass_over(2)
        .expect(request_packet(instant_buy()))
        .send(notification(9, trade::kInstantOrder, kAccepted))
        .send(notification(9, trade::kInstantOrder, kInProcess))
        .stall(20000);
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(eventually([&] { return context().state() == RequestState::InProcess; }));
    ASSERT_TRUE(eventually([&] {
        context().watchdog();
        return requester_.contains(core::Notification::TradeResult, 128) && !context().busy();
    }));
    server.release();
    server.finish();
    EXPECT_TRUE(journaled("'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Trade timeout]"));
}

// Keep-alive answers are the channel's, not the request's: a dealer that keeps the request
// in process while the server answers every ping still lets the watchdog end it.
TEST_F(TradeContextTest, KeepAliveAnswersDontHoldOffTheWatchdog) {
    FakeServer server(20000);
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(9, trade::kInstantOrder, kAccepted))
        .send(notification(9, trade::kInstantOrder, kInProcess));
    for (int ping = 0; ping < 12; ++ping) server.expect({2}).send({2});
    server.stall(20000);
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(eventually([&] { return context().state() == RequestState::InProcess; }));
    const uint32_t in_process = clock_.tick_ms();
    ASSERT_TRUE(eventually([&] {
        context().watchdog();
        return !context().busy();
    }));
    const uint32_t ended = clock_.tick_ms();
    server.release();
    server.finish();
    EXPECT_TRUE(requester_.contains(core::Notification::TradeResult, 128));
    EXPECT_LE(ended - in_process, kTradeActivityMs + 5000) << "ended " << ended - in_process << " ms after 143";
    EXPECT_TRUE(journaled("'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [Trade timeout]"));
}

// The session resets the channels at every login; a request under way must still end for
// its requester, whatever its state, or the requester waits for ever.
TEST_F(TradeContextTest, ResetEndsTheRequestUnderWayForItsRequester) {
    struct Moment {
        const char* name;
        Bytes answer;         // what the server says before it stalls
        RequestState state;   // the state reached when the channels are reset
    };
    const Moment moments[] = {
        {"sent, not yet accepted", {}, RequestState::Ready},
        {"accepted", notification(9, trade::kInstantOrder, kAccepted), RequestState::Accepted},
        {"in process", notification(9, trade::kInstantOrder, kAccepted) + notification(9, trade::kInstantOrder, kInProcess),
         RequestState::InProcess},
    };
    for (const Moment& moment : moments) {
        SCOPED_TRACE(moment.name);
        FakeServer server;
        add_channel_login(server);
        server.expect(request_packet(instant_buy()));
        if (!moment.answer.empty()) server.send(moment.answer);
        server.stall(5000);
        connect_to(server);
        // Declared before the dispatcher, which may still post to them while it goes.
        RecordingNotifier requester;
        RecordingNotifier next;
        TradeDispatcher dispatcher(TradeContextEnvironment{.clock = clock_,
                                        .stream_clock = platform::system_clock(),
                                        .journal = journal_,
                                        .config = config_,
                                        .servers = servers_,
                                        .trade = &sink_});
        ASSERT_EQ(dispatcher.submit(instant_buy(), &requester), ReturnCode::Ok);
        ASSERT_TRUE(server.wait_for_steps(moment.answer.empty() ? 4 : 5));
        ASSERT_TRUE(eventually([&] { return dispatcher.context(0)->state() == moment.state; }));
        dispatcher.reset();
        server.release();
        server.finish();
        EXPECT_TRUE(requester.contains(core::Notification::TradeResult, 6));
        EXPECT_FALSE(dispatcher.context(0)->busy());
        EXPECT_EQ(dispatcher.submit(instant_buy(), &next), ReturnCode::Ok) << "the channel takes the next request";
    }
}

// A reject answered after its request ended waits unread in the idle channel; the next
// request must not take it for its own.
TEST_F(TradeContextTest, LateRejectInTheIdleChannelIsDroppedBeforeTheNextRequest) {
    FakeServer server;
    add_channel_login(server);
    TradeRequest second = instant_buy();
    second.volume = 200;
    server.pass_over(2)
        .expect(request_packet(instant_buy()))
        .send(notification(9, trade::kInstantOrder, kAccepted))
        .send(notification(9, trade::kInstantOrder, 0) + records_block({position(555, trade::kBuy, 100)}))
        .send(Bytes{191} + le32(9) + Bytes{2})
        .expect(request_packet(second))
        .send(notification(10, trade::kInstantOrder, kAccepted))
        .send(notification(10, trade::kInstantOrder, 0) + records_block({position(556, trade::kBuy, 200)}));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(0));
    ASSERT_TRUE(server.wait_for_steps(8));
    // Let the late reject reach the channel's socket.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(context().submit(second, &next_requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(next_requester_, 0));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_FALSE(next_requester_.contains(core::Notification::TradeResult, 2));
    EXPECT_EQ(context().result().ticket, 556);
}

TEST_F(TradeContextTest, ServerQuitWhileAcceptedEndsWithNoConnection) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy())).send(notification(9, 64, kAccepted)).send({13});
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(6));
    server.finish();
    EXPECT_TRUE(journaled("'1234': order buy 1.00 EURUSD opening at 1.10020 sl: 1.09000 tp: 0.00000 failed [No connection]"));
}

TEST_F(TradeContextTest, PartialCloseGivesTheClosedPartAndTheRemainder) {
    const TradeRecord held = position(70, trade::kBuy, 300);
    sink_.hold(held);
    TradeRecord closed = held;
    closed.volume = 100;
    closed.close_price = 1.10000;
    TradeRecord rest = held;
    rest.ticket = 71;
    rest.volume = 200;
    TradeRequest request{};
    request.kind = trade::kInstantClose;
    request.order_type = trade::kBuy;
    request.ticket = 70;
    core::set_field_text(request.symbol, "EURUSD");
    request.volume = 100;
    request.price = 1.10000;

    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(request))
        .send(notification(5, trade::kInstantClose, kAccepted))
        .send(notification(5, trade::kInstantClose, 0) + two_doubles(10500, 25) + records_block({closed, rest}));
    connect_to(server);
    ASSERT_EQ(context().submit(request, &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(0));
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();

    const std::vector<trade::TradeTransaction> applied = sink_.applied();
    ASSERT_EQ(applied.size(), 2u);
    EXPECT_EQ(applied[0].type, trade::kTransactionDelete);
    EXPECT_EQ(applied[0].trade.ticket, 70);
    EXPECT_EQ(applied[0].balance, 10500);
    EXPECT_EQ(applied[0].credit, 25);
    EXPECT_EQ(applied[1].type, trade::kTransactionAdd);
    EXPECT_EQ(applied[1].trade.ticket, 71);
    EXPECT_EQ(context().result().ticket, 70);
    EXPECT_TRUE(journaled("'1234': close order #70 buy 1.00 EURUSD at 1.10020 sl: 1.09000 tp: 0.00000 at price 1.10000"));
    EXPECT_TRUE(journaled("'1234': order #70 buy 1.00 EURUSD at 1.10020 sl: 1.09000 tp: 0.00000 closed at price 1.10000"));
}

TEST_F(TradeContextTest, DoneDataByRequestKind) {
    const TradeRecord first = position(80, trade::kBuy, 100);
    const TradeRecord second = position(81, trade::kSell, 100);
    const TradeRecord pending = position(82, trade::kBuyLimit, 100);
    sink_.hold(first);
    sink_.hold(second);
    sink_.hold(pending);
    TradeRecord modified = first;
    modified.stop_loss = 1.08;
    const TradeRecord remainder = position(83, trade::kSell, 50);

    struct Kind {
        const char* name;
        uint8_t kind;
        int32_t ticket, opposite;
        Bytes done;
        std::vector<std::pair<int32_t, int32_t>> transactions;   // type, ticket
        const char* line;
    };
    const Kind kinds[] = {
        {"price request", trade::kPriceRequest, 0, 0, two_doubles(1.1, 1.1003), {}, "'1234': answer 1.00 EURUSD 1.10000 / 1.10030 "},
        {"modify", trade::kModify, 80, 0, records_block({modified}), {{trade::kTransactionUpdate, 80}},
         "'1234': order #80 buy 1.00 EURUSD at 1.10020 was modified -> sl: 1.08000 tp: 0.00000"},
        {"delete", trade::kDelete, 82, 0, {}, {{trade::kTransactionDelete, 82}}, "'1234': pending order #82 was deleted"},
        {"close by with a remainder", trade::kCloseBy, 80, 81,
         two_doubles(9000, 0) + records_block({first, second, remainder}),
         {{trade::kTransactionDelete, 80}, {trade::kTransactionDelete, 81}, {trade::kTransactionAdd, 83}},
         "'1234': order #80 was closed by #81"},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        TradeRequest request{};
        request.kind = k.kind;
        request.ticket = k.ticket;
        request.opposite_ticket = k.opposite;
        core::set_field_text(request.symbol, "EURUSD");
        request.volume = 100;
        request.stop_loss = 1.08;
        const size_t before = sink_.applied().size();
        FakeServer server;
        add_channel_login(server);
        server.expect(request_packet(request))
            .send(notification(6, k.kind, kAccepted))
            .send(notification(6, k.kind, 0) + k.done);
        connect_to(server);
        RecordingNotifier requester;
        ASSERT_EQ(context().submit(request, &requester), ReturnCode::Ok);
        ASSERT_TRUE(finished_with(requester, 0));
        server.finish();
        EXPECT_TRUE(server.all_matched()) << server.report();
        EXPECT_TRUE(journaled(k.line));
        const std::vector<trade::TradeTransaction> applied = sink_.applied();
        ASSERT_EQ(applied.size() - before, k.transactions.size());
        for (size_t i = 0; i < k.transactions.size(); ++i) {
            EXPECT_EQ(applied[before + i].type, k.transactions[i].first);
            EXPECT_EQ(applied[before + i].trade.ticket, k.transactions[i].second);
        }
        context().stop();
    }
}

TEST_F(TradeContextTest, RequoteEndsTheRequestAndKeepsThePrices) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(9, 64, kAccepted))
        .send(notification(9, 64, 138) + two_doubles(1.1001, 1.1004));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(138));
    server.finish();
    EXPECT_EQ(context().last_prices(), std::make_pair(1.1001, 1.1004));
    EXPECT_EQ(sink_.requotes(), (std::vector<std::pair<double, double>>{{1.1001, 1.1004}}));
    EXPECT_TRUE(journaled(
        "'1234': requote 1.10010 / 1.10040 for open buy 1.00 EURUSD at 1.10020 sl: 1.09000 tp: 0.00000"));
}

TEST_F(TradeContextTest, IdleConnectionClosesAfter30sAndTheNextRequestLogsInAgain) {
    FakeServer first;
    add_channel_login(first);
    // Two keep-alives while idle (10 s apart), then the worker ends and closes.
    first.expect(request_packet(instant_buy())).send(notification(1, 64, 134)).expect({2}).expect({2});
    connect_to(first);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(134));
    first.finish();
    EXPECT_TRUE(first.all_matched()) << first.report();
    ASSERT_TRUE(eventually([&] { return !context().thread_running(); }));

    FakeServer second;
    add_channel_login(second);
    second.expect(request_packet(instant_buy())).send(notification(2, 64, 136));
    connect_to(second);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(136));
    second.finish();
    EXPECT_TRUE(second.all_matched()) << second.report();
}

TEST_F(TradeContextTest, FailedConnectAndLoginAreJournaled) {
    {
        FakeServer refusing;
        const net::ConnectionKey key = net::login_key(net::LoginMode::TradeChannel, kPassword);
        const net::LoginPacketBytes packet = net::build_login_packet(kLogin, key, net::LoginMode::TradeChannel);
        refusing.expect_raw(Bytes(packet.begin(), packet.end())).use_key(key).send({65});
        connect_to(refusing);
        ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
        ASSERT_TRUE(finished_with(65));
        refusing.finish();
        EXPECT_TRUE(journaled("'1234': cannot login [Invalid account]"));
    }
    set_account(kLogin, kPassword, "127.0.0.1:1");
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(6));
    EXPECT_TRUE(journaled("'1234': cannot connect to: 127.0.0.1:1"));
}

TEST_F(TradeContextTest, StopWhileInProcessEndsTheWorkerAndClearsTheRequest) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(9, 64, kAccepted))
        .send(notification(9, 64, 138) + two_doubles(1.1, 1.1002))
        .stall(5000);
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    ASSERT_TRUE(finished_with(138));
    ASSERT_TRUE(context().thread_running());
    context().stop();
    server.release();
    server.finish();
    EXPECT_FALSE(context().thread_running());
    EXPECT_FALSE(context().busy());
    EXPECT_EQ(context().state(), RequestState::Ready);
    EXPECT_EQ(context().last_prices(), std::make_pair(0.0, 0.0));
    EXPECT_EQ(lines_containing("TradeContext: deadlock error"), 0u);
}

TEST_F(TradeContextTest, WaitingCallerIsReleasedWithTheResult) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(3, 64, kAccepted))
        .send(notification(3, 64, 0) + records_block({position(90, trade::kBuy, 100)}));
    connect_to(server);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    // Measured on the session's paced clock: ten minutes of it pass in seconds.
    ASSERT_TRUE(context().wait_for_finish(600000));
    EXPECT_EQ(context().result().ticket, 90);
    EXPECT_TRUE(requester_.contains(core::Notification::TradeResult, 0));
    server.finish();
}

// The main timer's watchdog may run between a submit and the worker taking the request
// up; a channel whose last traffic lies minutes back must not time the new request out.
TEST_F(TradeContextTest, WatchdogRightAfterSubmitLeavesTheNewRequestAlone) {
    FakeServer server;
    add_channel_login(server);
    server.expect(request_packet(instant_buy()))
        .send(notification(3, 64, kAccepted))
        .send(notification(3, 64, 0) + records_block({position(90, trade::kBuy, 100)}));
    connect_to(server);
    clock_.advance_ms(10 * kTradeActivityMs);
    ASSERT_EQ(context().submit(instant_buy(), &requester_), ReturnCode::Ok);
    context().watchdog();
    EXPECT_TRUE(finished_with(0));
    EXPECT_FALSE(requester_.contains(core::Notification::TradeResult, 128));
    server.finish();
}

TEST(TradeDispatcherTest, ResultsOfThreeContexts) {
    kb::testing::TempFolder folder;
    platform::ManualClock clock;
    core::Journal journal(folder.path(), clock);
    kb::testing::RecordingSoundPlayer sound;
    kb::testing::RecordingProcessStarter starter;
    config::ServerList servers(folder.path(), clock, platform::system_random(), nullptr);
    config::TerminalConfig config(folder.path(), clock, platform::system_random(), &servers, sound, starter);
    TradeDispatcher dispatcher(TradeContextEnvironment{
        .clock = clock, .stream_clock = clock, .journal = journal, .config = config, .servers = servers});
    TradeRecord record;
    for (int index = 0; index < TradeDispatcher::kContexts; ++index)
        EXPECT_EQ(dispatcher.result(index, record), ReturnCode::Ok);
    EXPECT_EQ(dispatcher.result(3, record), ReturnCode::CommonError);
    EXPECT_EQ(dispatcher.result(-1, record), ReturnCode::CommonError);
    EXPECT_EQ(dispatcher.context(3), nullptr);
}

}  // namespace
}  // namespace kb::session::test
