#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "market/bar_record.h"
#include "market/history_base.h"
#include "market/history_sync_packets.h"
#include "market/market_listeners.h"
#include "market/symbol_record.h"
#include "platform/clock.h"

namespace kb::core {
class Journal;
}
namespace kb::platform {
class Notifier;
}

namespace kb::market {

class SymbolsBase;

enum class Offline { No, Yes };

// The thread that brings flagged histories up to date with the history server. It lives
// where the network is (session/HistorySynchroniser); the centre owns it, and destroying it
// ends the thread.
class HistorySynchronisation {
public:
    virtual ~HistorySynchronisation() = default;
    // Starts the thread, which passes over the flagged histories (next_synchronisation_pass)
    // until it is told to end. False when it can't be started. Called by the centre, not under
    // its lock.
    virtual bool start() = 0;
};

// Whether the synchronisation thread may end when nothing is flagged.
enum class WhenIdle { KeepRunning, End };

// The bar limits that histories created from now on take: the chart settings, which may
// change while the program runs. Called without the centre's lock held, from any thread
// that opens a history.
class HistoryBarLimits {
public:
    virtual ~HistoryBarLimits() = default;
    // Bars kept in memory and in the file (both at least 1).
    virtual std::pair<size_t, size_t> current() = 0;
};

// What the history centre works with. Everything referenced must outlive the centre.
struct HistoryCenterEnvironment {
    HistorySettings settings;                // folder, server, bar limits of new histories
    platform::Clock& clock;                  // expiries
    core::Journal* journal = nullptr;        // may be null
    platform::Notifier* notifier = nullptr;  // notification 8; may be null
    HistoryBarLimits* limits = nullptr;      // null: new histories take the limits of settings
};

// The state of one open history, for views and tests.
struct HistoryState {
    int references = 0;
    bool expiring = false;                   // released by every chart; freed when it passes
    bool request_pending = false;
    bool sync_requested = false;
    int32_t oldest_covered_time = 0;
    size_t bar_count = 0;
    int64_t version = 0;
};

// Owns the open history bases, one per symbol and period a chart uses, and keeps them
// filled: feeds them live ticks, queues chart-data requests for the trade server
// (command 156) and imports the answers, has them synchronised with the history server by
// its synchronisation thread (command 9), and frees the ones no chart has used for an hour.
//
// Thread-safe: one lock guards the list and the request queue; a history's own lock is
// taken inside it. The symbols base calls in (ticks, symbol updates, usage) holding its
// own lock, so the centre never asks the symbols base anything while holding its lock.
// Lock order: symbols base, history centre, history base.
//
// Synchronisation (the thread is session/HistorySynchroniser):
//
//   idle --synchronise()--> running: passes over flagged histories
//     ^                       |  next_synchronisation_pass(WhenIdle::End) with nothing
//     |                       v  flagged
//     +---------------------- idle
class HistoryCenter final : public TickListener, public SymbolUsage {
public:
    static constexpr size_t kMaxQueuedRequests = 256;
    static constexpr uint32_t kExpiryMs = 3600000;
    static constexpr size_t kMaxRequestedBars = 4096;
    // Requests after a login start this many bars back, so the newest are overwritten.
    static constexpr size_t kRefreshedBars = 10;

    explicit HistoryCenter(HistoryCenterEnvironment environment);
    // Ends the synchronisation thread, then saves and frees every history.
    ~HistoryCenter() override;
    HistoryCenter(const HistoryCenter&) = delete;
    HistoryCenter& operator=(const HistoryCenter&) = delete;

    // The symbols base that names the symbols; null refuses every open that is not offline.
    // Set once, before other threads use the centre.
    void set_symbols(SymbolsBase* symbols);
    // The synchronisation thread, owned from here on; without one synchronisations are never
    // attempted. Set once, before other threads use the centre.
    void set_synchronisation(std::unique_ptr<HistorySynchronisation> synchronisation);

