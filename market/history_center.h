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
#include "market/market_listeners.h"
#include "market/symbol_record.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace kb::core {
class Journal;
}
namespace kb::platform {
class Notifier;
}

namespace kb::market {

class SymbolsBase;

enum class Offline { No, Yes };

// The form in which a server sends bars.
enum class BarForm { Narrow22, Wide28 };

// The outcome of the synchronisation connection's login.
struct HistoryLoginResult {
    enum class Status { LoggedIn, NotConnected, Refused };
    Status status = Status::NotConnected;
    BarForm form = BarForm::Narrow22;        // the form of the bars that server sends
};

// How the synchronisation thread reaches the history server. Implemented where the account
// settings are known; called only on the synchronisation thread.
class HistoryServerLogin {
public:
    virtual ~HistoryServerLogin() = default;
    // Connects stream to the account's history source and logs in, journaling a refused
    // login itself. On failure the stream may be left open; the caller closes it.
    virtual HistoryLoginResult connect_and_log_in(net::PacketStream& stream) = 0;
};

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
    platform::Clock& clock;                  // expiries and the thread's pauses
    platform::Clock& stream_clock;           // the stream's short pauses while a peer stalls
    core::Journal* journal = nullptr;        // may be null
    platform::Notifier* notifier = nullptr;  // notification 8; may be null
    HistoryServerLogin* login = nullptr;     // null: synchronisations are never attempted
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
// (command 156) and imports the answers, synchronises them with the history server on a
// thread of its own (command 9), and frees the ones no chart has used for an hour.
//
// Thread-safe: one lock guards the list and the request queue; a history's own lock is
// taken inside it. The symbols base calls in (ticks, symbol updates, usage) holding its
// own lock, so the centre never asks the symbols base anything while holding its lock.
// Lock order: symbols base, history centre, history base (core/lock_order.h).
//
// Synchronisation thread:
//
//   idle --synchronise()--> running: pass over flagged histories, 0.5 s between passes
//                             |  login or request failed: wait 5 s, the flag stays set
//                             |  no connection: tried again on the next pass
//                             |  30 passes in a row with nothing flagged:
//                             v  quit (13), close
//                           idle
class HistoryCenter final : public TickListener, public SymbolUsage {
public:
    static constexpr size_t kMaxQueuedRequests = 256;
    static constexpr uint32_t kExpiryMs = 3600000;
    static constexpr size_t kMaxRequestedBars = 4096;
    // Requests after a login start this many bars back, so the newest are overwritten.
    static constexpr size_t kRefreshedBars = 10;

    explicit HistoryCenter(HistoryCenterEnvironment environment);
    // Stops the synchronisation thread, then saves and frees every history.
    ~HistoryCenter() override;
    HistoryCenter(const HistoryCenter&) = delete;
    HistoryCenter& operator=(const HistoryCenter&) = delete;

    // The symbols base that names the symbols; null refuses every open that is not offline.
    // Set once, before other threads use the centre.
    void set_symbols(SymbolsBase* symbols);

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
    // Appends command 156 with every queued request to out and empties the queue; false
    // (out untouched) when nothing is queued.
    bool take_requests(net::OutputBuffer& out);

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

    // ---- queries ----
    bool in_use(std::string_view symbol) const;
    std::vector<std::string> symbols_in_use() override;
    size_t history_count() const;
    std::optional<HistoryState> state(std::string_view symbol, int period) const;
    size_t queued_requests() const;
    bool synchronisation_running() const;

private:
    struct Entry;
    // A refused login or request is retried after a pause, a missing connection at once.
    enum class SyncOutcome { Done, NotConnected, Refused };

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

    // ---- synchronisation thread ----
    void start_synchronisation();
    void stop_synchronisation();
    void run_synchronisation();
    SyncOutcome synchronise_one(const HistorySummary& summary);
    HistoryLoginResult::Status ensure_connected();
    void pause(uint32_t total_ms);

    HistoryCenterEnvironment env_;
    SymbolsBase* symbols_ = nullptr;

    mutable std::mutex lock_;
    std::vector<std::unique_ptr<Entry>> entries_;   // newest first
    std::vector<ChartRequest> queue_;
    size_t expiring_ = 0;                           // entries with an expiry set
    bool sync_active_ = false;                      // a synchronisation thread owns the stream

    // The synchronisation thread and what only it touches (the stream may be closed from
    // the destructor to end a wait).
    std::mutex thread_lock_;
    platform::Thread thread_;
    std::atomic<bool> stopping_{false};
    net::PacketStream stream_;
    BarForm bar_form_ = BarForm::Narrow22;
    uint32_t last_use_ms_ = 0;
};

}  // namespace kb::market
