#include "server/storage.h"

#include <algorithm>
#include <cstring>

namespace kb::server {

namespace {

// Each entry lifts the schema by one version; an existing database runs the entries above
// its PRAGMA user_version, so a file from an older server keeps its data.
constexpr const char* kMigrations[] = {
    R"(CREATE TABLE accounts (
           login INTEGER PRIMARY KEY,
           password_digest BLOB NOT NULL,
           investor_digest BLOB NOT NULL,
           name TEXT NOT NULL,
           group_name TEXT NOT NULL,
           balance REAL NOT NULL DEFAULT 0,
           credit REAL NOT NULL DEFAULT 0,
           leverage INTEGER NOT NULL,
           enabled INTEGER NOT NULL DEFAULT 1,
           created INTEGER NOT NULL,
           last_login_time INTEGER NOT NULL DEFAULT 0,
           last_login_address INTEGER NOT NULL DEFAULT 0);
       CREATE TABLE trades (
           ticket INTEGER PRIMARY KEY AUTOINCREMENT,
           login INTEGER NOT NULL REFERENCES accounts(login),
           symbol TEXT NOT NULL,
           type INTEGER NOT NULL,
           volume INTEGER NOT NULL,
           open_time INTEGER NOT NULL,
           open_price REAL NOT NULL,
           stop_loss REAL NOT NULL,
           take_profit REAL NOT NULL,
           close_time INTEGER NOT NULL,
           close_price REAL NOT NULL,
           commission REAL NOT NULL,
           swap REAL NOT NULL,
           profit REAL NOT NULL,
           comment TEXT NOT NULL,
           expiration INTEGER NOT NULL);
       CREATE INDEX trades_by_login ON trades(login, close_time);
       CREATE TABLE mail (
           id INTEGER PRIMARY KEY AUTOINCREMENT,
           recipient INTEGER NOT NULL REFERENCES accounts(login),
           sender TEXT NOT NULL,
           subject TEXT NOT NULL,
           body TEXT NOT NULL,
           time INTEGER NOT NULL,
           delivered INTEGER NOT NULL DEFAULT 0);
       CREATE INDEX mail_by_recipient ON mail(recipient, delivered);
       CREATE TABLE news (
           id INTEGER PRIMARY KEY AUTOINCREMENT,
           time INTEGER NOT NULL,
           subject TEXT NOT NULL,
           category TEXT NOT NULL,
           body TEXT NOT NULL);
       CREATE TABLE crash_logs (
           id INTEGER PRIMARY KEY AUTOINCREMENT,
           login INTEGER NOT NULL,
           time INTEGER NOT NULL,
           address INTEGER NOT NULL,
           content BLOB NOT NULL);)",
    R"(CREATE TABLE bar_chunks (
           symbol TEXT NOT NULL,
           period INTEGER NOT NULL,
           first_time INTEGER NOT NULL,
           bars BLOB NOT NULL,
           PRIMARY KEY (symbol, period, first_time)) WITHOUT ROWID;
       CREATE TABLE server_values (
           key TEXT PRIMARY KEY,
           value INTEGER NOT NULL);
       CREATE TABLE setting_overrides (
           kind TEXT NOT NULL,
           name TEXT NOT NULL,
           key TEXT NOT NULL,
           value TEXT NOT NULL,
           PRIMARY KEY (kind, name, key));
       CREATE TABLE trade_transactions (
           id INTEGER PRIMARY KEY AUTOINCREMENT,
           login INTEGER NOT NULL,
           record BLOB NOT NULL);
       CREATE INDEX trade_transactions_by_login ON trade_transactions(login, id);
       CREATE INDEX trades_open_by_symbol ON trades(symbol, close_time);)",
    // Trades opened before keep the rate 1 they were sent with.
    R"(ALTER TABLE trades ADD COLUMN margin_rate REAL NOT NULL DEFAULT 1;)",
};
static_assert(std::size(kMigrations) == Storage::kSchemaVersion);

