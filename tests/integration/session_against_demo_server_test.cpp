#include <gtest/gtest.h>

#include "platform/files.h"
#include "tests/integration/demo_session_fixture.h"

namespace kb::integration {
namespace {

using enum core::Notification;
using kb::testing::Bytes;

constexpr int kOk = 0;
constexpr int kNoConnection = 6;
constexpr uint32_t kRetryWaitMs = session::kRetryPauseMs * session::kRetryPauses;

TEST_F(DemoSessionTest, FullLoginBringsEveryStepOfTheLoginDataThenQuotesNewsAndMail) {
    ASSERT_TRUE(platform::write_file_atomic(folder_.file("logs/crashlog.log"), Bytes{'o', 'o', 'p', 's'}));
    ASSERT_TRUE(storage_->add_news({0, server_clock_.unix_time() - 60, "Markets open", "General", "Quiet start"}));
    ASSERT_TRUE(storage_->add_mail({0, kAnn, "Dealer", "Welcome", "Hello Ann", server_clock_.unix_time(), false}));
    set_account(kAnn, kAnnPassword, trade_address());
    start_session();
    ASSERT_TRUE(trade_state_is(kOk));

    EXPECT_EQ(server_lines_containing("'1001': logged in (trade server)"), 1u);
    EXPECT_EQ(lines_containing("'1001': login"), 1u);
    // Server information: the account's server is renamed and listed with its access point.
    EXPECT_STREQ(config_.login_record().server, "Loopback-Data");
    std::optional<config::ServerEntry> entry = servers_.find_copy("Loopback-Data");
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->access_points.size(), 1u);
    EXPECT_STREQ(entry->access_points[0].address, trade_address().c_str());
    // Symbols, groups, crash log, mail recipients, account history, account data.
    EXPECT_EQ(symbols_.symbols_received, 2u);
    EXPECT_EQ(symbols_.group_tables, 1u);
    EXPECT_FALSE(platform::file_exists(folder_.file("logs/crashlog.log")));
    std::vector<server::CrashLogRow> uploaded = storage_->crash_logs(kAnn);
    ASSERT_EQ(uploaded.size(), 1u);
    EXPECT_EQ(uploaded[0].content, (Bytes{'o', 'o', 'p', 's'}));
    EXPECT_EQ(stores_.mail.recipients, 1u);   // Bob, the other account of the group
    EXPECT_EQ(stores_.trade.history_lists, 1u);
    EXPECT_GE(stores_.trade.history_records, 1u);   // the deposit
    EXPECT_EQ(stores_.trade.accounts, 1u);
    EXPECT_EQ(stores_.trade.group_name(), "demo");
    EXPECT_TRUE(notifier_.contains(kNotifyLoggedIn, kAnn));
    EXPECT_TRUE(session_->is_connected());

