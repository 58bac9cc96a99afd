#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <utility>

#include "config/accounts_base.h"
#include "config/server_probe.h"
#include "platform/files.h"
#include "session_fixture.h"

namespace kb::session::test {
namespace {

using kb::testing::FakeServer;

using net::ReturnCode;

class ServerSessionTest : public SessionFixture {
protected:
    // Starts the session against the fake server and waits until its script has ended.
    void run_script(FakeServer& server) {
        server.start();
        session().start();
        server.finish();
    }
};

// Logs in with the minimal login data; the connection is then in its receive loop.
void add_logged_in(FakeServer& server) {
    add_login(server);
    add_login_data(server, {});
}

TEST_F(ServerSessionTest, FullLoginDownloadsEveryLoginDataStepInOrder) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    const Bytes crash_log = {'o', 'o', 'p', 's'};
    ASSERT_TRUE(platform::write_file_atomic(folder_.file("logs/crashlog.log"), crash_log));

    LoginData data;
    data.server_name = "Fake-Live";
    data.access_points = {access_point(server.address())};
    data.symbols = 2;
    data.crash_log = crash_log;
    data.recipients = 1;
    data.history_records = 3;
    core::set_field_text(data.account.group.name, "demo");
    add_login(server);
    add_login_data(server, data);
    // The server ends the session: the terminal answers with the quit byte.
    server.send({13}).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();

    EXPECT_EQ(lines_containing("'1234': login"), 1u);
    EXPECT_FALSE(platform::file_exists(folder_.file("logs/crashlog.log")));
    EXPECT_EQ(stores_.symbols.symbols_received, 2u);
    EXPECT_EQ(stores_.symbols.groups_received, 3u);
    EXPECT_EQ(stores_.symbols.prepared_server(), "Fake-Live");
    EXPECT_EQ(stores_.mail.recipients, 1u);
    EXPECT_EQ(stores_.trade.history_records, 3u);
    EXPECT_EQ(stores_.trade.accounts, 1u);
    EXPECT_EQ(stores_.trade.group_name(), "demo");
    EXPECT_EQ(stores_.channels.resets, 1u);
    EXPECT_EQ(session().server_trade_value(), 5);
    // The server information renames the account's server and enters it in the list.
    EXPECT_STREQ(config_.login_record().server, "Fake-Live");
    std::optional<config::ServerEntry> entry = servers_.find_copy("Fake-Live");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->access_points.size(), 1u);
    EXPECT_TRUE(notifier_.contains(core::Notification::LoggedIn, kLogin));
    EXPECT_TRUE(notifier_.contains(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Kept)));
    EXPECT_TRUE(notifier_.contains(core::Notification::ConnectionState, 0));
    EXPECT_TRUE(eventually([&] { return session().state(Server::Trade) == ReturnCode::NoConnection; }));
}

TEST_F(ServerSessionTest, SuccessfulLoginStartsTheProbeOfTheServersAccessPoints) {
    config::ServerProbe probe(servers_, clock_, platform::system_clock());
    probe_ = &probe;
    FakeServer server, fast, foreign;
    fast.expect_raw({'Z', 'I', 'N', 'F', 'O', '\n'}).send_raw({'K', 'e', 's', 't', 'r', 'e', 'l', 'b', 'a', 'y', '\n'});
    foreign.expect_raw({'Z', 'I', 'N', 'F', 'O', '\n'}).send_raw({'?', '\n'});
    fast.start();
    foreign.start();
    set_account(kLogin, kPassword, server.address());
    // The server is new to the list: it was never selected, an hour is long past.
    clock_.advance_ms(config::kProbeIntervalMs);
    LoginData data;
    data.server_name = "Fake-Live";
    data.access_points = {access_point(fast.address()), access_point(foreign.address())};
    add_login(server);
    add_login_data(server, data);
    // The connection stays up while the probe runs, so no reconnect reaches the probed
    // access points first.
    server.stall(5000).send({13}).expect({13});
    server.start();
    session().start();
    fast.finish();
    foreign.finish();
    probe.wait();
    server.release();
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
    std::optional<config::ServerEntry> entry = servers_.find_copy("Fake-Live");
    ASSERT_TRUE(entry);
    for (const config::AccessPointRecord& point : entry->access_points)
        EXPECT_EQ(int32_t{point.probe_state},
                  config::address_of(point) == fast.address() ? config::kProbeReachable : config::kProbeUnreachable)
            << config::address_of(point);
    session().stop();
}