constexpr const char* kTradeColumns =
    "ticket, login, symbol, type, volume, open_time, open_price, stop_loss, take_profit, close_time, "
    "close_price, commission, swap, profit, comment, expiration, margin_rate";

net::Md5Digest digest_from(const std::vector<uint8_t>& bytes) {
    net::Md5Digest digest{};
    if (bytes.size() == digest.size()) std::memcpy(digest.data(), bytes.data(), digest.size());
    return digest;
}

TradeRow trade_from(const SqliteStatement& row) {
    TradeRow trade;
    trade.ticket = row.integer(0);
    trade.login = static_cast<int32_t>(row.integer(1));
    trade.symbol = row.text(2);
    trade.type = static_cast<trade::OrderType>(row.integer(3));
    trade.volume = static_cast<int>(row.integer(4));
    trade.open_time = row.integer(5);
    trade.open_price = row.real(6);
    trade.stop_loss = row.real(7);
    trade.take_profit = row.real(8);
    trade.close_time = row.integer(9);
    trade.close_price = row.real(10);
    trade.commission = row.real(11);
    trade.swap = row.real(12);
    trade.profit = row.real(13);
    trade.comment = row.text(14);
    trade.expiration = row.integer(15);
    trade.margin_rate = row.real(16);
    return trade;
}

// Binds the trade's columns after the ticket, starting at parameter first.
void bind_trade(SqliteStatement& statement, const TradeRow& trade, int first) {
    statement.bind(first, int64_t{trade.login})
        .bind(first + 1, trade.symbol)
        .bind(first + 2, int64_t{static_cast<int>(trade.type)})
        .bind(first + 3, int64_t{trade.volume})
        .bind(first + 4, trade.open_time)
        .bind(first + 5, trade.open_price)
        .bind(first + 6, trade.stop_loss)
        .bind(first + 7, trade.take_profit)
        .bind(first + 8, trade.close_time)
        .bind(first + 9, trade.close_price)
        .bind(first + 10, trade.commission)
        .bind(first + 11, trade.swap)
        .bind(first + 12, trade.profit)
        .bind(first + 13, trade.comment)
        .bind(first + 14, trade.expiration)
        .bind(first + 15, trade.margin_rate);
}

std::vector<TradeRow> collect_trades(SqliteStatement& statement) {
    std::vector<TradeRow> trades;
    while (statement.next_row()) trades.push_back(trade_from(statement));
    return trades;
}

}  // namespace

std::unique_ptr<Storage> Storage::open(const std::string& path, std::string& error) {
    std::unique_ptr<Storage> storage(new Storage());
    if (!storage->db_.open(path) || !storage->migrate()) {
        error = storage->db_.error();
        return nullptr;
    }
    return storage;
}

bool Storage::migrate() {
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    int64_t version = 0;
    {
        SqliteStatement statement = db_.prepare("PRAGMA user_version");
        if (!statement.next_row()) return false;
        version = statement.integer(0);
    }
    if (version > kSchemaVersion) {
        db_.set_error("database schema " + std::to_string(version) + " is newer than this server's " +
                      std::to_string(kSchemaVersion));
        return false;
    }
    for (int64_t next = version; next < kSchemaVersion; ++next) {
        if (!db_.execute(kMigrations[next])) return false;
    }
    std::string set_version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (!db_.execute(set_version.c_str())) return false;
    return transaction.commit();
}

