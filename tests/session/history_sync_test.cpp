#include <gtest/gtest.h>

#include <vector>

#include "core/notifications.h"
#include "market/history_center.h"
#include "market/history_sync_packets.h"
#include "market/symbols_base.h"
#include "session/history_sync_login.h"
#include "session/history_synchroniser.h"
#include "session_fixture.h"

namespace kb::session::test {
namespace {

using kb::testing::FakeServer;

constexpr int32_t kMonday = 1796601600;
constexpr int32_t kHour = 3600;
constexpr int32_t kTimeSign = 555;
constexpr uint16_t kNarrowBarsBuild = 300;

market::SymbolRecord eurusd() {
    market::SymbolRecord symbol{};
    core::set_field_text(symbol.name, "EURUSD");
    symbol.symbol_index = 1;
    symbol.digits = 5;
    symbol.point = 0.00001;
    return symbol;
}

Bytes sync_request(int32_t first_time = 0, int32_t newest_time = 0, int32_t time_sign = 0) {
    market::HistorySyncRequest request{};
    core::set_field_text(request.symbol, "EURUSD");
    request.period = 60;
    request.first_time = first_time;
    request.newest_time = newest_time;
    request.time_sign = time_sign;
    request.version = 2;
    return Bytes{9} + bytes_of(request);
}

template <class Wire>
Bytes bars_answer(const std::vector<Wire>& bars) {
    Bytes plain(bars.size() * sizeof(Wire));
    if (!bars.empty()) std::memcpy(plain.data(), bars.data(), plain.size());
    return Bytes{0} + le32(kTimeSign) + compressed(plain);
}

void add_separate_history_login(FakeServer& server) {
    server.expect_raw(history_login_packet()).use_key(net::login_key(net::LoginMode::HistoryServer, ""));
    server.send(Bytes{0, 0} + le16(kServerBuild) + le32(kServerIdentity));
}

// The centre and its symbols around the fixture's configuration and journal.
class HistorySyncTest : public SessionFixture {
protected:
    HistorySyncTest()
        : login_(config_, servers_, journal_),
          center_({{folder_.path(), "Demo", 1000, 1000}, clock_, &journal_, &notifier_}),
          symbols_(folder_.path(), "Demo", &journal_, &center_) {
        center_.set_symbols(&symbols_);
        center_.set_synchronisation(std::make_unique<HistorySynchroniser>(
            center_, HistorySynchroniserEnvironment{clock_, platform::system_clock(), &journal_, login_}));
        const market::SymbolRecord known = eurusd();
        symbols_.replace_symbols(std::span<const market::SymbolRecord>(&known, 1));
    }

    std::vector<market::BarRecord> bars() {
        market::ChartBuffer chart;
        center_.copy_to_chart("EURUSD", 60, chart);
        return chart.bars;
    }
    bool synchronised() { return !center_.state("EURUSD", 60)->sync_requested; }
    size_t chart_notifications() {
        size_t n = 0;
        for (auto [code, value] : notifier_.posted()) n += code == core::kNotifyChartHistory;
        return n;
    }

    HistorySyncLogin login_;
    market::HistoryCenter center_;
    market::SymbolsBase symbols_;
};

TEST_F(HistorySyncTest, BarsFromTheSeparateHistoryServerAreImportedAndTheIdleThreadQuits) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    add_separate_history_login(history);
    const std::vector<market::WireBar28> wide = {{kMonday, 110000, 20, -10, 5, 7}, {kMonday + kHour, 110010, 0, 0, 0, 1}};
    history.expect(sync_request()).send(bars_answer(wide)).expect({13});
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    history.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    ASSERT_TRUE(eventually([this] { return !center_.synchronisation_running(); }));