TEST_F(ServerSessionTest, InvalidAccountClearsAndSavesThePasswordAndTheThreadWaits) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    // The reply is scrambled with the key of the terminal's own password.
    add_login(server, 65);
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();

    ASSERT_TRUE(eventually([&] { return config_.login_record().password[0] == '\0'; }));
    config::TerminalConfig reloaded(folder_.path(), clock_, platform::system_random(), &servers_, sound_, starter_);
    reloaded.load_all(config::BrandingServer::Absent);
    EXPECT_EQ(reloaded.login_record().password[0], '\0');
    EXPECT_EQ(reloaded.login_record().login, kLogin);
    // Three more pauses: no new attempt changes the state.
    const uint64_t slept = clock_.total_slept_ms();
    ASSERT_TRUE(eventually([&] { return clock_.total_slept_ms() >= slept + 15000; }));
    EXPECT_EQ(session().state(Server::Trade), ReturnCode::InvalidAccount);
    EXPECT_EQ(lines_containing("connect to"), 1u);
}

TEST_F(ServerSessionTest, UnusableAccountsMakeTheThreadWaitWithoutConnecting) {
    struct Case {
        int32_t login;
        const char* password;
        std::string server_prefix;   // before the fake server's address, or the whole address
        bool address_only_prefix;
    };
    const Case cases[] = {
        {0, kPassword, "", false},
        {-5, kPassword, "", false},
        {kLogin, "", "", false},
        {kLogin, kPassword, ":", true},
        {kLogin, kPassword, ":4443", true},
        {kLogin, kPassword, "", true},
    };
    for (const Case& c : cases) {
        FakeServer server(200);
        server.expect_raw(Bytes(net::kLoginPacketSize, 0));
        set_account(c.login, c.password, c.address_only_prefix ? c.server_prefix : server.address());
        server.start();
        session().start();
        const uint64_t slept = clock_.total_slept_ms();
        ASSERT_TRUE(eventually([&] { return clock_.total_slept_ms() >= slept + 10000; }));
        session().stop();
        server.finish();
        EXPECT_NE(server.report().find("no connection"), std::string::npos) << c.login << " '" << c.server_prefix << "'";
        EXPECT_EQ(session().state(Server::Trade), ReturnCode::NoConnection);
    }
    EXPECT_EQ(lines_containing("connect to"), 0u);
}

TEST_F(ServerSessionTest, ConnectFailureIsJournaledOncePerThreadStart) {
    // Nothing listens on a port that a closed fake server had.
    std::string address;
    {
        FakeServer closed;
        address = closed.address();
    }
    set_account(kLogin, kPassword, address);
    session().start();
    ASSERT_TRUE(eventually([&] { return clock_.total_slept_ms() >= 20000; }));
    EXPECT_EQ(lines_containing("'1234': connect to '" + address + "' failed [6]"), 1u);
    EXPECT_EQ(session().state(Server::Trade), ReturnCode::NoConnection);
    session().stop();

    session().start();
    ASSERT_TRUE(eventually([&] { return lines_containing("connect to") == 2; }));
    session().stop();
}