    ASSERT_TRUE(run_clocks_until(
        [&] { return symbols_.ticks_received > 0 && stores_.news.items > 0 && stores_.mail.messages > 0; }))
        << symbols_.ticks_received << " ticks, " << stores_.news.items << " news, " << stores_.mail.messages
        << " mail";
    EXPECT_TRUE(notifier_.contains(kNotifyQuotes, 0));
    EXPECT_TRUE(notifier_.contains(kNotifyNews, 0));
    EXPECT_TRUE(notifier_.contains(kNotifyMail, 0));
    EXPECT_GT(stores_.news.body_bytes, 0u);
}

TEST_F(DemoSessionTest, KeepAlivesHoldTheConnectionPastTheServersIdleLimit) {
    set_account(kAnn, kAnnPassword, trade_address());
    start_session();
    ASSERT_TRUE(trade_state_is(kOk));
    // After its subscription the terminal only sends keep-alives; the server drops a
    // connection silent for 60 s.
    const uint32_t start = server_clock_.tick_ms();
    ASSERT_TRUE(run_clocks_until([&] { return server_clock_.tick_ms() - start >= 150000; }));
    EXPECT_EQ(server_lines_containing("no data for"), 0u);
    EXPECT_EQ(server_lines_containing("'1001': logged in (trade server)"), 1u);
    EXPECT_EQ(session_->state(Server::Trade), kOk);
}

TEST_F(DemoSessionTest, ServerQuitIsAnsweredWithQuitAndTheTerminalLogsInAgainAfterFiveSeconds) {
    set_account(kAnn, kAnnPassword, trade_address());
    start_session();
    ASSERT_TRUE(trade_state_is(kOk));

    server_->quit_sessions();
    ASSERT_TRUE(server_logged("'1001': quit sent, answered with quit"));
    ASSERT_TRUE(server_logged("'1001': logged in (trade server)", 2));
    ASSERT_TRUE(trade_state_is(kOk));

    const std::vector<uint32_t> closed = timeline_.transitions(kOk, kNoConnection);
    const std::vector<uint32_t> reopened = timeline_.transitions(kNoConnection, kOk);
    ASSERT_EQ(closed.size(), 1u);
    ASSERT_EQ(reopened.size(), 2u);   // the first login, then the one after the quit
    EXPECT_GE(reopened[1] - closed[0], kRetryWaitMs);
    EXPECT_LT(reopened[1] - closed[0], 2 * kRetryWaitMs);
    EXPECT_EQ(lines_containing("connect to"), 0u);
}

TEST_F(DemoSessionTest, WatchdogClosesASilentConnectionAndReportsTheAddressFailed) {
    set_account(kAnn, kAnnPassword, trade_address());
    start_session();
    ASSERT_TRUE(trade_state_is(kOk));

    // The next login through the listed access point gets no answer.
    held_logins_.hold(server::ServerRole::Trade, true);
    close_gate_when_a_login_is_held();
    server_->quit_sessions();
    ASSERT_TRUE(server_logged("login held"));
    session_->watchdog();   // silent, but not yet for 60 s
    EXPECT_EQ(servers_.find_copy("Loopback-Data")->selected_address(), trade_address());

    clock_.advance_ms(session::kWatchdogSilenceMs + 1);
    session_->watchdog();
    std::optional<config::ServerEntry> entry = servers_.find_copy("Loopback-Data");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->selected_address().empty());
    ASSERT_EQ(entry->access_points.size(), 1u);
    EXPECT_EQ(entry->access_points[0].time_ms, config::kFailedMs);

    // The closed connection fails its login; the next attempt logs in.
    held_logins_.hold(server::ServerRole::Trade, false);
    gate_.open();
    ASSERT_TRUE(server_logged("'1001': logged in (trade server)", 2));
    EXPECT_TRUE(trade_state_is(kOk));
}

TEST_F(DemoSessionTest, ReconnectAfterAChangeOfAccountLogsInWithTheNewAccount) {
    set_account(kAnn, kAnnPassword, trade_address());
    start_session();
    ASSERT_TRUE(trade_state_is(kOk));
    EXPECT_EQ(stores_.trade.clears, 0u);

    set_account(kBob, kBobPassword, config_.login_record().server);
    session_->reconnect();
    EXPECT_EQ(stores_.trade.clears, 1u);
    EXPECT_TRUE(notifier_.contains(kNotifyTrades, 0));
    EXPECT_TRUE(notifier_.contains(kNotifyAccountHistory, session::kHistoryRangeKept));

    ASSERT_TRUE(server_logged("'1003': logged in (trade server)"));
    ASSERT_TRUE(eventually([&] { return notifier_.contains(kNotifyLoggedIn, kBob); }));
    EXPECT_EQ(lines_containing("'1003': login"), 1u);
    EXPECT_EQ(server_lines_containing("logged in (trade server)"), 2u);
    EXPECT_EQ(stores_.trade.accounts, 2u);

    // A reconnect with the same account keeps the trade data.
    session_->reconnect();
    ASSERT_TRUE(server_logged("'1003': logged in (trade server)", 2));
    EXPECT_EQ(stores_.trade.clears, 1u);
}

TEST_F(DemoSessionTest, WrongPasswordFailsTheLoginAndTheThreadRetriesEveryFiveSeconds) {
    set_account(kAnn, "wrong1", trade_address());
    start_session();
    // The server scrambles its refusal with the account's key, which the terminal doesn't
    // hold: the terminal reads another code than 65, keeps the password and tries again.
    ASSERT_TRUE(server_logged("'1001': login refused [65", 3));
    const int failed = session_->state(Server::Trade);
    EXPECT_NE(failed, kOk);
    EXPECT_NE(failed, kNoConnection);
    expect_attempts_a_pause_apart(failed);
    EXPECT_EQ(lines_containing("'1001': connect to '" + trade_address() + "' failed ["), 1u);
    EXPECT_STREQ(config_.login_record().password, "wrong1");

    // With the right password the next attempt logs in.
    set_account(kAnn, kAnnPassword, trade_address());
    EXPECT_TRUE(trade_state_is(kOk));
}

