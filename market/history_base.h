#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "market/bar_record.h"
#include "market/hst_file.h"
#include "market/symbol_record.h"

namespace kb::core {
class Journal;
}
namespace kb::platform {
class RandomAccessFile;
}

namespace kb::market {

// An offline history ignores ticks and is never saved on destruction.
enum class Offline { No, Yes };

// The chart settings and folders a history base works with.
struct HistorySettings {
    std::string program_folder;
    std::string server;                  // empty: "default"
    size_t max_bars_in_memory = 65536;
    size_t max_bars_in_file = 65536;
};

// A chart's copy of a history's newest bars and the history version it was taken from.
struct ChartBuffer {
    std::vector<BarRecord> bars;
    int64_t version = -1;
};

// What the synchronisation needs to know of a history.
struct HistorySummary {
    std::string symbol;
    int period = 0;
    int32_t time_sign = 0;
    int32_t first_time = 0;
    int32_t last_time = 0;
};

// The bars of one symbol and period, in memory and in "<symbol><period>.hst" in the
// server's folder under "history": builds bars from ticks, repairs damaged files on load,
// merges downloaded bars and writes itself back from the first changed bar.
// Thread-safe: every operation takes the base's own lock (after the history centre's list
// lock, never before it; see core/lock_order.h); callers get copies. Its invariants are
// listed and asserted beside the code, in history_base.cpp.
class HistoryBase {
public:
    static constexpr int kMaxPeriod = 43200;
    static constexpr size_t kLoadAllBars = 10000000;

    // True for the nine chart periods (M1, M5, M15, M30, H1, H4, D1, W1, MN).
    static bool is_standard_period(int period);

    // A history of the symbol and period (1..43200 minutes), loaded from its file. Null
    // for a period out of range or a symbol name that can't name a file. journal may be
    // null.
    static std::unique_ptr<HistoryBase> create(const SymbolRecord& symbol, int period, Offline offline,
                                               HistorySettings settings, core::Journal* journal);
    // Saves when not offline.
    ~HistoryBase();
    HistoryBase(const HistoryBase&) = delete;
    HistoryBase& operator=(const HistoryBase&) = delete;

    // Reloads from the file; a damaged, foreign or unreadable file gives an empty history.
    void load();
    // Saves when modified, takes the new server's folder, shows every bar, reloads.
    void set_server(std::string server);
    // Loads up to 10000000 bars; the bars this adds are hidden from charts, which keep
    // seeing the same newest bars.
    void load_all();
    // Writes the bars when modified; older bars of the file than those in memory stay.
    // New bars after the file's newest are written in place, any other change replaces
    // the file whole, so a save cut short never loses bars. False when the file can't be
    // written: the file stays as it was, the history stays modified and the first of a
    // run of failures is journaled.
    bool save();

    // Builds bars from a quote of this symbol. False when the tick was dropped (offline,
    // outside the quote hours, older than the last tick, a price that is not a number,
    // no memory).
    bool add_tick(const TickRecord& tick);
    // Merges downloaded bars (any order) and saves; the stored bars between the first and
    // last downloaded time are replaced; of downloaded bars with one time the first
    // accepted stays. time_sign 0 keeps the stored one. Returns the number of bars
    // accepted; 0 changes nothing.
    size_t import_bars(std::span<const BarRecord> bars, int32_t time_sign);
    size_t import_bars(std::span<const WireBar22> bars, int32_t time_sign);
    size_t import_bars(std::span<const WireBar28> bars, int32_t time_sign);

    // Gives the chart the newest bars not hidden, unless its version is current. True
    // when the buffer was refreshed.
    bool copy_to_chart(ChartBuffer& chart);

    // Replaces the symbol copy (digits and quote hours) after the server changed it.
    void set_symbol(const SymbolRecord& symbol);

    std::vector<BarRecord> bars() const;
    size_t bar_count() const;
    size_t capacity() const;
    int32_t first_bar_time() const;      // 0 without bars
    int32_t last_bar_time() const;
    // Open time of the bar n places before the newest (0: the newest), or of the first bar
    // when it holds fewer; 0 without bars.
    int32_t newest_bar_time(size_t n) const;
    int digits() const;
    int period() const { return period_; }
    bool is_symbol(std::string_view name) const;
    SymbolRecord symbol() const;
    HistorySummary summary() const;
    int64_t version() const;
    bool is_modified() const;
    size_t hidden_bars() const;
    int32_t time_sign() const;
    // The bars kept in memory: the limit the history was created with, or load_all's.
    size_t max_bars_in_memory() const;
    std::string file_path() const;

private:
    HistoryBase(const SymbolRecord& symbol, int period, Offline offline, HistorySettings settings, core::Journal* journal);

    std::string server_folder(const std::string& server) const;
    std::string own_path_locked() const;
    void load_locked();
    bool save_locked();
    bool write_file_locked();
    bool replace_file_locked(const std::string& path, platform::RandomAccessFile* file, int64_t first_bars);
    bool trim_file_locked();
    size_t import_locked(std::vector<BarRecord> incoming, int32_t time_sign);
    int symbol_digits_locked() const;
    size_t import_converted(std::optional<std::vector<BarRecord>> incoming, size_t count, int32_t time_sign);
    bool refresh_quote_window(int32_t time);
    bool make_room_locked();
    int32_t bar_open_time(int32_t time, bool& new_bar) const;
    HistoryFileHeader header_locked() const;

    mutable std::mutex lock_;
    core::Journal* const journal_;
    const std::string program_folder_;
    std::string server_;
    SymbolRecord symbol_;
    std::string name_;
    int digits_;
    const int period_;
    const int period_index_;             // -1 for periods outside the standard nine
    const bool offline_;
    std::vector<BarRecord> bars_;
    size_t capacity_ = 0;
    int64_t version_ = 0;
    int32_t time_sign_ = 0;
    int32_t last_sync_ = 0;
    size_t hidden_ = 0;
    bool modified_ = false;
    bool save_failed_ = false;           // journaled; cleared by the next save that works
    // Set by a load that repaired bars: the file's order can't be trusted to find where the
    // bars in memory start, so the next save keeps only the bars before those it loaded
    // (file_prefix_bars_, by position) and writes the rest from memory.
    bool file_repaired_ = false;
    size_t file_prefix_bars_ = 0;
    size_t max_bars_in_memory_;
    const size_t max_bars_in_file_;
    int32_t oldest_covered_time_ = 0;

    // The quote window of the last tick and the opens of its day, week and month.
    int64_t window_start_ = 0;
    int64_t window_end_ = 0;
    int64_t day_open_ = 0;
    int64_t week_open_ = 0;
    int64_t month_open_ = 0;
    std::array<int16_t, 7> alignment_{};
    double last_bid_ = 0;
    double last_ask_ = 0;
    int32_t last_tick_time_ = 0;
};

}  // namespace kb::market
