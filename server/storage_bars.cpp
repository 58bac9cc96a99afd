#include "server/storage.h"

namespace kb::server {

bool Storage::save_bars(std::span<const BarSeriesWrite> series) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    for (const BarSeriesWrite& write : series) {
        for (const PointBar& bar : write.bars) {
            SqliteStatement statement = db_.prepare(
                "INSERT OR REPLACE INTO bars (symbol, period, time, open, high, low, close, volume) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
            statement.bind(1, write.symbol)
                .bind(2, int64_t{write.period})
                .bind(3, int64_t{bar.time})
                .bind(4, int64_t{bar.open})
                .bind(5, int64_t{bar.high})
                .bind(6, int64_t{bar.low})
                .bind(7, int64_t{bar.close})
                .bind(8, int64_t{bar.volume});
            if (!statement.run()) {
                db_.note_error();
                return false;
            }
        }
        SqliteStatement trim = db_.prepare("DELETE FROM bars WHERE symbol = ? AND period = ? AND time < ?");
        trim.bind(1, write.symbol).bind(2, int64_t{write.period}).bind(3, int64_t{write.keep_from});
        if (!trim.run()) {
            db_.note_error();
            return false;
        }
    }
    return transaction.commit();
}

std::vector<PointBar> Storage::load_bars(const std::string& symbol, int32_t period, size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare(
        "SELECT time, open, high, low, close, volume FROM "
        "(SELECT * FROM bars WHERE symbol = ? AND period = ? ORDER BY time DESC LIMIT ?) ORDER BY time");
    row.bind(1, symbol).bind(2, int64_t{period}).bind(3, static_cast<int64_t>(limit));
    std::vector<PointBar> bars;
    while (row.next_row()) {
        bars.push_back(PointBar{static_cast<int32_t>(row.integer(0)), static_cast<int32_t>(row.integer(1)),
                                static_cast<int32_t>(row.integer(2)), static_cast<int32_t>(row.integer(3)),
                                static_cast<int32_t>(row.integer(4)), static_cast<int32_t>(row.integer(5))});
    }
    return bars;
}

std::optional<int64_t> Storage::server_value(const std::string& key) {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT value FROM server_values WHERE key = ?");
    row.bind(1, key);
    if (!row.next_row()) return std::nullopt;
    return row.integer(0);
}

bool Storage::set_server_value(const std::string& key, int64_t value) {
    std::lock_guard guard(lock_);
    SqliteStatement statement = db_.prepare("INSERT OR REPLACE INTO server_values (key, value) VALUES (?, ?)");
    statement.bind(1, key).bind(2, value);
    return statement.run();
}

}  // namespace kb::server