TEST_F(DemoSessionTest, DisabledAccountIsRetriedEveryFiveSecondsWithItsPasswordKept) {
    ASSERT_TRUE(storage_->set_enabled(kBob, false));
    set_account(kBob, kBobPassword, trade_address());
    start_session();
    expect_attempts_a_pause_apart(64);
    EXPECT_GE(server_lines_containing("'1003': login refused [64"), 3u);
    EXPECT_EQ(lines_containing("'1003': connect to '" + trade_address() + "' failed [64]"), 1u);
    EXPECT_STREQ(config_.login_record().password, kBobPassword);
}

TEST_F(DemoSessionTest, HistoryServerCarriesTheQuotesWhileConnected) {
    set_account(kAnn, kAnnPassword, trade_address(), session::kUsesHistoryServer, history_address());
    start_session();
    ASSERT_TRUE(eventually([&] { return session_->is_connected() && session_->state(Server::History) == kOk; }));
    EXPECT_EQ(server_lines_containing("'1001': logged in (history server)"), 1u);
    EXPECT_EQ(config_.login_record().mode_in_effect, session::kUsesHistoryServer);
    EXPECT_EQ(saved_history_connected_flag(), session::kUsesHistoryServer);
    EXPECT_EQ(stores_.history.primes, 1u);   // by the history server thread only
    EXPECT_EQ(lines_containing("DataCenter"), 0u);

    // The subscription went through the history server, and so come the quotes.
    ASSERT_TRUE(run_clocks_until([&] { return symbols_.ticks_received > 0; }));
    EXPECT_TRUE(notifier_.contains(kNotifyConnectionState, 1));
}

TEST_F(DemoSessionTest, SlowHistoryServerLetsTheTradeSessionGoOnAfter45SecondsWithTheFlagSavedClear) {
    held_logins_.hold(server::ServerRole::History, true);
    close_gate_when_a_login_is_held();
    set_account(kAnn, kAnnPassword, trade_address(), session::kUsesHistoryServer, history_address());
    start_session();
    ASSERT_TRUE(server_logged("login held"));

    // Nothing but the wait for the history server sleeps on the session's clock here.
    ASSERT_TRUE(eventually([&] { return config_.login_record().mode_in_effect == 0; }));
    EXPECT_GE(clock_.total_slept_ms(), session::kHistoryStartWaitMs);
    EXPECT_EQ(saved_history_connected_flag(), 0);
    EXPECT_EQ(saved_login_record().mode, session::kUsesHistoryServer);

    // The trade session goes on without it; the late history server login still completes.
    held_logins_.hold(server::ServerRole::History, false);
    gate_.open();
    ASSERT_TRUE(trade_state_is(kOk));
    EXPECT_TRUE(session_->is_connected());
    EXPECT_TRUE(eventually([&] { return session_->state(Server::History) == kOk; }));
    EXPECT_EQ(server_lines_containing("'1001': logged in (trade server)"), 1u);
}

TEST_F(DemoSessionTest, ReconnectDuringTheWaitForASlowHistoryServerLogsInWithTheNewAccountAtOnce) {
    held_logins_.hold(server::ServerRole::History, true);
    close_gate_when_a_login_is_held();
    set_account(kAnn, kAnnPassword, trade_address(), session::kUsesHistoryServer, history_address());
    start_session();
    ASSERT_TRUE(server_logged("login held"));

    set_account(kBob, kBobPassword, trade_address());
    session_->reconnect();
    gate_.open();
    ASSERT_TRUE(server_logged("'1003': logged in (trade server)"));
    ASSERT_TRUE(trade_state_is(kOk));
    // Bob's login came after one retry pause, not after the rest of the 45 s wait.
    EXPECT_LT(clock_.total_slept_ms(), session::kHistoryStartWaitMs);
    // Ann's login went no further than the wait.
    EXPECT_FALSE(notifier_.contains(kNotifyLoggedIn, kAnn));
    EXPECT_TRUE(notifier_.contains(kNotifyLoggedIn, kBob));
}

}  // namespace
}  // namespace kb::integration
