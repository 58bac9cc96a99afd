// demo-server's stored chart bars as any bytes in the database's chunks: loading them
// and generating on from the newest one never fails, and every period the server then
// answers from is in strict time order with its opens on the period's boundaries.
//
// Input: byte 0 chooses the period of the first chunk, byte 1 where the input splits
// into that chunk and a minute chunk; the rest are the chunks' bytes.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "server/bar_history.h"
#include "server/sqlite_database.h"
#include "server/storage.h"
#include "tests/fuzz/demo_server.h"

using namespace kb;
using fuzzing::check;

namespace {

// A few hours past midnight: the generation covers two days and a bit.
constexpr int64_t kNow = 1'700'006'400 + 3 * 3600;

const server::ServerConfig& config() {
    static const server::ServerConfig parsed = fuzzing::parsed_config();
    return parsed;
}

void remove_database(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

void store_chunk(server::SqliteDatabase& db, int32_t period, const uint8_t* bytes, size_t size) {
    db.prepare("INSERT OR REPLACE INTO bar_chunks (symbol, period, first_time, bars) VALUES (?, ?, ?, ?)")
        .bind(1, std::string_view("EURUSD"))
        .bind(2, int64_t{period})
        .bind(3, int64_t{period})
        .bind_blob(4, {bytes, size})
        .run();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 65536) return 0;
    const int32_t period = server::kChartPeriods[data[0] % server::kChartPeriods.size()];
    const size_t split = std::min<size_t>(data[1] * 24u, size - 2);
    static const std::string path = fuzzing::scratch_folder("storedbarsfuzz") + "/server.db";
    remove_database(path);
    std::string error;
    std::unique_ptr<server::Storage> storage = server::Storage::open(path, error);
    check(storage != nullptr);
    {
        server::SqliteDatabase db;
        check(db.open(path));
        store_chunk(db, period, data + 2, split);
        if (period != 1) store_chunk(db, 1, data + 2 + split, size - 2 - split);
    }
    server::BarHistory history(config(), kNow, storage.get());
    history.generate();
    for (int32_t each : server::kChartPeriods) {
        const std::vector<server::PointBar> bars = history.bars(0, each, INT32_MIN, INT32_MAX, server::BarHistory::kMaxBarsKept);
        for (size_t i = 0; i < bars.size(); ++i) {
            check(bars[i].time == server::BarHistory::bar_open_time(each, bars[i].time));
            if (i > 0) check(bars[i - 1].time < bars[i].time);
        }
    }
    check(history.save());
    return 0;
}
