#include "server/sqlite_database.h"

#include <sqlite3.h>

#include "platform/files.h"

namespace kb::server {

SqliteStatement::~SqliteStatement() {
    if (!statement_) return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

SqliteStatement& SqliteStatement::bind(int index, int64_t value) {
    if (statement_ && sqlite3_bind_int64(statement_, index, value) != SQLITE_OK) failed_ = true;
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, double value) {
    if (statement_ && sqlite3_bind_double(statement_, index, value) != SQLITE_OK) failed_ = true;
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    if (statement_ && sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()),
                                        SQLITE_TRANSIENT) != SQLITE_OK) {
        failed_ = true;
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind_blob(int index, std::span<const uint8_t> bytes) {
    if (statement_ && sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                                        SQLITE_TRANSIENT) != SQLITE_OK) {
        failed_ = true;
    }
    return *this;
}

bool SqliteStatement::next_row() {
    if (!statement_ || failed_) {
        failed_ = true;
        return false;
    }
    int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) failed_ = true;
    return false;
}

bool SqliteStatement::run() {
    next_row();
    return !failed_;
}

int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

double SqliteStatement::real(int column) const { return sqlite3_column_double(statement_, column); }

std::string SqliteStatement::text(int column) const {
    const auto* bytes = sqlite3_column_text(statement_, column);
    int size = sqlite3_column_bytes(statement_, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
}

std::vector<uint8_t> SqliteStatement::blob(int column) const {
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(statement_, column));
    int size = sqlite3_column_bytes(statement_, column);
    return bytes ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>();
}

SqliteDatabase::~SqliteDatabase() {
    for (auto& [sql, statement] : cache_) sqlite3_finalize(statement);
    if (db_) sqlite3_close(db_);
}

bool SqliteDatabase::open(const std::string& path) {
    // SQLite creates its WAL and shared-memory files with the database file's permissions.
    if (!platform::file_exists(path) && !platform::write_file_atomic(path, {}, platform::FileAccess::OwnerOnly)) {
        error_ = path + ": can't be created";
        return false;
    }
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error_ = path + ": " + (db_ ? sqlite3_errmsg(db_) : "can't be opened");
        return false;
    }
    // Admin commands run while the server holds the database open.
    sqlite3_busy_timeout(db_, 5000);
    return execute("PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;");
}

bool SqliteDatabase::execute(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = message ? message : "unknown database error";
    sqlite3_free(message);
    return false;
}

SqliteStatement SqliteDatabase::prepare(const char* sql) {
    auto it = cache_.find(sql);
    if (it != cache_.end()) return SqliteStatement(it->second);
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &statement, nullptr) != SQLITE_OK) {
        note_error();
        return SqliteStatement(nullptr);
    }
    cache_[sql] = statement;
    return SqliteStatement(statement);
}

int64_t SqliteDatabase::last_insert_id() const { return sqlite3_last_insert_rowid(db_); }

int SqliteDatabase::changes() const { return sqlite3_changes(db_); }

void SqliteDatabase::note_error() { error_ = db_ ? sqlite3_errmsg(db_) : "database not open"; }

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) { begun_ = db_.execute("BEGIN IMMEDIATE"); }

SqliteTransaction::~SqliteTransaction() {
    if (begun_ && !done_) db_.execute("ROLLBACK");
}

bool SqliteTransaction::commit() {
    if (!begun_ || done_) return false;
    done_ = db_.execute("COMMIT");
    return done_;
}

}  // namespace kb::server
