#include "trade/account_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kb::trade {
namespace {

AccountData sample_account() {
    AccountData account{};
    std::strcpy(account.group.name, "demo-usd");
    account.group.symbol_groups[3].spread_difference = 3;
    account.login = 5001;
    account.leverage = 100;
    account.balance = 10000.5;
    account.credit = 25;
    std::strcpy(account.name, "Ann Smith");
    account.first_login = 1;
    account.news_setting = kNewsOnRequest;
    account.history_server_version = 330;
    account.news_languages[0] = 1033;
    return account;
}

TradeRecord sample_trade(int32_t ticket) {
    TradeRecord trade{};
    trade.ticket = ticket;
    std::strcpy(trade.symbol, "EURUSD");
    trade.open_price = 1.2345;
    return trade;
}

TEST(AccountData, SplitsTheBlockIntoAccountAndTrades) {
    const std::vector<TradeRecord> trades = {sample_trade(7), sample_trade(8)};
    std::vector<uint8_t> block = build_account_data(sample_account(), trades);
    ASSERT_EQ(block.size(), 13824u + 2 * 224);

    std::optional<AccountDataReply> reply = parse_account_data(block);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->account.login, 5001);
    EXPECT_EQ(reply->account.balance, 10000.5);
    EXPECT_STREQ(reply->account.group.name, "demo-usd");
    EXPECT_EQ(reply->account.group.symbol_groups[3].spread_difference, 3);
    ASSERT_EQ(reply->open_trades.size(), 2u);
    EXPECT_EQ(reply->open_trades[1].ticket, 8);
    EXPECT_STREQ(reply->open_trades[1].symbol, "EURUSD");
}

TEST(AccountData, RefusesBlocksOfTheWrongSize) {
    std::vector<uint8_t> block = build_account_data(sample_account(), {});
    EXPECT_TRUE(parse_account_data(block).has_value());
    EXPECT_TRUE(parse_account_data(block)->open_trades.empty());

    const size_t wrong_sizes[] = {0, 13823, 13824 + 1, 13824 + 223, 13824 + 224 + 100};
    for (size_t size : wrong_sizes) {
        std::vector<uint8_t> bytes(size, 0);
        EXPECT_FALSE(parse_account_data(bytes).has_value()) << size;
    }
}

TEST(AccountData, ForcesTheTextTerminators) {
    AccountData account = sample_account();
    std::memset(account.name, 'x', sizeof(account.name));
    std::memset(account.group.name, 'g', sizeof(account.group.name));
    std::optional<AccountDataReply> reply = parse_account_data(build_account_data(account, {}));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(std::strlen(reply->account.name), 63u);
    EXPECT_EQ(std::strlen(reply->account.group.name), 19u);
}

TEST(AccountRecord, TakesTheServerFieldsAndKeepsTheConnectionFields) {
    AccountRecord record{};
    record.salt = 99;
    std::strcpy(record.password, "secret");
    std::strcpy(record.server, "Demo-Server");
    std::strcpy(record.account_server, "demo.example:443");
    record.remembered = 1;
    record.login = 1;
    record.balance = -5;

    AccountData account = sample_account();
    account.last_address[0] = 10;
    apply_account_data(record, account);

    EXPECT_EQ(record.salt, 99u);
    EXPECT_STREQ(record.password, "secret");
    EXPECT_STREQ(record.server, "Demo-Server");
    EXPECT_STREQ(record.account_server, "demo.example:443");
    EXPECT_EQ(record.remembered, 1);
    EXPECT_EQ(record.login, 5001);
    EXPECT_EQ(record.leverage, 100);
    EXPECT_EQ(record.balance, 10000.5);
    EXPECT_EQ(record.credit, 25);
    EXPECT_STREQ(record.name, "Ann Smith");
    EXPECT_EQ(record.news_setting, kNewsOnRequest);
    EXPECT_EQ(record.news_languages[0], 1033);
    EXPECT_EQ(record.history_server_version, 330);
    EXPECT_EQ(record.last_address[0], 10);
    EXPECT_STREQ(record.group.name, "demo-usd");
    EXPECT_EQ(record.group.symbol_groups[3].spread_difference, 3);
}

TEST(AccountRecord, SavedAccountBytesReadTheSameFields) {
    AccountRecord record{};
    apply_account_data(record, sample_account());
    std::strcpy(record.password, "pw");

    config::AccountSnapshot snapshot;
    std::memcpy(&snapshot, &record, sizeof(snapshot));
    EXPECT_EQ(snapshot.login, 5001);
    EXPECT_STREQ(snapshot.password, "pw");
    EXPECT_STREQ(snapshot.name, "Ann Smith");
    EXPECT_EQ(snapshot.balance, 10000.5);
}

TEST(AccountData, PreviousAuthorizationNeedsFirstLoginZeroAndAnAddress) {
    struct Case {
        int32_t first_login;
        uint8_t address[4];
        bool reported;
    };
    const Case cases[] = {
        {0, {192, 168, 1, 10}, true},
        {0, {0, 0, 0, 1}, true},
        {0, {0, 0, 0, 0}, false},
        {1, {192, 168, 1, 10}, false},
    };
    for (const Case& c : cases) {
        AccountData account = sample_account();
        account.first_login = c.first_login;
        std::memcpy(account.last_address, c.address, 4);
        EXPECT_EQ(reports_previous_authorization(account), c.reported) << dotted_address(c.address);
    }
}

TEST(AccountData, DottedAddressWritesTheFirstByteFirst) {
    const uint8_t address[4] = {192, 168, 1, 10};
    EXPECT_EQ(dotted_address(address), "192.168.1.10");
    const uint8_t widest[4] = {255, 255, 255, 255};
    EXPECT_EQ(dotted_address(widest), "255.255.255.255");
}

}  // namespace
}  // namespace kb::trade
