#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>

#include "net/digest.h"
#include "server/storage.h"
#include "tests/server/run_process.h"
#include "tests/support/temp_folder.h"

namespace kb::server {
namespace {

using testing::ProcessResult;
using testing::run_process;

// Runs the built program on a database in a fresh folder, with the shipped configuration.
class AdminCommands : public ::testing::Test {
protected:
    // input is the program's standard input: create-account reads its passwords there.
    ProcessResult run(std::vector<std::string> arguments, const std::string& input = {}) {
        arguments.insert(arguments.begin(), {DEMO_SERVER_PATH});
        arguments.insert(arguments.begin() + 2, {"--db", db_path, "--config", DEFAULT_CONFIG_PATH});
        return run_process(arguments, input);
    }

    std::unique_ptr<Storage> open_db() {
        std::string error;
        std::unique_ptr<Storage> storage = Storage::open(db_path, error);
        EXPECT_TRUE(storage) << error;
        return storage;
    }

    kb::testing::TempFolder folder;
    const std::string db_path = folder.file("demo.db");
};

TEST_F(AdminCommands, CreateAccountWithDepositIsStored) {
    ProcessResult result = run({"create-account", "--login", "5001", "--group", "demo-market", "--name",
                                "Ann Example", "--deposit", "2500.50"},
                               "pass123\nlook123\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "account 5001 created in group demo-market with balance 2500.50 USD\n");

    auto storage = open_db();
    std::optional<AccountRow> account = storage->account(5001);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->password_digest, net::md5("pass123"));
    EXPECT_EQ(account->investor_digest, net::md5("look123"));
    EXPECT_EQ(account->group, "demo-market");
    EXPECT_EQ(account->name, "Ann Example");
    EXPECT_EQ(account->leverage, 200) << "the group's leverage";
    EXPECT_DOUBLE_EQ(account->balance, 2500.5);
    std::vector<TradeRow> operations = storage->closed_trades(5001, 0, INT32_MAX);
    ASSERT_EQ(operations.size(), 1u);
    EXPECT_EQ(operations[0].type, trade::kBalance);
}

TEST_F(AdminCommands, PasswordFileIsTakenOnlyWhenNoOneElseMayReadIt) {
    const std::string path = folder.file("passwords");
    {
        std::ofstream file(path);
        file << "pass456\r\nlook456\r\n";
    }
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ProcessResult shared = run({"create-account", "--login", "5005", "--password-file", path});
    EXPECT_EQ(shared.exit_code, 1);
    EXPECT_NE(shared.err.find("must be a file of yours that only you may read"), std::string::npos) << shared.err;
    EXPECT_FALSE(open_db()->account(5005));

    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    ProcessResult created = run({"create-account", "--login", "5005", "--password-file", path}, "ignored\n");
    ASSERT_EQ(created.exit_code, 0) << created.err;
    std::optional<AccountRow> account = open_db()->account(5005);
    ASSERT_TRUE(account);
    EXPECT_EQ(account->password_digest, net::md5("pass456"));
    EXPECT_EQ(account->investor_digest, net::md5("look456"));
}

TEST_F(AdminCommands, DepositNewsAndMailReachTheDatabase) {
    ASSERT_EQ(run({"create-account", "--login", "5002"}, "pass123\n").exit_code, 0);
    ProcessResult deposit = run({"deposit", "--login", "5002", "--amount", "1000"});
    ASSERT_EQ(deposit.exit_code, 0) << deposit.err;
    ProcessResult withdrawal = run({"deposit", "--login", "5002", "--amount", "-250"});
    ASSERT_EQ(withdrawal.exit_code, 0) << withdrawal.err;
    EXPECT_NE(withdrawal.out.find("balance 750.00"), std::string::npos) << withdrawal.out;
    ProcessResult news = run({"post-news", "--subject", "Markets open", "--body", "Trading resumes.", "--category", "Desk"});
    ASSERT_EQ(news.exit_code, 0) << news.err;
    ProcessResult mail = run({"send-mail", "--to", "5002", "--subject", "Hello", "--body", "Welcome aboard"});
    ASSERT_EQ(mail.exit_code, 0) << mail.err;

    auto storage = open_db();
    EXPECT_DOUBLE_EQ(storage->account(5002)->balance, 750);
    EXPECT_EQ(storage->closed_trades(5002, 0, INT32_MAX).size(), 2u);
    std::vector<NewsRow> items = storage->news_after(0, 10);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].subject, "Markets open");
    EXPECT_EQ(items[0].category, "Desk");
    std::vector<MailRow> letters = storage->undelivered_mail(5002);
    ASSERT_EQ(letters.size(), 1u);
    EXPECT_EQ(letters[0].body, "Welcome aboard");
}

