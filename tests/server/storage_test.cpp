#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include "net/digest.h"
#include "server/storage.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

AccountRow sample_account(int32_t login) {
    AccountRow account;
    account.login = login;
    account.password_digest = net::md5("secret1");
    account.investor_digest = net::md5("reader1");
    account.name = "Test Trader";
    account.group = "demoforex";
    account.leverage = 200;
    account.created = 1'700'000'000;
    return account;
}

std::unique_ptr<Storage> open_storage(const std::string& path) {
    std::string error;
    std::unique_ptr<Storage> storage = Storage::open(path, error);
    EXPECT_TRUE(storage) << error;
    return storage;
}

TEST(Storage, StateSurvivesReopening) {
    testing::TempFolder folder;
    const std::string path = folder.file("server.db");
    int64_t open_ticket = 0;
    {
        auto storage = open_storage(path);
        ASSERT_TRUE(storage);
        ASSERT_TRUE(storage->create_account(sample_account(1001)));
        ASSERT_TRUE(storage->add_balance_operation(1001, trade::kBalance, 5000, "Deposit", 1'700'000'100));
        TradeRow trade;
        trade.login = 1001;
        trade.symbol = "EURUSD";
        trade.type = trade::kSell;
        trade.volume = 150;
        trade.open_time = 1'700'000'200;
        trade.open_price = 1.08551;
        trade.stop_loss = 1.09;
        trade.comment = "hedge";
        open_ticket = storage->insert_trade(trade).value_or(0);
        ASSERT_GT(open_ticket, 0);
        ASSERT_TRUE(storage->add_mail(MailRow{0, 1001, "Desk", "Welcome", "Hello", 1'700'000'300, false}));
        ASSERT_TRUE(storage->add_news(NewsRow{0, 1'700'000'400, "Rates", "Economy", "Unchanged"}));
        ASSERT_EQ(storage->add_crash_log(CrashLogRow{0, 1001, 1'700'000'500, 0x0100007F, {1, 2, 0, 3}}),
                  CrashLogStored::Yes);
        ASSERT_TRUE(storage->record_login(1001, 1'700'000'600, 0x0100007F));
    }
    auto storage = open_storage(path);
    ASSERT_TRUE(storage);
    std::optional<AccountRow> account = storage->account(1001);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->password_digest, net::md5("secret1"));
    EXPECT_EQ(account->investor_digest, net::md5("reader1"));
    EXPECT_EQ(account->name, "Test Trader");
    EXPECT_EQ(account->leverage, 200);
    EXPECT_DOUBLE_EQ(account->balance, 5000);
    EXPECT_TRUE(account->enabled);
    EXPECT_EQ(account->last_login_time, 1'700'000'600);
    EXPECT_EQ(account->last_login_address, 0x0100007Fu);

    std::vector<TradeRow> open = storage->open_trades(1001);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].ticket, open_ticket);
    EXPECT_EQ(open[0].type, trade::kSell);
    EXPECT_EQ(open[0].volume, 150);
    EXPECT_DOUBLE_EQ(open[0].open_price, 1.08551);
    EXPECT_EQ(open[0].comment, "hedge");
    std::vector<TradeRow> closed = storage->closed_trades(1001, 0, 2'000'000'000);
    ASSERT_EQ(closed.size(), 1u);
    EXPECT_EQ(closed[0].type, trade::kBalance);
    EXPECT_DOUBLE_EQ(closed[0].profit, 5000);

    std::vector<MailRow> mail = storage->undelivered_mail(1001);
    ASSERT_EQ(mail.size(), 1u);
    EXPECT_EQ(mail[0].subject, "Welcome");
    std::vector<NewsRow> news = storage->news_after(0, 10);
    ASSERT_EQ(news.size(), 1u);
    EXPECT_EQ(news[0].body, "Unchanged");
    std::vector<CrashLogRow> logs = storage->crash_logs(1001);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].content, (std::vector<uint8_t>{1, 2, 0, 3})) << "binary content kept whole";
}

TEST(Storage, ClosingATradeMovesTheBalanceOnce) {
    testing::TempFolder folder;
    auto storage = open_storage(folder.file("server.db"));
    ASSERT_TRUE(storage && storage->create_account(sample_account(7)));
    TradeRow trade;
    trade.login = 7;
    trade.symbol = "GBPUSD";
    trade.volume = 100;
    trade.open_time = 100;
    trade.ticket = storage->insert_trade(trade).value_or(0);
    trade.close_time = 200;
    trade.close_price = 1.3;
    trade.profit = 120;
    trade.commission = -7;
    trade.swap = -3;
    ASSERT_TRUE(storage->close_trade(trade));
    EXPECT_FALSE(storage->close_trade(trade)) << "a closed trade can't be closed again";
    EXPECT_DOUBLE_EQ(storage->account(7)->balance, 110);
    EXPECT_TRUE(storage->open_trades(7).empty());
    EXPECT_EQ(storage->closed_trades(7, 200, 201).size(), 1u);
    EXPECT_TRUE(storage->closed_trades(7, 0, 200).empty()) << "the range's end is excluded";
}

TEST(Storage, RefusedChangesLeaveNothingBehind) {
    testing::TempFolder folder;
    auto storage = open_storage(folder.file("server.db"));
    ASSERT_TRUE(storage && storage->create_account(sample_account(5)));
    EXPECT_FALSE(storage->create_account(sample_account(5), 100)) << "duplicate login";
    EXPECT_DOUBLE_EQ(storage->account(5)->balance, 0) << "the refused account's deposit is not booked";
    EXPECT_TRUE(storage->closed_trades(5, 0, 2'000'000'000).empty());
    ASSERT_TRUE(storage->create_account(sample_account(8), 250));
    EXPECT_DOUBLE_EQ(storage->account(8)->balance, 250);
    EXPECT_EQ(storage->closed_trades(8, 0, 2'000'000'000).size(), 1u);
    EXPECT_FALSE(storage->create_account(sample_account(0))) << "login must be positive";
    EXPECT_FALSE(storage->add_balance_operation(6, trade::kBalance, 100, "Deposit", 1)) << "no such account";
    EXPECT_TRUE(storage->closed_trades(6, 0, 2'000'000'000).empty()) << "no orphan balance operation";
    EXPECT_FALSE(storage->set_enabled(6, false));
    ASSERT_TRUE(storage->set_enabled(5, false));
    EXPECT_FALSE(storage->account(5)->enabled);
}

TEST(Storage, NextFreeLoginFindsTheFirstGap) {
    testing::TempFolder folder;
    auto storage = open_storage(folder.file("server.db"));
    ASSERT_TRUE(storage);
    EXPECT_EQ(storage->next_free_login(1000), 1000);
    for (int32_t login : {1000, 1001, 1003}) ASSERT_TRUE(storage->create_account(sample_account(login)));
    EXPECT_EQ(storage->next_free_login(1000), 1002);
    EXPECT_EQ(storage->next_free_login(1003), 1004);
}

TEST(Storage, RefusesASchemaFromANewerServer) {
    testing::TempFolder folder;
    const std::string path = folder.file("server.db");
    ASSERT_TRUE(open_storage(path));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    std::string error;
    EXPECT_FALSE(Storage::open(path, error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
}

TEST(Storage, FileIsPrivateAndInWriteAheadMode) {
    testing::TempFolder folder;
    const std::string path = folder.file("server.db");
    auto storage = open_storage(path);
    ASSERT_TRUE(storage);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "password digests are kept in it";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "wal");
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST(Storage, DamagedFileIsAnErrorNotACrash) {
    testing::TempFolder folder;
    const std::string path = folder.file("server.db");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    std::fputs("this is not a database, just some text that is long enough to look like a header....", file);
    std::fclose(file);
    std::string error;
    EXPECT_FALSE(Storage::open(path, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kb::server