    const std::vector<market::BarRecord> imported = bars();
    ASSERT_EQ(imported.size(), 2u);
    EXPECT_NEAR(imported[0].open, 1.1, 1e-9);
    EXPECT_NEAR(imported[0].high, 1.1002, 1e-9);
    EXPECT_NEAR(imported[1].close, 1.1001, 1e-9);
    EXPECT_TRUE(synchronised());
    EXPECT_EQ(lines_containing("HistoryCenter: synchronize 'EURUSD60'"), 1u);
    EXPECT_EQ(lines_containing("HistoryCenter: 2 bars imported in 'EURUSD60'"), 1u);
    EXPECT_EQ(chart_notifications(), 1u);
}

TEST_F(HistorySyncTest, TradeServerOfAnOlderBuildSendsNarrowBarsToTheAccountsOwnLogin) {
    FakeServer trade;
    set_account(kLogin, kPassword, trade.address());
    const net::ConnectionKey key = net::login_key(net::LoginMode::TradeServer, kPassword);
    const net::LoginPacketBytes packet = net::build_login_packet(kLogin, key, net::LoginMode::TradeServer);
    trade.expect_raw(Bytes(packet.begin(), packet.end())).use_key(key);
    trade.send(Bytes{0, 0} + le16(kNarrowBarsBuild) + le32(kServerIdentity));
    const std::vector<market::WireBar22> narrow = {{kMonday, 120000, 30, -5, 10, 4}};
    trade.expect(sync_request()).send(bars_answer(narrow)).expect({13});
    trade.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    trade.finish();
    EXPECT_TRUE(trade.all_matched()) << trade.report();
    ASSERT_TRUE(eventually([this] { return !center_.synchronisation_running(); }));
    ASSERT_EQ(bars().size(), 1u);
    EXPECT_NEAR(bars()[0].high, 1.2003, 1e-9);
    EXPECT_NEAR(bars()[0].low, 1.19995, 1e-9);
}

TEST_F(HistorySyncTest, RefusedRequestIsRetriedAndNothingNewClearsTheFlag) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    add_separate_history_login(history);
    // Code 3 fails the attempt; the flag stays and the next pass asks again on the same
    // connection, where code 1 says there is nothing new.
    history.expect(sync_request()).send({3}).expect(sync_request()).send({1}).expect({13});
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    history.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    ASSERT_TRUE(eventually([this] { return !center_.synchronisation_running(); }));
    EXPECT_TRUE(synchronised());
    EXPECT_TRUE(bars().empty());
    EXPECT_EQ(lines_containing("HistoryCenter: synchronize 'EURUSD60'"), 2u);
    EXPECT_EQ(lines_containing("bars imported"), 0u);
    EXPECT_EQ(chart_notifications(), 0u);
}

TEST_F(HistorySyncTest, BlockOfBrokenBarsIsNotImported) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    add_separate_history_login(history);
    history.expect(sync_request()).send(Bytes{0} + le32(kTimeSign) + compressed(Bytes(27, 1)));
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    history.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    ASSERT_TRUE(eventually([&] { return lines_containing("Read failed") >= 1; }));
    EXPECT_TRUE(bars().empty());
    EXPECT_FALSE(synchronised());
    EXPECT_EQ(lines_containing("bars imported"), 0u);
}

TEST_F(HistorySyncTest, HistoryHeldIsDescribedInTheRequest) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    add_separate_history_login(history);
    const std::vector<market::WireBar28> first = {{kMonday, 110000, 0, 0, 0, 1}, {kMonday + kHour, 110000, 0, 0, 0, 1}};
    history.expect(sync_request()).send(bars_answer(first));
    history.expect(sync_request(kMonday, kMonday + kHour, kTimeSign)).send({1}).expect({13});
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    ASSERT_TRUE(eventually([this] { return synchronised(); }));
    center_.synchronise("EURUSD", 60);
    history.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
}

TEST_F(HistorySyncTest, RefusedLoginIsJournaledAndTheFlagStays) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    history.expect_raw(history_login_packet()).use_key(net::login_key(net::LoginMode::HistoryServer, ""));
    history.send({65});
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    history.finish();
    EXPECT_TRUE(history.all_matched()) << history.report();
    const std::string line = "HistoryCenter: '1234' cannot login to: " + history.address();
    ASSERT_TRUE(eventually([&] { return lines_containing(line) >= 1; }));
    // The server is gone now: the attempts that can't connect go unjournaled.
    const uint64_t slept = clock_.total_slept_ms();
    ASSERT_TRUE(eventually([&] { return clock_.total_slept_ms() > slept + 20000; }));
    EXPECT_EQ(lines_containing(line), 1u);
    EXPECT_FALSE(synchronised());
    EXPECT_TRUE(center_.synchronisation_running());
}

TEST_F(HistorySyncTest, SecuredLoginWithoutAKeyIsJournaled) {
    FakeServer history;
    set_account(kLogin, kPassword, "127.0.0.1:1", 1, history.address());
    history.expect_raw(history_login_packet()).use_key(net::login_key(net::LoginMode::HistoryServer, ""));
    history.send({11});
    history.start();

    center_.open("EURUSD", 60);
    center_.synchronise("EURUSD", 60);
    history.finish();
    ASSERT_TRUE(eventually([&] { return lines_containing("HistoryCenter: '1234'public key not found") >= 1; }));
}

}  // namespace
}  // namespace kb::session::test