TEST_F(AdminCommands, ErrorsExitNonZeroAndChangeNothing) {
    ASSERT_EQ(run({"create-account", "--login", "5003", "--deposit", "100"}, "pass123").exit_code, 0);
    struct Case {
        std::vector<std::string> arguments;
        std::string input;
        std::string message;
    };
    const Case cases[] = {
        {{"create-account", "--login", "5003"}, "x\n", "account 5003 exists"},
        {{"create-account", "--login", "abc"}, "x\n", "--login must be a number"},
        {{"create-account", "--login", "5004", "--group", "nope"}, "x\n", "group \"nope\" is not in"},
        {{"create-account", "--login", "5004"}, "0123456789abcdef\n", "the password is longer than 15"},
        {{"create-account", "--login", "5004"}, "secret1\n0123456789abcdef\n", "the investor password is longer than 15"},
        {{"create-account", "--login", "5004"}, "secret1\nlook1\nthird\n", "more than two lines of passwords"},
        {{"create-account", "--login", "5004"}, "", "no password"},
        {{"create-account", "--login", "5004"}, "\nlook1\n", "no password"},
        {{"create-account", "--login", "5004", "--password", "secret1"}, "", "not taken on the command line"},
        {{"create-account", "--login", "5004", "--investor-password", "look1"}, "secret1\n", "not taken on the command line"},
        {{"create-account", "--login", "5004", "--password-file", "/nonexistent/pw"}, "", "only you may read"},
        {{"deposit", "--login", "5003", "--amount", "-100.01"}, "", "exceeds the balance 100.00"},
        {{"deposit", "--login", "5003", "--amount", "1e400"}, "", "--amount must be a non-zero amount"},
        {{"deposit", "--login", "9999", "--amount", "5"}, "", "account 9999 does not exist"},
        {{"send-mail", "--to", "9999", "--subject", "s", "--body", "b"}, "", "account 9999 does not exist"},
        {{"post-news", "--subject", "", "--body", "b"}, "", "--subject must not be empty"},
        {{"deposit", "--login", "5003", "--amount", "5", "--colour", "red"}, "", "unknown option --colour for deposit"},
        {{"withdraw", "--login", "5003"}, "", "unknown command \"withdraw\""},
        {{"set-instrument", "--symbol", "NOPE", "--stops-level", "5"}, "", "instrument NOPE: not in the configuration"},
        {{"set-instrument", "--symbol", "EURUSD", "--execution", "fast"}, "", "\"fast\" is not a value of execution"},
        {{"set-group", "--group", "demo-market", "--requote-rate", "1.5"}, "", "is not a value of requote_rate"},
        {{"set-group", "--group", "demo-market", "--news", "2", "--leverage", "0"}, "", "is not a value of leverage"},
        {{"set-group", "--group", "demo-market"}, "", "give at least one setting"},
    };
    for (const auto& [arguments, input, message] : cases) {
        ProcessResult result = run(arguments, input);
        EXPECT_EQ(result.exit_code, 1) << arguments[0];
        EXPECT_NE(result.err.find(message), std::string::npos) << "expected \"" << message << "\" in " << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
    auto storage = open_db();
    EXPECT_DOUBLE_EQ(storage->account(5003)->balance, 100);
    EXPECT_FALSE(storage->account(5004));
    EXPECT_TRUE(storage->news_after(0, 10).empty());
    EXPECT_TRUE(storage->overrides().empty()) << "a refused setting stores none of its command's others";
}

TEST_F(AdminCommands, SettingsChangesAreStoredForTheRunningServer) {
    ProcessResult instrument = run({"set-instrument", "--symbol", "EURUSD", "--stops-level", "15", "--execution", "market"});
    ASSERT_EQ(instrument.exit_code, 0) << instrument.err;
    EXPECT_EQ(instrument.out, "instrument EURUSD: 2 setting(s) changed\n");
    ProcessResult group = run({"set-group", "--group", "demo-market", "--requote-rate", "0.25", "--dealer-delay-ms", "300"});
    ASSERT_EQ(group.exit_code, 0) << group.err;

    auto storage = open_db();
    EXPECT_EQ(storage->settings_version(), 2) << "one version per command, however many settings it changes";
    std::vector<SettingOverride> stored = storage->overrides();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0].kind, "group");
    EXPECT_EQ(stored[0].key, "dealer_delay_ms");
    EXPECT_EQ(stored[0].value, "300");
    EXPECT_EQ(stored[3].name, "EURUSD");
    EXPECT_EQ(stored[3].key, "stops_level");
}

TEST_F(AdminCommands, SettingsThatCantAllBeStoredLeaveNoneStored) {
    open_db();
    // The database refuses the second of the command's settings (options go in name order).
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(db_path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE INSERT ON setting_overrides WHEN NEW.key = 'requote_rate' "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    ProcessResult result = run({"set-group", "--group", "demo-market", "--leverage", "50", "--requote-rate", "0.2"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.err.find("settings not stored"), std::string::npos) << result.err;
    auto storage = open_db();
    EXPECT_TRUE(storage->overrides().empty()) << "the leverage was stored without the requote rate";
    EXPECT_EQ(storage->settings_version(), 0);
}

TEST_F(AdminCommands, HelpNamesTheDefaultAddresses) {
    ProcessResult result = run_process({DEMO_SERVER_PATH, "--help"});
    ASSERT_EQ(result.exit_code, 0);
    EXPECT_NE(result.out.find("127.0.0.1:4443"), std::string::npos);
    EXPECT_NE(result.out.find("127.0.0.1:4444"), std::string::npos);
}

}  // namespace
}  // namespace kb::server