TEST_F(ServerSessionTest, StopIsIdempotentAndEndsTheThreads) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_login(server);
    add_login_data(server, {});
    server.stall(5000);
    server.start();
    session().start();
    ASSERT_TRUE(eventually([&] { return session().state(Server::Trade) == ReturnCode::Ok; }));
    EXPECT_TRUE(session().trade_thread_running());
    session().stop();
    EXPECT_FALSE(session().trade_thread_running());
    EXPECT_FALSE(session().history_thread_running());
    EXPECT_EQ(session().state(Server::Trade), ReturnCode::NoConnection);
    const size_t posted = notifier_.posted().size();
    session().stop();
    EXPECT_EQ(notifier_.posted().size(), posted);
    server.release();
    server.finish();
}

Bytes tick_records(size_t n) { return Bytes(n * sizeof(market::TickRecord), 1); }

TEST_F(ServerSessionTest, QuotesReachTheSymbolsBaseAndACountOfZeroEndsTheLoopWithTheQuitByte) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    server.send(Bytes{151, 2} + tick_records(2)).send({151, 0}).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_EQ(stores_.symbols.ticks_received, 2u);
    EXPECT_EQ(stores_.trade.revaluations, 1u);
    EXPECT_TRUE(notifier_.contains(core::Notification::Quotes, 0));
}

TEST_F(ServerSessionTest, PushedBlocksReachTheirStores) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    LoginData data;
    core::set_field_text(data.account.group.name, "demo");
    add_login(server);
    add_login_data(server, data);

    messaging::MailRecord mail{};
    mail.id = 7;
    mail.body_length = 5;
    server.send(Bytes{153} + compressed(bytes_of(mail) + Bytes{'h', 'e', 'l', 'l', 'o'}));
    server.send(Bytes{154} + compressed(Bytes(sizeof(market::SymbolUpdateRecord), 0)));
    server.send(Bytes{155} + compressed(Bytes(2 * sizeof(trade::TradeTransaction), 0)));
    market::GroupUpdateRecord mine{};
    mine.header.transaction_type = market::kUpdateTransaction;
    core::set_field_text(mine.group.name, "demo");
    market::GroupUpdateRecord other = mine;
    core::set_field_text(other.group.name, "other");
    server.send(Bytes{171} + compressed(bytes_of(mine) + bytes_of(other)));
    server.send({13}).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_EQ(stores_.mail.messages, 1u);
    EXPECT_EQ(stores_.symbols.updates_received, 1u);
    EXPECT_EQ(stores_.trade.recalculations, 1u);
    EXPECT_EQ(stores_.trade.transactions_received, 2u);
    EXPECT_EQ(stores_.trade.groups_set, 1u);
    EXPECT_EQ(stores_.symbols.groups_set, 2u);   // the account's group at login, then the update
    EXPECT_TRUE(notifier_.contains(core::Notification::Mail, 0));
    EXPECT_TRUE(notifier_.contains(core::Notification::Symbols, 0));
}

TEST_F(ServerSessionTest, GroupSettingsOfTheAccountsGroupRefreshTheSavedAccount) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    config::LoginRecord record = config_.login_record();
    record.keep_personal_data = 1;
    config_.set_login_record(record);
    config::AccountsBase accounts(folder_.path(), config_, platform::system_random());
    LoginData data;
    data.account.login = kLogin;
    core::set_field_text(data.account.name, "Ann");
    core::set_field_text(data.account.group.name, "demo");
    core::set_field_text(data.account.group.deposit_currency, "USD");
    add_login(server);
    add_login_data(server, data);
    market::GroupUpdateRecord mine{};
    mine.header.transaction_type = market::kUpdateTransaction;
    mine.group = data.account.group;
    core::set_field_text(mine.group.deposit_currency, "EUR");
    market::GroupUpdateRecord other = mine;
    core::set_field_text(other.group.name, "other");
    core::set_field_text(other.group.deposit_currency, "JPY");
    server.send(Bytes{171} + compressed(bytes_of(mine) + bytes_of(other))).send({13}).expect({13});
    make_session_with(stores_.sinks(), notifier_, &accounts);
    run_script(server);
    session().stop();
    EXPECT_TRUE(server.all_matched()) << server.report();

    // accounts.ini, read afresh, holds the account's group as pushed.
    config::AccountsBase reloaded(folder_.path(), config_, platform::system_random());
    std::optional<config::AccountSnapshot> saved = reloaded.find(kLogin);
    ASSERT_TRUE(saved);
    trade::AccountRecord saved_record{};
    static_assert(sizeof saved_record == sizeof *saved);
    std::memcpy(&saved_record, &*saved, sizeof saved_record);
    EXPECT_EQ(core::field_text(saved_record.group.name), "demo");
    EXPECT_EQ(core::field_text(saved_record.group.deposit_currency), "EUR");
}

