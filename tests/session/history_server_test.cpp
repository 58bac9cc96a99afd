#include <gtest/gtest.h>

#include "session_fixture.h"

namespace kb::session::test {
namespace {

using kb::testing::FakeServer;

class HistoryServerTest : public SessionFixture {};

TEST_F(HistoryServerTest, ConnectedHistoryServerCarriesQuotesAndTheAccountDataAsksForBoth) {
    FakeServer trade;
    FakeServer history;
    set_account(kLogin, kPassword, trade.address(), 1, history.address());
    add_history_login(history, kServerIdentity);
    history.send(Bytes{151, 1} + Bytes(sizeof(market::TickRecord), 3)).send({13}).expect({13});
    add_login(trade);
    LoginData data;
    data.account_mode = 3;   // the history server is connected
    add_login_data(trade, data);
    trade.send({13}).expect({13});

    history.start();
    trade.start();
    session().start();
    history.finish();
    trade.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    EXPECT_EQ(config_.login_record().mode_in_effect, 1);
    EXPECT_EQ(stores_.symbols.ticks_received, 1u);
    // Primed by the history server thread only.
    EXPECT_EQ(stores_.history.primes, 1u);
    EXPECT_TRUE(notifier_.contains(core::Notification::ConnectionState, 1));
    EXPECT_EQ(lines_containing("DataCenter"), 0u);
}

TEST_F(HistoryServerTest, SilentHistoryServerLetsTheTradeSessionGoOnWithTheFlagSavedClear) {
    FakeServer trade;
    FakeServer history;
    set_account(kLogin, kPassword, trade.address(), 1, history.address());
    // The history server takes the login packet and never answers.
    history.expect_raw(history_login_packet()).stall(5000);
    add_login(trade);
    add_login_data(trade, {});   // account data asked for the trade server alone
    trade.send({13}).expect({13});

    history.start();
    trade.start();
    session().start();
    trade.finish();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    EXPECT_EQ(config_.login_record().mode_in_effect, 0);
    config::TerminalConfig reloaded(folder_.path(), clock_, platform::system_random(), &servers_, sound_, starter_);
    reloaded.load_login_record();
    EXPECT_EQ(reloaded.login_record().mode, 1);   // the account still uses it
    session().stop();
    history.release();
    history.finish();
}

TEST_F(HistoryServerTest, HistoryServerOfAnotherIdentityIsDropped) {
    FakeServer trade;
    FakeServer history;
    set_account(kLogin, kPassword, trade.address(), 1, history.address());
    add_history_login(history, kServerIdentity + 1);
    add_login(trade);
    add_login_data(trade, {});
    trade.send({13}).expect({13});

    history.start();
    trade.start();
    session().start();
    history.finish();
    trade.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    EXPECT_EQ(lines_containing("'1234': DataCenter does not correspond with MainServer"), 1u);
    EXPECT_EQ(config_.login_record().mode_in_effect, 0);
}

TEST_F(HistoryServerTest, HistoryServerFailureClosesTheTradeServerConnectionAndReportsItsAddress) {
    FakeServer trade;
    FakeServer history;
    ASSERT_TRUE(servers_.update_server("Fake", "Fake Company", config::kServerTypeSelectable,
                                       std::vector{access_point(trade.address())}));
    set_account(kLogin, kPassword, "Fake", 1, history.address());
    add_history_login(history, kServerIdentity);
    history.stall(5000).send({0x42});
    add_login(trade);
    LoginData data;
    data.account_mode = 3;
    add_login_data(trade, data);
    trade.expect({13});

    history.start();
    trade.start();
    session().start();
    ASSERT_TRUE(eventually([&] { return session().is_connected() && session().state(Server::History) == net::ReturnCode::Ok; }));
    history.release();
    ASSERT_TRUE(eventually([&] { return session().state(Server::Trade) != net::ReturnCode::Ok; }));
    EXPECT_EQ(lines_containing("'1234': unknown command 42 [data center]"), 1u);
    std::optional<config::ServerEntry> entry = servers_.find_copy("Fake");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->selected_address().empty());
    EXPECT_EQ(entry->access_points[0].time_ms, config::kFailedMs);
    trade.finish();
    history.finish();
    // The trade server connection was closed under its loop: no quit byte.
    EXPECT_FALSE(trade.all_matched());
    EXPECT_NE(trade.report().find("gave 0"), std::string::npos) << trade.report();
}

TEST_F(HistoryServerTest, RefusedHistoryLoginIsJournaled) {
    FakeServer trade;
    FakeServer history;
    set_account(kLogin, kPassword, trade.address(), 1, history.address());
    const net::ConnectionKey key = net::login_key(net::LoginMode::HistoryServer, "");
    history.expect_raw(history_login_packet()).use_key(key).send({64});
    add_login(trade);
    add_login_data(trade, {});
    trade.send({13}).expect({13});

    history.start();
    trade.start();
    session().start();
    trade.finish();
    history.finish();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    EXPECT_EQ(lines_containing("'1234': DataCenter connecting failed [64]"), 1u);
    EXPECT_EQ(session().state(Server::History), net::ReturnCode::AccountDisabled);
}

TEST_F(HistoryServerTest, ReconnectAfterAChangeOfAccountClearsTheTradeDataAndQuits) {
    FakeServer trade;
    set_account(kLogin, kPassword, trade.address());
    add_login(trade);
    add_login_data(trade, {});
    trade.expect({13});
    trade.start();
    session().start();
    ASSERT_TRUE(eventually([&] { return session().state(Server::Trade) == net::ReturnCode::Ok; }));
    EXPECT_TRUE(session().is_connected());

    set_account(kLogin + 1, kPassword, trade.address());
    session().reconnect();
    trade.finish();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    EXPECT_FALSE(session().is_connected());
    EXPECT_EQ(stores_.trade.clears, 1u);
    EXPECT_EQ(stores_.channels.resets, 2u);   // at the login and at the change
    EXPECT_TRUE(notifier_.contains(core::Notification::Trades, 0));
}

}  // namespace
}  // namespace kb::session::test
