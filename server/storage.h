#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/digest.h"
#include "server/sqlite_database.h"

namespace kb::server {

struct AccountRow {
    int32_t login = 0;
    net::Md5Digest password_digest{};   // MD5 of the password: the connection key of its logins
    net::Md5Digest investor_digest{};   // MD5 of the read-only (investor) password
    std::string name;
    std::string group;
    double balance = 0;
    double credit = 0;
    int leverage = 100;
    bool enabled = true;
    int64_t created = 0;              // server time
    int64_t last_login_time = 0;      // 0 before the first login
    uint32_t last_login_address = 0;  // IPv4, lowest byte first as in a dotted address
};

struct MailRow {
    int64_t id = 0;
    int32_t to = 0;        // recipient login
    std::string from;      // sender's name
    std::string subject;
    std::string body;
    int64_t time = 0;
    bool delivered = false;
};

struct NewsRow {
    int64_t id = 0;
    int64_t time = 0;
    std::string subject;
    std::string category;
    std::string body;
};

// Order types as they travel in trade records.
enum class TradeType : int { Buy = 0, Sell = 1, BuyLimit = 2, SellLimit = 3, BuyStop = 4, SellStop = 5, Balance = 6, Credit = 7 };

struct TradeRow {
    int64_t ticket = 0;
    int32_t login = 0;
    std::string symbol;      // empty for balance and credit operations
    TradeType type = TradeType::Buy;
    int volume = 0;          // hundredths of a lot
    int64_t open_time = 0;
    double open_price = 0;
    double stop_loss = 0;
    double take_profit = 0;
    int64_t close_time = 0;  // 0 while open
    double close_price = 0;
    double commission = 0;
    double swap = 0;
    double profit = 0;
    std::string comment;
    int64_t expiration = 0;
};

struct CrashLogRow {
    int64_t id = 0;
    int32_t login = 0;
    int64_t time = 0;
    uint32_t address = 0;
    std::vector<uint8_t> content;
};

// The server's persistent state in one SQLite file: accounts, mail, news, trades and
// received crash logs. The schema is created or migrated when the file is opened.
// Thread-safe: one lock serialises every call on the single connection. Every failure
// returns false, nullopt or an empty list and leaves last_error() set; nothing throws.
class Storage {
public:
    // Opens (creating when missing) and migrates the database; null with error set when
    // the file can't be opened or its schema is newer than this program knows.
    static std::unique_ptr<Storage> open(const std::string& path, std::string& error);

    static constexpr int kSchemaVersion = 1;

    // ---- accounts ----
    // Adds an account and, when deposit is above 0, its first deposit (a balance
    // operation at the account's creation time) in one transaction. False, with nothing
    // added, when the login exists or is not positive or the database fails.
    bool create_account(const AccountRow& account, double deposit = 0);
    std::optional<AccountRow> account(int32_t login);
    // The lowest unused login at or above from (new demo accounts).
    int32_t next_free_login(int32_t from);
    bool set_enabled(int32_t login, bool enabled);
    bool set_passwords(int32_t login, const net::Md5Digest& password, const net::Md5Digest& investor);
    bool record_login(int32_t login, int64_t time, uint32_t address);
    // Login and name of up to limit enabled accounts of a group other than except, by login.
    std::vector<std::pair<int32_t, std::string>> group_members(const std::string& group, int32_t except,
                                                               size_t limit);

    // Adds a balance (or credit) operation and changes the account's balance (credit) by
    // amount in one transaction. Returns the operation's ticket; nullopt when the account
    // doesn't exist or the database fails (then nothing changed).
    std::optional<int64_t> add_balance_operation(int32_t login, TradeType type, double amount,
                                                 const std::string& comment, int64_t time);

    // ---- trades ----
    std::optional<int64_t> insert_trade(const TradeRow& trade);   // ticket of the new trade
    bool update_trade(const TradeRow& trade);                      // by ticket
    // Marks the trade closed (its close fields as given) and adds commission + swap +
    // profit to the balance in one transaction.
    bool close_trade(const TradeRow& closed);
    std::optional<TradeRow> trade(int64_t ticket);
    std::vector<TradeRow> open_trades(int32_t login);
    // Closed trades and balance operations with close time in [from, to).
    std::vector<TradeRow> closed_trades(int32_t login, int64_t from, int64_t to);

    // ---- mail and news ----
    std::optional<int64_t> add_mail(const MailRow& mail);
    std::vector<MailRow> undelivered_mail(int32_t login);
    bool mark_mail_delivered(int64_t id);
    std::optional<int64_t> add_news(const NewsRow& news);
    std::optional<NewsRow> news(int64_t id);
    // Up to limit items with an id above after_id, oldest first.
    std::vector<NewsRow> news_after(int64_t after_id, size_t limit);
    // The newest limit items posted after time, oldest first.
    std::vector<NewsRow> news_since(int64_t time, size_t limit);
    // The highest news id; 0 when there is none.
    int64_t last_news_id();

    // ---- crash logs ----
    std::optional<int64_t> add_crash_log(const CrashLogRow& log);
    std::vector<CrashLogRow> crash_logs(int32_t login);

    std::string last_error();

private:
    Storage() = default;
    bool migrate();
    std::optional<int64_t> insert_trade_locked(const TradeRow& trade);
    std::optional<int64_t> add_balance_operation_locked(int32_t login, TradeType type, double amount,
                                                        const std::string& comment, int64_t time);
    bool change_balance_locked(int32_t login, TradeType type, double amount);

    std::mutex lock_;
    SqliteDatabase db_;
};

}  // namespace kb::server