TEST_F(ServerSessionTest, SymbolUpdatesOfBrokenRecordsEndTheLoop) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    server.send(Bytes{154} + compressed(Bytes(sizeof(market::SymbolUpdateRecord) + 1, 0))).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_EQ(stores_.symbols.updates_received, 0u);
}

TEST_F(ServerSessionTest, UnknownCommandClosesWithoutTheQuitByte) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    server.send({0x42}).expect({13});
    run_script(server);
    EXPECT_FALSE(server.all_matched());
    EXPECT_NE(server.report().find("gave 0"), std::string::npos) << server.report();
    EXPECT_EQ(lines_containing("'1234': unknown command 42"), 1u) << ::testing::PrintToString(lines());
}

TEST_F(ServerSessionTest, ChartHistoryOverTheBarLimitClosesWithoutTheQuitByte) {
    auto header = [](int32_t count) {
        market::ChartHistoryHeader head{};
        std::memcpy(head.symbol, "EURUSDEURUSD", sizeof head.symbol);   // no terminator: forced on receipt
        head.period = 60;
        head.bar_count = count;
        return bytes_of(head);
    };
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    // The server's build takes the 28-byte bar form.
    server.send(Bytes{156} + header(2) + Bytes(2 * sizeof(market::WireBar28), 0));
    server.send(Bytes{156} + header(market::kMaxChartHistoryBars + 1)).expect({13});
    run_script(server);
    EXPECT_FALSE(server.all_matched());
    EXPECT_NE(server.report().find("gave 0"), std::string::npos) << server.report();
    EXPECT_EQ(stores_.history.pushes, 1u);
    EXPECT_EQ(stores_.history.bars_received, 2u);
    EXPECT_TRUE(notifier_.contains(core::Notification::ChartHistory, 0));
}

TEST_F(ServerSessionTest, SilenceBringsKeepAlives) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    // Nothing from the server: the idle ping after 10 s, the keep-alive after 20 s.
    server.expect({2}).expect({2}).send({2}).send({13}).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();
}

TEST_F(ServerSessionTest, WatchdogClosesASilentConnectionAndReportsTheAddressFailed) {
    FakeServer server;
    ASSERT_TRUE(servers_.update_server("Fake", "Fake Company", config::kServerTypeSelectable,
                                       std::vector{access_point(server.address())}));
    set_account(kLogin, kPassword, "Fake");
    add_login(server);
    // The server never answers the server information request.
    server.expect({16}).stall(5000);
    server.start();
    session().start();
    ASSERT_TRUE(server.wait_for_steps(5));
    ASSERT_EQ(servers_.find_copy("Fake")->selected_address(), server.address());

    session().watchdog();   // not yet 60 s of silence
    EXPECT_EQ(servers_.find_copy("Fake")->selected_address(), server.address());
    clock_.advance_ms(kWatchdogSilenceMs + 1);
    session().watchdog();
    std::optional<config::ServerEntry> entry = servers_.find_copy("Fake");
    EXPECT_TRUE(entry->selected_address().empty());
    EXPECT_EQ(entry->access_points[0].time_ms, config::kFailedMs);
    // The login data failed on the closed connection.
    EXPECT_TRUE(eventually([&] { return session().state(Server::Trade) == ReturnCode::CommonError; }));
    session().stop();
    server.release();
    server.finish();
}