bool Storage::create_account(const AccountRow& account, double deposit) {
    std::lock_guard guard(lock_);
    if (account.login <= 0) return false;
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    SqliteStatement statement = db_.prepare(
        "INSERT INTO accounts (login, password_digest, investor_digest, name, group_name, balance, credit, "
        "leverage, enabled, created, last_login_time, last_login_address) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    statement.bind(1, int64_t{account.login})
        .bind_blob(2, account.password_digest)
        .bind_blob(3, account.investor_digest)
        .bind(4, account.name)
        .bind(5, account.group)
        .bind(6, account.balance)
        .bind(7, account.credit)
        .bind(8, int64_t{account.leverage})
        .bind(9, int64_t{account.enabled ? 1 : 0})
        .bind(10, account.created)
        .bind(11, account.last_login_time)
        .bind(12, int64_t{account.last_login_address});
    if (!statement.run()) {
        db_.note_error();
        return false;
    }
    if (deposit > 0 &&
        !add_balance_operation_locked(account.login, trade::kBalance, deposit, "Deposit", account.created)) {
        return false;
    }
    return transaction.commit();
}

std::optional<AccountRow> Storage::account(int32_t login) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT login, password_digest, investor_digest, name, group_name, balance, credit, leverage, enabled, "
        "created, last_login_time, last_login_address FROM accounts WHERE login = ?");
    row.bind(1, int64_t{login});
    if (!row.next_row()) return std::nullopt;
    AccountRow account;
    account.login = static_cast<int32_t>(row.integer(0));
    account.password_digest = digest_from(row.blob(1));
    account.investor_digest = digest_from(row.blob(2));
    account.name = row.text(3);
    account.group = row.text(4);
    account.balance = row.real(5);
    account.credit = row.real(6);
    account.leverage = static_cast<int>(row.integer(7));
    account.enabled = row.integer(8) != 0;
    account.created = row.integer(9);
    account.last_login_time = row.integer(10);
    account.last_login_address = static_cast<uint32_t>(row.integer(11));
    return account;
}

int32_t Storage::next_free_login(int32_t from) {
    std::lock_guard guard(lock_);
    // The first gap at or above from: either from itself or one above a used login.
    SqliteStatement row = db_.prepare(
        "SELECT MIN(candidate) FROM (SELECT ?1 AS candidate UNION SELECT login + 1 FROM accounts WHERE login >= ?1) "
        "WHERE candidate NOT IN (SELECT login FROM accounts)");
    row.bind(1, int64_t{from});
    if (!row.next_row()) return from;
    return static_cast<int32_t>(row.integer(0));
}

bool Storage::set_enabled(int32_t login, bool enabled) {
    std::lock_guard guard(lock_);
    SqliteStatement statement = db_.prepare("UPDATE accounts SET enabled = ? WHERE login = ?");
    statement.bind(1, int64_t{enabled ? 1 : 0}).bind(2, int64_t{login});
    return statement.run() && db_.changes() == 1;
}

bool Storage::set_passwords(int32_t login, const net::Md5Digest& password, const net::Md5Digest& investor) {
    std::lock_guard guard(lock_);
    SqliteStatement statement =
        db_.prepare("UPDATE accounts SET password_digest = ?, investor_digest = ? WHERE login = ?");
    statement.bind_blob(1, password).bind_blob(2, investor).bind(3, int64_t{login});
    return statement.run() && db_.changes() == 1;
}

bool Storage::record_login(int32_t login, int64_t time, uint32_t address) {
    std::lock_guard guard(lock_);
    SqliteStatement statement =
        db_.prepare("UPDATE accounts SET last_login_time = ?, last_login_address = ? WHERE login = ?");
    statement.bind(1, time).bind(2, int64_t{address}).bind(3, int64_t{login});
    return statement.run() && db_.changes() == 1;
}

bool Storage::change_balance_locked(int32_t login, trade::OrderType type, double amount) {
    SqliteStatement statement =
        type == trade::kCredit ? db_.prepare("UPDATE accounts SET credit = credit + ? WHERE login = ?")
                                  : db_.prepare("UPDATE accounts SET balance = balance + ? WHERE login = ?");
    statement.bind(1, amount).bind(2, int64_t{login});
    return statement.run() && db_.changes() == 1;
}

std::optional<int64_t> Storage::add_balance_operation_locked(int32_t login, trade::OrderType type, double amount,
                                                             const std::string& comment, int64_t time) {
    if (!change_balance_locked(login, type, amount)) return std::nullopt;
    TradeRow operation;
    operation.login = login;
    operation.type = type;
    operation.open_time = time;
    operation.close_time = time;
    operation.profit = amount;
    operation.comment = comment;
    return insert_trade_locked(operation);
}

