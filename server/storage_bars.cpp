#include <cstring>

#include "server/storage.h"

namespace kb::server {

namespace {

int64_t chunk_span(int32_t period) { return int64_t{period} * 60 * Storage::kBarsPerChunk; }

}  // namespace

int32_t Storage::bar_chunk_start(int32_t period, int32_t time) {
    const int64_t span = chunk_span(period > 0 ? period : 1);
    const int64_t start = time >= 0 ? time / span * span : -((-int64_t{time} + span - 1) / span) * span;
    return static_cast<int32_t>(start);
}

bool Storage::save_bars(std::span<const BarSeriesWrite> series) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    for (const BarSeriesWrite& write : series) {
        for (size_t first = 0; first < write.bars.size();) {
            const int32_t chunk = bar_chunk_start(write.period, write.bars[first].time);
            size_t end = first;
            while (end < write.bars.size() && bar_chunk_start(write.period, write.bars[end].time) == chunk) ++end;
            SqliteStatement statement = db_.prepare(
                "INSERT OR REPLACE INTO bar_chunks (symbol, period, first_time, bars) VALUES (?, ?, ?, ?)");
            statement.bind(1, write.symbol)
                .bind(2, int64_t{write.period})
                .bind(3, int64_t{chunk})
                .bind_blob(4, {reinterpret_cast<const uint8_t*>(write.bars.data() + first), (end - first) * sizeof(PointBar)});
            if (!statement.run()) {
                db_.note_error();
                return false;
            }
            first = end;
        }
        SqliteStatement trim = db_.prepare("DELETE FROM bar_chunks WHERE symbol = ? AND period = ? AND first_time < ?");
        trim.bind(1, write.symbol)
            .bind(2, int64_t{write.period})
            .bind(3, int64_t{bar_chunk_start(write.period, write.keep_from)});
        if (!trim.run()) {
            db_.note_error();
            return false;
        }
    }
    return transaction.commit();
}

std::vector<PointBar> Storage::load_bars(const std::string& symbol, int32_t period, size_t limit) {
    std::lock_guard guard(lock_);
    SqliteStatement row =
        db_.prepare("SELECT bars FROM bar_chunks WHERE symbol = ? AND period = ? ORDER BY first_time DESC");
    row.bind(1, symbol).bind(2, int64_t{period});
    // Newest chunk first, so only as many chunks as the limit needs are read.
    std::vector<std::vector<PointBar>> chunks;
    size_t held = 0;
    while (held < limit && row.next_row()) {
        const std::vector<uint8_t> bytes = row.blob(0);
        std::vector<PointBar> bars(bytes.size() / sizeof(PointBar));
        if (!bars.empty()) std::memcpy(bars.data(), bytes.data(), bars.size() * sizeof(PointBar));
        held += bars.size();
        chunks.push_back(std::move(bars));
    }
    std::vector<PointBar> bars;
    bars.reserve(held);
    for (auto chunk = chunks.rbegin(); chunk != chunks.rend(); ++chunk) bars.insert(bars.end(), chunk->begin(), chunk->end());
    if (bars.size() > limit) bars.erase(bars.begin(), bars.end() - static_cast<std::ptrdiff_t>(limit));
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
