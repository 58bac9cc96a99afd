#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "config/accounts_base.h"
#include "core/fixed_text.h"
#include "config/terminal_config.h"
#include "net/scramble.h"
#include "tests/config/config_test_support.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/recording_sound_player.h"
#include "tests/support/temp_folder.h"

namespace kb::config {
namespace {

AccountSnapshot account(int32_t login, const char* password = "pw", const char* name = "Holder") {
    AccountSnapshot snapshot{};
    snapshot.login = login;
    core::set_field_text(snapshot.password, password);
    core::set_field_text(snapshot.name, name);
    core::set_field_text(snapshot.server, "Broker-Live");
    snapshot.balance = 1000.0;
    snapshot.account_data_564[100] = 0x3C;
    return snapshot;
}

std::vector<uint8_t> scrambled(std::vector<AccountSnapshot> accounts) {
    platform::SeededRandom random(1);
    return serialize_accounts(accounts, random);
}

class AccountsBaseTest : public ::testing::Test {
protected:
    AccountsBaseTest() { config.load_all(BrandingServer::Absent); }

    void set_keep_personal_data(int32_t keep) {
        LoginRecord login = config.login_record();
        login.keep_personal_data = keep;
        config.set_login_record(login);
    }

    testing::TempFolder folder;
    platform::ManualClock clock;
    testing::RecordingSoundPlayer sound;
    testing::RecordingProcessStarter starter;
    platform::SeededRandom random{1};
    TerminalConfig config{folder.path(), clock, random, nullptr, sound, starter};
};

TEST(AccountsFile, EachRecordIsItsOwnChainWithASalt) {
    std::vector<AccountSnapshot> accounts = {account(1), account(2)};
    platform::SeededRandom random(1);
    std::vector<uint8_t> image = serialize_accounts(accounts, random);
    ASSERT_EQ(image.size(), 2u * 14240u);
    net::file_unscramble(std::span(image).subspan(14240));
    AccountSnapshot second;
    std::memcpy(&second, image.data() + 14240, sizeof second);
    EXPECT_EQ(second.login, 2);
    EXPECT_EQ(second.account_data_564[100], 0x3C);
}

TEST(AccountsFile, FirstBadRecordEndsTheLoadWithNothing) {
    AccountSnapshot no_login = account(0);
    AccountSnapshot no_name = account(3, "pw", "");
    AccountSnapshot negative = account(4);
    negative.balance = -0.01;
    for (const AccountSnapshot& bad : {no_login, no_name, negative}) {
        EXPECT_TRUE(parse_accounts(scrambled({account(1), bad, account(2)})).empty());
    }
    EXPECT_EQ(parse_accounts(scrambled({account(1), account(2)})).size(), 2u);
}

TEST(AccountsFile, PartialTrailingRecordAndExtraRecordsAreIgnored) {
    std::vector<uint8_t> image = scrambled({account(1)});
    image.resize(image.size() + 14239, 0x55);
    EXPECT_EQ(parse_accounts(image).size(), 1u);

    std::vector<AccountSnapshot> many;
    for (int32_t login = 1; login <= 70; ++login) many.push_back(account(login));
    EXPECT_EQ(parse_accounts(scrambled(many)).size(), 64u);
}

TEST(AccountsFile, LoadTerminatesTexts) {
    AccountSnapshot stored = account(1);
    std::memset(stored.password, 'p', sizeof stored.password);
    std::memset(stored.server, 's', sizeof stored.server);
    std::memset(stored.name, 'n', sizeof stored.name);
    stored.text_end_563 = 'x';
    std::vector<AccountSnapshot> loaded = parse_accounts(scrambled({stored}));
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(core::field_text(loaded[0].password).size(), 15u);
    EXPECT_EQ(core::field_text(loaded[0].server).size(), 127u);
    EXPECT_EQ(core::field_text(loaded[0].name).size(), 63u);
    EXPECT_EQ(loaded[0].text_end_563, '\0');
}

TEST_F(AccountsBaseTest, RoundTripThroughTheFile) {
    {
        AccountsBase accounts(folder.path(), config, random);
        EXPECT_TRUE(accounts.add_or_replace(account(11, "a")));
        EXPECT_TRUE(accounts.add_or_replace(account(12, "b")));
        EXPECT_TRUE(accounts.add_or_replace(account(11, "c")));
    }
    AccountsBase reloaded(folder.path(), config, random);
    ASSERT_EQ(reloaded.size(), 2u);
    EXPECT_EQ(core::field_text(reloaded.find(11)->password), "c");
    EXPECT_EQ(reloaded.at(1)->login, 12);
    EXPECT_EQ(reloaded.find(11)->account_data_564[100], 0x3C);

    struct stat info{};
    ASSERT_EQ(::stat(reloaded.file_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(AccountsBaseTest, TwoSavesOfTheSameAccountsDiffer) {
    AccountsBase accounts(folder.path(), config, random);
    accounts.add_or_replace(account(11));
    std::vector<uint8_t> first = test::file_bytes(accounts.file_path());
    accounts.save();
    std::vector<uint8_t> second = test::file_bytes(accounts.file_path());
    ASSERT_EQ(first.size(), 14240u);
    EXPECT_NE(first, second);
}

TEST_F(AccountsBaseTest, WithoutKeepPersonalDataTheFileIsDeleted) {
    AccountsBase accounts(folder.path(), config, random);
    accounts.add_or_replace(account(11));
    ASSERT_TRUE(platform::file_exists(accounts.file_path()));
    set_keep_personal_data(0);
    accounts.save();
    EXPECT_FALSE(platform::file_exists(accounts.file_path()));
    accounts.add_or_replace(account(12));
    EXPECT_FALSE(platform::file_exists(accounts.file_path()));
    EXPECT_EQ(accounts.size(), 2u) << "kept in memory for this run";
}

TEST_F(AccountsBaseTest, AddRefusesInvalidRecordsAndTheSixtyFifth) {
    AccountsBase accounts(folder.path(), config, random);
    AccountSnapshot negative = account(5);
    negative.balance = -1;
    EXPECT_FALSE(accounts.add_or_replace(account(0)));
    EXPECT_FALSE(accounts.add_or_replace(account(5, "")));
    EXPECT_FALSE(accounts.add_or_replace(account(5, "pw", "")));
    EXPECT_FALSE(accounts.add_or_replace(negative));
    for (int32_t login = 1; login <= 64; ++login) ASSERT_TRUE(accounts.add_or_replace(account(login)));
    EXPECT_FALSE(accounts.add_or_replace(account(65)));
    EXPECT_TRUE(accounts.add_or_replace(account(64, "new"))) << "replacing still works when full";
    EXPECT_EQ(accounts.size(), 64u);
    EXPECT_EQ(AccountsBase(folder.path(), config, random).size(), 64u);
}

TEST_F(AccountsBaseTest, RemoveClosesTheGap) {
    AccountsBase accounts(folder.path(), config, random);
    for (int32_t login : {1, 2, 3}) accounts.add_or_replace(account(login));
    EXPECT_TRUE(accounts.remove(2));
    EXPECT_FALSE(accounts.remove(2));
    EXPECT_EQ(accounts.at(1)->login, 3);
    EXPECT_EQ(AccountsBase(folder.path(), config, random).size(), 2u);
}

TEST_F(AccountsBaseTest, PasswordChangeRewritesTheSavedPassword) {
    AccountsBase accounts(folder.path(), config, random);
    accounts.add_or_replace(account(7, "old"));
    EXPECT_TRUE(accounts.update_password(7, "new"));
    EXPECT_FALSE(accounts.update_password(8, "x"));
    EXPECT_EQ(core::field_text(AccountsBase(folder.path(), config, random).find(7)->password), "new");
}

TEST_F(AccountsBaseTest, RememberCurrentAccountSwitchesToTheSavedOne) {
    AccountsBase accounts(folder.path(), config, random);
    AccountSnapshot saved = account(22, "pw22");
    core::set_field_text(saved.account_server, "acct-22.example");
    accounts.add_or_replace(saved);

    LoginRecord login = config.login_record();
    login.login = 22;
    login.server_chosen = 0;
    core::set_field_text(login.account_server, "acct-old.example");
    config.set_login_record(login);

    AccountSnapshot trade_snapshot = account(21, "pw21");
    EXPECT_TRUE(accounts.remember_current_account(trade_snapshot));
    EXPECT_EQ(trade_snapshot.login, 22);
    EXPECT_EQ(config.login_record().server_chosen, 1);
    EXPECT_EQ(core::field_text(config.login_record().account_server), "acct-22.example");

    std::optional<AccountSnapshot> remembered = accounts.find(21);
    ASSERT_TRUE(remembered);
    EXPECT_EQ(remembered->remembered, 1);
    EXPECT_EQ(core::field_text(remembered->account_server), "acct-old.example");
}

TEST_F(AccountsBaseTest, RememberCurrentAccountWithoutASavedOneKeepsTheSnapshot) {
    AccountsBase accounts(folder.path(), config, random);
    LoginRecord login = config.login_record();
    login.login = 30;
    config.set_login_record(login);
    AccountSnapshot trade_snapshot = account(29);
    EXPECT_FALSE(accounts.remember_current_account(trade_snapshot));
    EXPECT_EQ(trade_snapshot.login, 29);
    EXPECT_TRUE(accounts.find(29));
}

}  // namespace
}  // namespace kb::config