TEST_F(ServerSessionTest, WatchdogDropsAServerThatTakesThePingsButStopsAnswering) {
    FakeServer server(10000);
    ASSERT_TRUE(servers_.update_server("Fake", "Fake Company", config::kServerTypeSelectable,
                                       std::vector{access_point(server.address())}));
    set_account(kLogin, kPassword, "Fake");
    add_logged_in(server);
    // Six pings of the first 50 s in the receive loop go unanswered, the sixth is answered;
    // then the server falls silent while its kernel goes on taking the pings.
    for (int ping = 0; ping < 6; ++ping) server.expect({2});
    server.send({2}).stall(10000);
    server.start();
    session().start();
    constexpr size_t kLoginSteps = 16;
    ASSERT_TRUE(server.wait_for_steps(kLoginSteps + 7));
    const uint32_t answered = clock_.tick_ms();
    auto entry = [&] { return servers_.find_copy("Fake"); };

    // The answer is activity: 30 s after it the connection stays, though the loop began
    // well over 60 s ago.
    ASSERT_TRUE(eventually([&] { return clock_.tick_ms() - answered >= 30000; }));
    session().watchdog();
    EXPECT_EQ(entry()->selected_address(), server.address());
    EXPECT_EQ(session().state(Server::Trade), ReturnCode::Ok);

    // The pings sent since are not: 60 s after the answer the connection goes.
    ASSERT_TRUE(eventually([&] { return clock_.tick_ms() - answered > kWatchdogSilenceMs + 1000; }));
    session().watchdog();
    EXPECT_TRUE(entry()->selected_address().empty());
    EXPECT_EQ(entry()->access_points[0].time_ms, config::kFailedMs);
    EXPECT_TRUE(eventually([&] { return session().state(Server::Trade) != ReturnCode::Ok; }));
    session().stop();
    server.release();
    server.finish();
}

TEST_F(ServerSessionTest, OldServerVersionClearsThePassword) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_login(server);
    LoginData data;
    data.protocol_version = 403;
    add_login_data(server, data);
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();
    ASSERT_TRUE(eventually([&] { return lines_containing("'1234': old server version") == 1; }));
    EXPECT_EQ(config_.login_record().password[0], '\0');
}

// The recording history sink with hooks that run inside the receive loop: after each
// chart push and at each pass's forwarding of requests, where a call of the user-interface
// thread can land.
class HookedHistory final : public HistorySink {
public:
    void prepare_server(std::string_view name) override { inner.prepare_server(name); }
    void prime() override { inner.prime(); }
    void apply_chart_history(const market::ChartHistoryHeader& header, std::span<const market::WireBar28> bars28,
                             std::span<const market::WireBar22> bars22) override {
        inner.apply_chart_history(header, bars28, bars22);
        if (after_push) after_push();
    }
    std::vector<market::ChartRequest> take_requests() override {
        if (on_pass) on_pass();
        return inner.take_requests();
    }

    kb::testing::RecordingHistory inner;
    std::function<void()> after_push;
    std::function<void()> on_pass;
};

Bytes empty_chart_push() {
    market::ChartHistoryHeader header{};
    core::set_field_text(header.symbol, "EURUSD");
    header.period = 60;
    return Bytes{156} + bytes_of(header);
}

TEST_F(ServerSessionTest, ReconnectBetweenBackToBackPacketsLeavesBeforeTheNextOne) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    server.send(empty_chart_push() + empty_chart_push() + empty_chart_push()).expect({13});
    HookedHistory history;
    bool asked = false;
    history.after_push = [&] {
        if (!std::exchange(asked, true)) session().reconnect();
    };
    SessionSinks sinks = stores_.sinks();
    sinks.history = &history;
    make_session_with(sinks, notifier_);
    run_script(server);
    session().stop();
    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_EQ(history.inner.pushes, 1u);
}