std::optional<int64_t> Storage::add_balance_operation(int32_t login, trade::OrderType type, double amount,
                                                      const std::string& comment, int64_t time) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return std::nullopt;
    std::optional<int64_t> ticket = add_balance_operation_locked(login, type, amount, comment, time);
    if (!ticket || !transaction.commit()) return std::nullopt;
    return ticket;
}

std::optional<int64_t> Storage::insert_trade_locked(const TradeRow& trade) {
    SqliteStatement statement = db_.prepare(
        "INSERT INTO trades (login, symbol, type, volume, open_time, open_price, stop_loss, take_profit, "
        "close_time, close_price, commission, swap, profit, comment, expiration, margin_rate) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bind_trade(statement, trade, 1);
    if (!statement.run()) {
        db_.note_error();
        return std::nullopt;
    }
    return db_.last_insert_id();
}

std::optional<int64_t> Storage::insert_trade(const TradeRow& trade) {
    std::lock_guard guard(lock_);
    return insert_trade_locked(trade);
}

bool Storage::update_trade(const TradeRow& trade) {
    std::lock_guard guard(lock_);
    return update_trade_locked(trade);
}

bool Storage::update_trade_locked(const TradeRow& trade) {
    SqliteStatement statement = db_.prepare(
        "UPDATE trades SET login = ?, symbol = ?, type = ?, volume = ?, open_time = ?, open_price = ?, "
        "stop_loss = ?, take_profit = ?, close_time = ?, close_price = ?, commission = ?, swap = ?, profit = ?, "
        "comment = ?, expiration = ?, margin_rate = ? WHERE ticket = ?");
    bind_trade(statement, trade, 1);
    statement.bind(17, trade.ticket);
    return statement.run() && db_.changes() == 1;
}

bool Storage::close_trade(const TradeRow& closed) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    {
        SqliteStatement statement = db_.prepare(
            "UPDATE trades SET close_time = ?, close_price = ?, commission = ?, swap = ?, profit = ?, "
            "comment = ? WHERE ticket = ? AND login = ? AND close_time = 0");
        statement.bind(1, closed.close_time)
            .bind(2, closed.close_price)
            .bind(3, closed.commission)
            .bind(4, closed.swap)
            .bind(5, closed.profit)
            .bind(6, closed.comment)
            .bind(7, closed.ticket)
            .bind(8, int64_t{closed.login});
        if (!statement.run() || db_.changes() != 1) return false;
    }
    double result = closed.commission + closed.swap + closed.profit;
    return change_balance_locked(closed.login, trade::kBalance, result) && transaction.commit();
}

bool Storage::commit_deal(DealWrite& deal) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    for (const TradeRow& row : deal.updated) {
        if (!update_trade_locked(row)) return false;
    }
    std::vector<int64_t> tickets;
    for (const TradeRow& row : deal.inserted) {
        std::optional<int64_t> ticket = insert_trade_locked(row);
        if (!ticket) return false;
        tickets.push_back(*ticket);
    }
    if (deal.balance_change != 0 && !change_balance_locked(deal.login, trade::kBalance, deal.balance_change))
        return false;
    if (!transaction.commit()) return false;
    for (size_t i = 0; i < tickets.size(); ++i) deal.inserted[i].ticket = tickets[i];
    return true;
}

std::optional<int64_t> Storage::add_transaction(int32_t login, std::span<const uint8_t> record) {
    std::lock_guard guard(lock_);
    SqliteStatement statement = db_.prepare("INSERT INTO trade_transactions (login, record) VALUES (?, ?)");
    statement.bind(1, int64_t{login}).bind_blob(2, record);
    if (!statement.run()) {
        db_.note_error();
        return std::nullopt;
    }
    return db_.last_insert_id();
}