    // ---- charts (user-interface thread) ----
    // Opens the history of the symbol and period for a chart, or takes one more reference
    // to the open one. A new history must have one of the nine periods and a symbol the
    // symbols base knows (an offline one neither), and queues its first request. Returns
    // whether the history is new; nothing when refused.
    std::optional<bool> open(std::string_view symbol, int period, Offline offline = Offline::No);
    // Drops one reference; the last one starts the hour after which the history is freed.
    void release(std::string_view symbol, int period);
    // The chart's copy of the history's bars (see HistoryBase::copy_to_chart). Without an
    // open history the chart gets no bars. True when the buffer changed.
    bool copy_to_chart(std::string_view symbol, int period, ChartBuffer& chart);
    // A chart scrolled to its oldest bar: asks for up to bars_wanted older bars, or opens
    // the history when it isn't open.
    void more_history(std::string_view symbol, int period, size_t bars_wanted);
    // Asks the synchronisation thread to bring the history up to date with the history
    // server (an offline one reloads its file), starting the thread when it isn't running.
    void synchronise(std::string_view symbol, int period);

    // ---- the trade server connection ----
    // Ticks of selected symbols (called by the symbols base, under its lock); expired
    // histories are saved and freed in the same pass.
    void on_tick(const TickRecord& tick) override;
    // A symbol the server changed: its histories take the new record and digits.
    void on_symbol_updated(const SymbolRecord& symbol) override;
    // Chart data (command 156): opens the history when needed (a symbol the symbols base
    // doesn't know imports nothing), imports the bars, keeps a positive oldest covered time,
    // clears the pending request and posts notification 8. Returns the bars accepted.
    size_t import(std::string_view symbol, int period, int32_t oldest_covered_time,
                  std::span<const WireBar28> bars);
    size_t import(std::string_view symbol, int period, int32_t oldest_covered_time,
                  std::span<const WireBar22> bars);
    // Every queued chart request (command 156), oldest first; the queue is emptied.
    std::vector<ChartRequest> take_requests();

    // ---- logins ----
    // Switches to the server's folder: histories in use are saved and reloaded from it,
    // the others are saved and freed; the queue is emptied. Returns the histories switched.
    size_t set_server(std::string name);
    // After the symbol list was replaced: each history takes a fresh copy of its symbol,
    // which is shown in Market Watch; histories of symbols gone are saved and freed.
    void refresh_symbols();
    // After a login: empties the queue, reloads offline histories and asks for every
    // other one's bars from its 10th-newest bar on.
    void after_login();

    // ---- the synchronisation thread ----
    // The histories flagged for synchronisation, for one pass. When none is flagged and
    // when_idle says End, synchronisation stops running and nothing is returned: the thread
    // ends, and the next synchronise() starts it again.
    std::optional<std::vector<HistorySummary>> next_synchronisation_pass(WhenIdle when_idle);
    // The thread ended without being told to (it was stopped).
    void synchronisation_ended();
    // A history's answer (Bars or NothingNew): bars are imported (journaled) and posted as
    // notification 8; either clears the history's flag. A history freed meanwhile is left.
    void apply_synchronisation(const HistorySummary& summary, const HistorySyncAnswer& answer);

    // ---- queries ----
    bool in_use(std::string_view symbol) const;
    std::vector<std::string> symbols_in_use() override;
    size_t history_count() const;
    std::optional<HistoryState> state(std::string_view symbol, int period) const;
    size_t queued_requests() const;
    bool synchronisation_running() const;

private:
    struct Entry;

    Entry* find_locked(std::string_view symbol, int period);
    const Entry* find_locked(std::string_view symbol, int period) const;
    std::unique_ptr<Entry> make_entry(const SymbolRecord& symbol, int period, Offline offline);
    void queue_locked(Entry& entry, int32_t from_time, size_t bar_count);
    void queue_refresh_locked(Entry& entry);
    void free_entry_locked(size_t position);
    void drop_queued_locked(const Entry& entry);
    std::optional<SymbolRecord> known_symbol(std::string_view name) const;
    template <class Wire>
    size_t import_bars(std::string_view symbol, int period, int32_t oldest_covered_time, std::span<const Wire> bars);
    void notify_chart_history();

    HistoryCenterEnvironment env_;
    SymbolsBase* symbols_ = nullptr;

    mutable std::mutex lock_;
    std::vector<std::unique_ptr<Entry>> entries_;   // newest first
    std::vector<ChartRequest> queue_;
    size_t expiring_ = 0;                           // entries with an expiry set
    bool sync_active_ = false;                      // the synchronisation thread runs

    std::unique_ptr<HistorySynchronisation> synchronisation_;
    std::atomic<bool> closing_{false};              // the destructor runs: nothing is posted
};

}  // namespace kb::market