TEST_F(ServerSessionTest, IdlePingDueAfterAReconnectLeavesTheStateNotConnected) {
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_logged_in(server);
    server.expect({13});   // passing over the idle ping
    HookedHistory history;
    std::optional<uint32_t> loop_start;
    bool asked = false;
    // On the pass where the idle ping falls due, the reconnect lands just before it.
    history.on_pass = [&] {
        const uint32_t now = clock_.tick_ms();
        if (!loop_start) loop_start = now;
        if (!asked && now - *loop_start > kIdleMs) {
            asked = true;
            session().reconnect();
        }
    };
    TimelineNotifier timeline(notifier_, clock_);
    SessionSinks sinks = stores_.sinks();
    sinks.history = &history;
    timeline.watch(&make_session_with(sinks, timeline));
    run_script(server);
    session().stop();
    EXPECT_TRUE(asked);
    // Connected once, at the login; never again after the reconnect's "not connected".
    EXPECT_EQ(timeline.transitions(ReturnCode::NoConnection, ReturnCode::Ok).size(), 1u);
}

// The update query of this terminal (version 400, build 445) for the fixture's company.
Bytes update_query() {
    const std::string company = "Fake Company";
    return Bytes{15, 4} + le32(400) + le32(445) + Bytes{static_cast<uint8_t>(company.size())} +
           Bytes(company.begin(), company.end());
}

TEST_F(ServerSessionTest, NewerBuildIsJournaledHandedToTheUpdaterAndTheLoginGoesOn) {
    ASSERT_TRUE(platform::write_file_atomic(folder_.file("refreshkit"), Bytes{1}));
    FakeServer server;
    set_account(kLogin, kPassword, server.address());
    add_login(server);
    server.expect(update_query()).send(Bytes{0} + le32(401) + le32(450));
    add_login_data(server, {});
    server.send({13}).expect({13});
    run_script(server);
    EXPECT_TRUE(server.all_matched()) << server.report();

    EXPECT_EQ(lines_containing("Refreshkit: new version 4.01 build 450 is available"), 1u)
        << ::testing::PrintToString(lines());
    std::optional<std::vector<uint8_t>> ini = platform::read_file(folder_.file("profiles/refreshkit.ini"));
    ASSERT_TRUE(ini);
    const std::string text(ini->begin(), ini->end());
    EXPECT_NE(text.find("\nlogin=1234\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\ndetected_version=401\ndetected_build=450\n"), std::string::npos) << text;
    ASSERT_EQ(starter_.started().size(), 1u);
    EXPECT_EQ(starter_.started()[0], std::vector<std::string>{folder_.file("refreshkit")});
    EXPECT_EQ(lines_containing("'1234': login"), 1u);
}

TEST_F(ServerSessionTest, UpdateIsAskedOnTheFirstConnectionOnly) {
    ASSERT_TRUE(platform::write_file_atomic(folder_.file("refreshkit"), Bytes{1}));
    FakeServer first;
    set_account(kLogin, kPassword, first.address());
    add_login(first);
    first.expect(update_query());
    first.send({1});   // no newer build
    add_login_data(first, {});
    first.send({13}).expect({13});
    run_script(first);
    EXPECT_TRUE(first.all_matched()) << first.report();
    EXPECT_TRUE(starter_.started().empty());
    EXPECT_FALSE(platform::file_exists(folder_.file("profiles/refreshkit.ini")));

    // The next connection of the same thread goes on with the server information at once.
    FakeServer second;
    set_account(kLogin, kPassword, second.address());
    add_login(second);
    second.expect({16});
    second.start();
    second.finish();
    EXPECT_TRUE(second.all_matched()) << second.report();
}

}  // namespace
}  // namespace kb::session::test