std::vector<TransactionRow> Storage::transactions_after(int32_t login, int64_t after_id, size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT id, record FROM trade_transactions WHERE login = ? AND id > ? ORDER BY id LIMIT ?");
    row.bind(1, int64_t{login}).bind(2, after_id).bind(3, static_cast<int64_t>(limit));
    std::vector<TransactionRow> rows;
    while (row.next_row()) rows.push_back(TransactionRow{row.integer(0), row.blob(1)});
    return rows;
}

int64_t Storage::last_transaction_id() {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT COALESCE(MAX(id), 0) FROM trade_transactions");
    return row.next_row() ? row.integer(0) : 0;
}

std::optional<TradeRow> Storage::trade(int64_t ticket) {
    std::lock_guard guard(lock_);
    static const std::string sql = std::string("SELECT ") + kTradeColumns + " FROM trades WHERE ticket = ?";
    SqliteStatement row = db_.prepare(sql.c_str());
    row.bind(1, ticket);
    if (!row.next_row()) return std::nullopt;
    return trade_from(row);
}

std::vector<TradeRow> Storage::open_trades(int32_t login) {
    std::lock_guard guard(lock_);
    static const std::string sql =
        std::string("SELECT ") + kTradeColumns + " FROM trades WHERE login = ? AND close_time = 0 ORDER BY ticket";
    SqliteStatement statement = db_.prepare(sql.c_str());
    statement.bind(1, int64_t{login});
    return collect_trades(statement);
}

std::vector<TradeRow> Storage::open_trades_of_symbol(const std::string& symbol) {
    std::lock_guard guard(lock_);
    static const std::string sql =
        std::string("SELECT ") + kTradeColumns + " FROM trades WHERE symbol = ? AND close_time = 0 ORDER BY ticket";
    SqliteStatement statement = db_.prepare(sql.c_str());
    statement.bind(1, symbol);
    return collect_trades(statement);
}

std::vector<TradeRow> Storage::closed_trades(int32_t login, int64_t from, int64_t to) {
    std::lock_guard guard(lock_);
    static const std::string sql = std::string("SELECT ") + kTradeColumns +
                                   " FROM trades WHERE login = ? AND close_time <> 0 AND close_time >= ? AND "
                                   "close_time < ? ORDER BY close_time, ticket";
    SqliteStatement statement = db_.prepare(sql.c_str());
    statement.bind(1, int64_t{login}).bind(2, from).bind(3, to);
    return collect_trades(statement);
}

std::optional<int64_t> Storage::add_mail(const MailRow& mail) {
    std::lock_guard guard(lock_);
    SqliteStatement statement = db_.prepare(
        "INSERT INTO mail (recipient, sender, subject, body, time, delivered) VALUES (?, ?, ?, ?, ?, ?)");
    statement.bind(1, int64_t{mail.to})
        .bind(2, mail.from)
        .bind(3, mail.subject)
        .bind(4, mail.body)
        .bind(5, mail.time)
        .bind(6, int64_t{mail.delivered ? 1 : 0});
    if (!statement.run()) {
        db_.note_error();
        return std::nullopt;
    }
    return db_.last_insert_id();
}

std::vector<MailRow> Storage::undelivered_mail(int32_t login) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT id, recipient, sender, subject, body, time, delivered FROM mail "
        "WHERE recipient = ? AND delivered = 0 ORDER BY id");
    row.bind(1, int64_t{login});
    std::vector<MailRow> mail;
    while (row.next_row()) {
        mail.push_back(MailRow{row.integer(0), static_cast<int32_t>(row.integer(1)), row.text(2), row.text(3),
                               row.text(4), row.integer(5), row.integer(6) != 0});
    }
    return mail;
}

bool Storage::mark_mail_delivered(int64_t id) {
    std::lock_guard guard(lock_);
    SqliteStatement statement = db_.prepare("UPDATE mail SET delivered = 1 WHERE id = ?");
    statement.bind(1, id);
    return statement.run() && db_.changes() == 1;
}

