// The history centre's synchronisation thread and its connection to the history server.
#include <cstring>
#include <vector>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "market/history_center.h"
#include "market/history_center_entry.h"
#include "market/history_sync_request.h"
#include "net/compressed_block.h"

namespace kb::market {

namespace {

constexpr size_t kIdlePassesBeforeClose = 30;
constexpr uint32_t kPassPauseMs = 500;
constexpr uint32_t kFailurePauseMs = 5000;
constexpr uint32_t kPauseStepMs = 100;
// A connection unused for longer may have been dropped by the server: log in afresh.
constexpr uint32_t kConnectionReuseMs = 60000;

constexpr uint8_t kAnswerBars = net::code_byte(net::ReturnCode::Ok);
constexpr uint8_t kAnswerNothingNew = net::code_byte(net::ReturnCode::OkNoResult);

// The bars of a block whose size is a whole number of them; nothing otherwise.
template <class Wire>
std::optional<std::vector<Wire>> bars_of(const net::CompressedBlock& block) {
    if (block.status == net::BlockStatus::Empty) return std::vector<Wire>{};
    if (block.size % sizeof(Wire) != 0) return std::nullopt;
    std::vector<Wire> bars(block.size / sizeof(Wire));
    if (!bars.empty()) std::memcpy(bars.data(), block.bytes.get(), block.size);
    return bars;
}

}  // namespace

void HistoryCenter::synchronise(std::string_view symbol, int period) {
    {
        std::lock_guard guard(lock_);
        Entry* entry = find_locked(symbol, period);
        if (entry == nullptr) {
            if (env_.journal != nullptr)
                env_.journal->write(core::Level::Error, "HistoryCenter: unknown chart '%s%d' in history synchronization",
                                    std::string(symbol).c_str(), period);
            return;
        }
        if (entry->offline) {
            entry->reload();
            return;
        }
        entry->sync_requested = true;
        if (env_.login == nullptr || sync_active_) return;
        sync_active_ = true;
    }
    start_synchronisation();
}

bool HistoryCenter::synchronisation_running() const {
    std::lock_guard guard(lock_);
    return sync_active_;
}

void HistoryCenter::start_synchronisation() {
    std::lock_guard thread_guard(thread_lock_);
    // A thread that ended on its own is still held: it has let go of the stream.
    thread_.join();
    if (stopping_ || !thread_.start([this] { run_synchronisation(); })) {
        std::lock_guard guard(lock_);
        sync_active_ = false;
    }
}

void HistoryCenter::stop_synchronisation() {
    stopping_ = true;
    stream_.close();
    std::lock_guard thread_guard(thread_lock_);
    thread_.join();
}

void HistoryCenter::pause(uint32_t total_ms) {
    for (uint32_t waited = 0; waited < total_ms && !stopping_; waited += kPauseStepMs) env_.clock.sleep_ms(kPauseStepMs);
}

void HistoryCenter::run_synchronisation() {
    size_t idle_passes = 0;
    while (!stopping_) {
        std::vector<HistorySummary> wanted;
        {
            std::lock_guard guard(lock_);
            for (const std::unique_ptr<Entry>& entry : entries_)
                if (entry->sync_requested) wanted.push_back(entry->base->summary());
            if (wanted.empty() && ++idle_passes >= kIdlePassesBeforeClose) {
                sync_active_ = false;
                break;
            }
        }
        if (!wanted.empty()) idle_passes = 0;
        for (const HistorySummary& summary : wanted) {
            if (stopping_) break;
            if (synchronise_one(summary) == SyncOutcome::Refused) pause(kFailurePauseMs);
        }
        pause(kPassPauseMs);
    }
    if (stream_.is_open()) {
        stream_.send_quit();
        stream_.close();
    }
    if (stopping_) {
        std::lock_guard guard(lock_);
        sync_active_ = false;
    }
}

HistoryLoginResult::Status HistoryCenter::ensure_connected() {
    const uint32_t now = env_.clock.tick_ms();
    if (stream_.is_open() && now - last_use_ms_ <= kConnectionReuseMs) return HistoryLoginResult::Status::LoggedIn;
    stream_.close();
    const HistoryLoginResult login = env_.login->connect_and_log_in(stream_);
    if (login.status != HistoryLoginResult::Status::LoggedIn) {
        stream_.close();
        return login.status;
    }
    bar_form_ = login.form;
    last_use_ms_ = now;
    return login.status;
}

HistoryCenter::SyncOutcome HistoryCenter::synchronise_one(const HistorySummary& summary) {
    if (env_.journal != nullptr)
        env_.journal->write(core::Level::Info, "HistoryCenter: synchronize '%s%d'", summary.symbol.c_str(), summary.period);
    switch (ensure_connected()) {
        case HistoryLoginResult::Status::LoggedIn: break;
        case HistoryLoginResult::Status::NotConnected: return SyncOutcome::NotConnected;
        case HistoryLoginResult::Status::Refused: return SyncOutcome::Refused;
    }

    HistorySyncRequest request{};
    core::set_field_text(request.symbol, summary.symbol);
    request.period = summary.period;
    request.first_time = summary.first_time;
    request.newest_time = summary.last_time;
    request.time_sign = summary.time_sign;
    request.version = kHistorySyncVersion;
    net::OutputBuffer& out = stream_.output();
    out.reset();
    out.put_command(net::Command::HistorySync);
    out.put_bytes(&request, sizeof request);
    if (!stream_.send_output()) return SyncOutcome::Refused;

    const uint8_t answer = stream_.read_byte();
    if (answer != kAnswerBars && answer != kAnswerNothingNew) return SyncOutcome::Refused;
    std::vector<WireBar28> wide;
    std::vector<WireBar22> narrow;
    int32_t time_sign = 0;
    if (answer == kAnswerBars) {
        if (!stream_.read_i32(time_sign)) return SyncOutcome::Refused;
        const bool is_wide = bar_form_ == BarForm::Wide28;
        net::CompressedBlock block = net::read_compressed(stream_, history_sync_limit(bar_form_));
        std::optional<std::vector<WireBar28>> wide_bars;
        std::optional<std::vector<WireBar22>> narrow_bars;
        if (block.ok() && is_wide) wide_bars = bars_of<WireBar28>(block);
        if (block.ok() && !is_wide) narrow_bars = bars_of<WireBar22>(block);
        if (!wide_bars && !narrow_bars) {
            // Whatever follows a block that can't be read is lost: start afresh.
            stream_.close();
            if (env_.journal != nullptr) env_.journal->write(core::Level::Fault, "Read failed");
            return SyncOutcome::Refused;
        }
        if (wide_bars) wide = std::move(*wide_bars);
        if (narrow_bars) narrow = std::move(*narrow_bars);
    }
    last_use_ms_ = env_.clock.tick_ms();

    size_t imported = 0;
    {
        std::lock_guard guard(lock_);
        Entry* entry = find_locked(summary.symbol, summary.period);
        if (entry == nullptr) return SyncOutcome::Done;
        if (answer == kAnswerBars) {
            const size_t received = wide.size() + narrow.size();
            if (env_.journal != nullptr)
                env_.journal->write(core::Level::Info, "HistoryCenter: %d bars imported in '%s%d'",
                                    static_cast<int>(received), summary.symbol.c_str(), summary.period);
            imported = wide.empty() ? entry->base->import_bars(std::span<const WireBar22>(narrow), time_sign)
                                    : entry->base->import_bars(std::span<const WireBar28>(wide), time_sign);
        }
        entry->sync_requested = false;
    }
    if (imported > 0 && !stopping_) notify_chart_history();
    return SyncOutcome::Done;
}

}  // namespace kb::market
