#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kb::server {

// One prepared statement of a SqliteDatabase, reset and cleared of bindings when the
// object goes, so it can be taken again at once. Parameters count from 1, columns from 0.
class SqliteStatement {
public:
    explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool valid() const { return statement_ != nullptr; }

    SqliteStatement& bind(int index, int64_t value);
    SqliteStatement& bind(int index, double value);
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind_blob(int index, std::span<const uint8_t> bytes);

    // Runs to the next row: true with a row to read, false at the end or on an error
    // (failed() tells them apart).
    bool next_row();
    // Runs a statement that returns no rows; true on success.
    bool run();
    bool failed() const { return failed_; }

    int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    std::vector<uint8_t> blob(int column) const;

private:
    sqlite3_stmt* statement_;
    bool failed_ = false;
};

// A SQLite connection in WAL mode with a cache of prepared statements. Not thread-safe:
// its owner serialises every call (the storage holds one lock around it).
class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens or creates the file (created readable by its owner only: it holds password
    // digests), turns on WAL and foreign keys. False with error() set on failure.
    bool open(const std::string& path);
    // Runs one or more statements without results; false with error() set on failure.
    bool execute(const char* sql);
    // The cached prepared form of sql (compiled on first use). An invalid statement, with
    // error() set, when it doesn't compile. sql must outlive the database (a literal).
    SqliteStatement prepare(const char* sql);

    int64_t last_insert_id() const;
    int changes() const;
    const std::string& error() const { return error_; }
    // Records the connection's latest error message as error().
    void note_error();
    void set_error(std::string message) { error_ = std::move(message); }

private:
    sqlite3* db_ = nullptr;
    std::map<const char*, sqlite3_stmt*> cache_;
    std::string error_;
};

// Runs a group of statements as one transaction: rolled back unless commit() succeeds.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool begun() const { return begun_; }
    bool commit();

private:
    SqliteDatabase& db_;
    bool begun_ = false;
    bool done_ = false;
};

}  // namespace kb::server
