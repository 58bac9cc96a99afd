#include "session/account_history_download.h"

#include "core/notifications.h"
#include "tests/session/session_fixture.h"
#include "trade/trade_base.h"

namespace kb::session::test {
namespace {

constexpr trade::HistoryRange kRange{1796000000, 1796086400};

trade::TradeRecord closed(int32_t ticket, int32_t type, double profit) {
    trade::TradeRecord record{};
    record.ticket = ticket;
    record.type = type;
    record.profit = profit;
    record.close_time = kRange.from + ticket;
    return record;
}

Bytes history_request(const trade::HistoryRange& range) {
    return Bytes{34} + le32(static_cast<uint32_t>(range.from)) + le32(static_cast<uint32_t>(range.to));
}

Bytes records_answer(const std::vector<trade::TradeRecord>& records) {
    Bytes plain(records.size() * sizeof(trade::TradeRecord));
    if (!records.empty()) std::memcpy(plain.data(), records.data(), plain.size());
    return Bytes{0} + compressed(plain);
}

class AccountHistoryDownloadTest : public SessionFixture {
protected:
    AccountHistoryDownloadTest() {
        const trade::TradeRecord kept[] = {closed(1, trade::kBalance, 100)};
        trades_.set_history(kept);
    }

    std::vector<int32_t> history_tickets() {
        std::vector<int32_t> tickets;
        for (const trade::TradeRecord& record : trades_.history()) tickets.push_back(record.ticket);
        return tickets;
    }

    trade::TradeBase trades_{nullptr, nullptr, nullptr, clock_};
    AccountHistoryDownload download_{{.config = config_,
                                       .servers = servers_,
                                       .journal = journal_,
                                       .trades = trades_,
                                       .notifier = &notifier_,
                                       .stream_clock = clock_}};
};

TEST_F(AccountHistoryDownloadTest, ReplacesTheHistoryFromItsOwnConnectionAndQuits) {
    testing::FakeServer server;
    add_login(server);
    server.expect(history_request(kRange))
        .send(records_answer({closed(30, trade::kSell, -5), closed(20, trade::kBuy, 12)}))
        .expect({13});
    server.start();
    set_account(kLogin, kPassword, server.address());

    ASSERT_TRUE(download_.download(kRange));
    download_.wait();
    server.finish();

    EXPECT_TRUE(server.all_matched()) << server.report();
    EXPECT_EQ(history_tickets(), (std::vector<int32_t>{20, 30}));
    EXPECT_TRUE(
        notifier_.contains(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Downloaded)));
}

TEST_F(AccountHistoryDownloadTest, AFailedRequestAfterLoginEmptiesTheHistory) {
    const std::pair<const char*, Bytes> answers[] = {
        {"refusal", Bytes{3}},
        {"records of a broken size", Bytes{0} + compressed(Bytes(sizeof(trade::TradeRecord) + 1, 0))},
    };
    for (const auto& [name, answer] : answers) {
        trades_.set_history(std::vector<trade::TradeRecord>{closed(1, trade::kBalance, 100)});
        testing::FakeServer server;
        add_login(server);
        server.expect(history_request(kRange)).send(answer);
        server.start();
        set_account(kLogin, kPassword, server.address());

        ASSERT_TRUE(download_.download(kRange)) << name;
        download_.wait();
        server.finish();

        EXPECT_TRUE(server.all_matched()) << name << server.report();
        EXPECT_TRUE(history_tickets().empty()) << name;
    }
    EXPECT_EQ(notifier_.posted().size(), 2u);
}

TEST_F(AccountHistoryDownloadTest, LoginFailuresAreJournaledAndKeepTheHistory) {
    const std::pair<int, std::string> cases[] = {
        {65, "AccountHistory: '1234' cannot login to: "},
        {11, "AccountHistory: '1234'public key was not found"},
    };
    for (const auto& [code, line] : cases) {
        testing::FakeServer server;
        add_login(server, code);
        server.start();
        set_account(kLogin, kPassword, server.address());

        ASSERT_TRUE(download_.download(kRange)) << code;
        download_.wait();
        server.finish();

        EXPECT_EQ(lines_containing(line), 1u) << code << ::testing::PrintToString(lines());
        EXPECT_EQ(history_tickets(), (std::vector<int32_t>{1})) << code;
    }
    EXPECT_EQ(lines_containing("cannot login to: 127.0.0.1:"), 1u);
    EXPECT_TRUE(notifier_.posted().empty());
}

TEST_F(AccountHistoryDownloadTest, AServerThatCanNotBeReachedIsJournaledAndKeepsTheHistory) {
    testing::FakeServer gone;
    const std::string address = gone.address();
    gone.finish();   // the listener closes with it
    set_account(kLogin, kPassword, address);

    ASSERT_TRUE(download_.download(kRange));
    download_.wait();

    EXPECT_EQ(lines_containing("AccountHistory: cannot connect to: " + address), 1u) << ::testing::PrintToString(lines());
    EXPECT_EQ(history_tickets(), (std::vector<int32_t>{1}));
}

TEST_F(AccountHistoryDownloadTest, AnEmptyOrBackwardRangeConnectsNowhereAndEmptiesTheHistory) {
    set_account(kLogin, kPassword, "127.0.0.1:1");
    for (trade::HistoryRange range : {trade::HistoryRange{kRange.from, kRange.from}, trade::HistoryRange{kRange.to, kRange.from},
                                      trade::HistoryRange{-1, kRange.to}}) {
        trades_.set_history(std::vector<trade::TradeRecord>{closed(1, trade::kBalance, 100)});
        ASSERT_TRUE(download_.download(range));
        EXPECT_FALSE(download_.running());
        EXPECT_TRUE(history_tickets().empty());
    }
    EXPECT_EQ(lines_containing("AccountHistory"), 0u);
    EXPECT_EQ(notifier_.posted().size(), 3u);
}

TEST_F(AccountHistoryDownloadTest, AnAccountWithoutServerPasswordOrLoginDownloadsNothing) {
    const std::tuple<int32_t, const char*, std::string> accounts[] = {
        {kLogin, kPassword, ""}, {kLogin, "", "127.0.0.1:1"}, {0, kPassword, "127.0.0.1:1"}, {-4, kPassword, "127.0.0.1:1"}};
    for (const auto& [login, password, server] : accounts) {
        set_account(login, password, server);
        EXPECT_FALSE(download_.download(kRange)) << login << " '" << password << "' " << server;
    }
    EXPECT_EQ(history_tickets(), (std::vector<int32_t>{1}));
    EXPECT_TRUE(lines().empty());
}

}  // namespace
}  // namespace kb::session::test
