#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "net/digest.h"
#include "market/point_bar.h"
#include "server/sqlite_database.h"

namespace kb::server {

using market::PointBar;

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
    double margin_rate = 1;  // margin currency to deposit currency, fixed when the position opened
};

// One series of chart bars to store. Bars are stored in chunks of kBarsPerChunk periods of
// time: the bars given replace the stored chunks they fall in, so they must hold every bar
// from the start of the first chunk they touch (bar_chunk_start). Stored chunks before the
// chunk of keep_from are removed.
struct BarSeriesWrite {
    std::string symbol;
    int32_t period = 0;
    std::vector<PointBar> bars;
    int32_t keep_from = 0;
};

// A configuration value changed by the admin: kind "instrument" or "group", the item's
// name, the setting's key and its value as text (checked before it is stored).
struct SettingOverride {
    std::string kind;
    std::string name;
    std::string key;
    std::string value;
};

// The changes of one deal, written together: existing trades rewritten whole (a close sets
// their close fields), new trades inserted (their tickets are filled in on success), the
// balance moved by balance_change.
struct DealWrite {
    int32_t login = 0;
    std::vector<TradeRow> updated;
    std::vector<TradeRow> inserted;
    double balance_change = 0;
};

// A stored trade transaction (272 bytes as pushed with command 155) for an account.
struct TransactionRow {
    int64_t id = 0;
    std::vector<uint8_t> record;
};

struct CrashLogRow {
    int64_t id = 0;
    int32_t login = 0;
    int64_t time = 0;
    uint32_t address = 0;
    std::vector<uint8_t> content;
};

enum class CrashLogStored { Yes, AccountFull, Failed };

// The server's persistent state in one SQLite file: accounts, mail, news, trades and
// received crash logs. The schema is created or migrated when the file is opened.
// Thread-safe: one lock serialises every call on the single connection. Every failure
// returns false, nullopt or an empty list and leaves last_error() set; nothing throws.
class Storage {
public:
    // Opens (creating when missing) and migrates the database; null with error set when
    // the file can't be opened or its schema is newer than this program knows.
    static std::unique_ptr<Storage> open(const std::string& path, std::string& error);

    static constexpr int kSchemaVersion = 3;

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
    // Open positions and pending orders of every account in a symbol, by ticket.
    std::vector<TradeRow> open_trades_of_symbol(const std::string& symbol);
    // Closed trades and balance operations with close time in [from, to).
    std::vector<TradeRow> closed_trades(int32_t login, int64_t from, int64_t to);

    // Writes a deal in one transaction; false, with nothing changed, when a row to update
    // is missing or the database fails.
    bool commit_deal(DealWrite& deal);

    // ---- trade transactions pushed to the account's terminal ----
    std::optional<int64_t> add_transaction(int32_t login, std::span<const uint8_t> record);
    // Up to limit transactions of the login with an id above after_id, oldest first.
    std::vector<TransactionRow> transactions_after(int32_t login, int64_t after_id, size_t limit);
    // The highest transaction id of any account; 0 when there is none.
    int64_t last_transaction_id();

    // ---- chart bars ----
    static constexpr int64_t kBarsPerChunk = 1024;
    // The open time of the chunk that holds a bar of that period (minutes) and time.
    static int32_t bar_chunk_start(int32_t period, int32_t time);
    // Writes every series in one transaction.
    bool save_bars(std::span<const BarSeriesWrite> series);
    // The newest limit bars of a series, oldest first.
    std::vector<PointBar> load_bars(const std::string& symbol, int32_t period, size_t limit);
    // A named number of the server's own (the chart history's time sign); nullopt when unset.
    std::optional<int64_t> server_value(const std::string& key);
    bool set_server_value(const std::string& key, int64_t value);

    // ---- settings changed by the admin ----
    // Stores the overrides (each replacing one of the same kind, name and key) and raises
    // the settings version once, all in one transaction: a reader sees all of them or none.
    // False, with nothing changed, when one can't be stored.
    bool set_overrides(std::span<const SettingOverride> settings);
    bool set_override(const SettingOverride& setting);
    std::vector<SettingOverride> overrides();
    // Raised by every stored override; 0 before the first.
    int64_t settings_version();

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
    // Stores the log unless the account's stored logs and this one would hold more than
    // account_limit bytes of content together; the check and the insert are one statement.
    CrashLogStored add_crash_log(const CrashLogRow& log, size_t account_limit = SIZE_MAX);
    std::vector<CrashLogRow> crash_logs(int32_t login);

    std::string last_error();

private:
    Storage() = default;
    bool migrate();
    std::optional<int64_t> insert_trade_locked(const TradeRow& trade);
    std::optional<int64_t> add_balance_operation_locked(int32_t login, TradeType type, double amount,
                                                        const std::string& comment, int64_t time);
    bool update_trade_locked(const TradeRow& trade);
    bool change_balance_locked(int32_t login, TradeType type, double amount);

    std::mutex lock_;
    SqliteDatabase db_;
};

}  // namespace kb::server