std::optional<int64_t> Storage::add_news(const NewsRow& news) {
    std::lock_guard guard(lock_);
    SqliteStatement statement =
        db_.prepare("INSERT INTO news (time, subject, category, body) VALUES (?, ?, ?, ?)");
    statement.bind(1, news.time).bind(2, news.subject).bind(3, news.category).bind(4, news.body);
    if (!statement.run()) {
        db_.note_error();
        return std::nullopt;
    }
    return db_.last_insert_id();
}

std::optional<NewsRow> Storage::news(int64_t id) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT id, time, subject, category, body FROM news WHERE id = ?");
    row.bind(1, id);
    if (!row.next_row()) return std::nullopt;
    return NewsRow{row.integer(0), row.integer(1), row.text(2), row.text(3), row.text(4)};
}

std::vector<NewsRow> Storage::news_after(int64_t after_id, size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row =
        db_.prepare("SELECT id, time, subject, category, body FROM news WHERE id > ? ORDER BY id LIMIT ?");
    row.bind(1, after_id).bind(2, static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX)));
    std::vector<NewsRow> news;
    while (row.next_row()) news.push_back(NewsRow{row.integer(0), row.integer(1), row.text(2), row.text(3), row.text(4)});
    return news;
}

std::vector<NewsRow> Storage::news_since(int64_t time, size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT id, time, subject, category, body FROM news WHERE time > ? ORDER BY id DESC LIMIT ?");
    row.bind(1, time).bind(2, static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX)));
    std::vector<NewsRow> news;
    while (row.next_row()) news.push_back(NewsRow{row.integer(0), row.integer(1), row.text(2), row.text(3), row.text(4)});
    std::reverse(news.begin(), news.end());
    return news;
}

int64_t Storage::last_news_id() {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT COALESCE(MAX(id), 0) FROM news");
    return row.next_row() ? row.integer(0) : 0;
}

std::vector<std::pair<int32_t, std::string>> Storage::group_members(const std::string& group, int32_t except,
                                                                    size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT login, name FROM accounts WHERE group_name = ? AND enabled = 1 AND login <> ? ORDER BY login LIMIT ?");
    row.bind(1, group).bind(2, int64_t{except}).bind(3, static_cast<int64_t>(std::min<size_t>(limit, INT64_MAX)));
    std::vector<std::pair<int32_t, std::string>> members;
    while (row.next_row()) members.emplace_back(static_cast<int32_t>(row.integer(0)), row.text(1));
    return members;
}

CrashLogStored Storage::add_crash_log(const CrashLogRow& log, size_t account_limit) {
    std::lock_guard guard(lock_);
    const auto limit = static_cast<int64_t>(std::min<size_t>(account_limit, INT64_MAX));
    SqliteStatement statement = db_.prepare(
        "INSERT INTO crash_logs (login, time, address, content) SELECT ?, ?, ?, ? "
        "WHERE (SELECT COALESCE(SUM(LENGTH(content)), 0) FROM crash_logs WHERE login = ?) + ? <= ?");
    statement.bind(1, int64_t{log.login}).bind(2, log.time).bind(3, int64_t{log.address}).bind_blob(4, log.content);
    statement.bind(5, int64_t{log.login}).bind(6, static_cast<int64_t>(log.content.size())).bind(7, limit);
    if (!statement.run()) {
        db_.note_error();
        return CrashLogStored::Failed;
    }
    return db_.changes() == 1 ? CrashLogStored::Yes : CrashLogStored::AccountFull;
}

std::vector<CrashLogRow> Storage::crash_logs(int32_t login) {
    std::lock_guard guard(lock_);
    SqliteStatement row =
        db_.prepare("SELECT id, login, time, address, content FROM crash_logs WHERE login = ? ORDER BY id");
    row.bind(1, int64_t{login});
    std::vector<CrashLogRow> logs;
    while (row.next_row()) {
        logs.push_back(CrashLogRow{row.integer(0), static_cast<int32_t>(row.integer(1)), row.integer(2),
                                   static_cast<uint32_t>(row.integer(3)), row.blob(4)});
    }
    return logs;
}

std::string Storage::last_error() {
    std::lock_guard guard(lock_);
    return db_.error();
}

}  // namespace kb::server
