#include "market/history_center.h"

#include <algorithm>
#include <new>
#include <tuple>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "core/notifications.h"
#include "market/history_center_entry.h"
#include "market/symbols_base.h"
#include "platform/notifier.h"

namespace kb::market {

namespace {

bool expired(uint32_t now, uint32_t expiry) { return static_cast<int32_t>(now - expiry) >= 0; }

}  // namespace

HistoryCenter::HistoryCenter(HistoryCenterEnvironment environment) : env_(std::move(environment)) {
    queue_.reserve(kMaxQueuedRequests);
}

HistoryCenter::~HistoryCenter() {
    closing_ = true;
    synchronisation_.reset();
    std::lock_guard guard(lock_);
    entries_.clear();
    queue_.clear();
}

void HistoryCenter::set_symbols(SymbolsBase* symbols) { symbols_ = symbols; }

void HistoryCenter::set_synchronisation(std::unique_ptr<HistorySynchronisation> synchronisation) {
    synchronisation_ = std::move(synchronisation);
}

// ---- the list ----

HistoryCenter::Entry* HistoryCenter::find_locked(std::string_view symbol, int period) {
    for (const std::unique_ptr<Entry>& entry : entries_)
        if (entry->period == period && entry->symbol == symbol) return entry.get();
    return nullptr;
}

const HistoryCenter::Entry* HistoryCenter::find_locked(std::string_view symbol, int period) const {
    return const_cast<HistoryCenter*>(this)->find_locked(symbol, period);
}

std::optional<SymbolRecord> HistoryCenter::known_symbol(std::string_view name) const {
    if (symbols_ == nullptr) return std::nullopt;
    return symbols_->symbol_by_name(name);
}

std::unique_ptr<HistoryCenter::Entry> HistoryCenter::make_entry(const SymbolRecord& symbol, int period,
                                                                 Offline offline) {
    HistorySettings settings;
    {
        std::lock_guard guard(lock_);
        settings = env_.settings;
    }
    if (env_.limits != nullptr) std::tie(settings.max_bars_in_memory, settings.max_bars_in_file) = env_.limits->current();
    const std::string name(core::field_text(symbol.name));
    try {
        std::unique_ptr<HistoryBase> base =
            HistoryBase::create(symbol, period, offline == Offline::Yes, std::move(settings), env_.journal);
        if (!base) return nullptr;
        auto entry = std::make_unique<Entry>(std::move(base), symbol, offline);
        entry->oldest_covered_time = entry->base->first_bar_time();
        return entry;
    } catch (const std::bad_alloc&) {
        if (env_.journal != nullptr)
            env_.journal->write(core::Level::Error, "HistoryCenter: not enough memory for '%s%d'", name.c_str(), period);
        return nullptr;
    }
}

void HistoryCenter::free_entry_locked(size_t position) {
    Entry& entry = *entries_[position];
    drop_queued_locked(entry);
    if (entry.expiry) --expiring_;
    entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(position));   // saves the history
}

// A freed history's request would only bring it back unreferenced.
void HistoryCenter::drop_queued_locked(const Entry& entry) {
    std::erase_if(queue_, [&entry](const ChartRequest& request) {
        return request.period == entry.period && core::field_text(request.symbol) == entry.symbol;
    });
}

// ---- charts ----

std::optional<bool> HistoryCenter::open(std::string_view symbol, int period, Offline offline) {
    {
        std::lock_guard guard(lock_);
        if (Entry* entry = find_locked(symbol, period)) {
            entry->take_reference(expiring_);
            return false;
        }
    }
    if (offline == Offline::No && !HistoryBase::is_standard_period(period)) return std::nullopt;
    std::optional<SymbolRecord> record = known_symbol(symbol);
    if (!record) {
        if (offline == Offline::No) return std::nullopt;
        record = SymbolRecord{};
        core::set_field_text(record->name, symbol);
    }
    std::unique_ptr<Entry> created = make_entry(*record, period, offline);
    if (!created) return std::nullopt;

    std::lock_guard guard(lock_);
    if (Entry* entry = find_locked(symbol, period)) {   // opened meanwhile on another thread
        entry->take_reference(expiring_);
        return false;
    }
    try {
        entries_.insert(entries_.begin(), std::move(created));
    } catch (const std::bad_alloc&) {
        if (env_.journal != nullptr)
            env_.journal->write(core::Level::Error, "HistoryCenter: not enough memory for '%s%d'",
                                std::string(symbol).c_str(), period);
        return std::nullopt;
    }
    Entry& entry = *entries_.front();
    entry.references = 1;
    queue_refresh_locked(entry);
    return true;
}

void HistoryCenter::release(std::string_view symbol, int period) {
    std::lock_guard guard(lock_);
    Entry* entry = find_locked(symbol, period);
    if (entry == nullptr) return;
    if (entry->references > 0) --entry->references;
    if (entry->references == 0 && !entry->expiry) {
        entry->expiry = env_.clock.tick_ms() + kExpiryMs;
        ++expiring_;
    }
}

bool HistoryCenter::copy_to_chart(std::string_view symbol, int period, ChartBuffer& chart) {
    std::lock_guard guard(lock_);
    if (Entry* entry = find_locked(symbol, period)) return entry->base->copy_to_chart(chart);
    const bool had_bars = !chart.bars.empty();
    chart.bars.clear();
    chart.version = -1;
    return had_bars;
}

void HistoryCenter::more_history(std::string_view symbol, int period, size_t bars_wanted) {
    {
        std::lock_guard guard(lock_);
        if (Entry* entry = find_locked(symbol, period)) {
            const size_t count = std::min({bars_wanted, entry->base->max_bars_in_memory(), kMaxRequestedBars});
            queue_locked(*entry, entry->base->first_bar_time(), count);
            return;
        }
    }
    open(symbol, period);
}

// ---- the request queue ----

// The request is worth sending only when the server may hold bars the history lacks and
// the history has room for them; one request per history is in flight at a time.
void HistoryCenter::queue_locked(Entry& entry, int32_t from_time, size_t bar_count) {
    if (entry.offline) {
        entry.reload();
        return;
    }
    const bool may_add = from_time < 1 || bar_count < 1 || entry.oldest_covered_time < from_time;
    const bool has_room = entry.base->bar_count() < entry.base->max_bars_in_memory() || bar_count == 0;
    if (!may_add || !has_room || entry.request_pending || queue_.size() >= kMaxQueuedRequests) return;
    ChartRequest request{};
    core::set_field_text(request.symbol, entry.symbol);
    request.period = entry.period;
    request.from_time = from_time;
    request.bar_count = static_cast<int16_t>(bar_count);
    queue_.push_back(request);
    entry.request_pending = true;
}

void HistoryCenter::queue_refresh_locked(Entry& entry) {
    queue_locked(entry, entry.base->newest_bar_time(kRefreshedBars - 1), 0);
}

std::vector<ChartRequest> HistoryCenter::take_requests() {
    std::lock_guard guard(lock_);
    std::vector<ChartRequest> taken;
    taken.swap(queue_);
    return taken;
}

// ---- the trade server connection ----

void HistoryCenter::on_tick(const TickRecord& tick) {
    std::lock_guard guard(lock_);
    const int32_t index = tick.symbol_index;
    for (const std::unique_ptr<Entry>& entry : entries_)
        if (entry->symbol_index == index) entry->base->add_tick(tick);
    if (expiring_ == 0) return;
    const uint32_t now = env_.clock.tick_ms();
    for (size_t i = entries_.size(); i-- > 0;)
        if (entries_[i]->expiry && expired(now, *entries_[i]->expiry)) free_entry_locked(i);
}

void HistoryCenter::on_symbol_updated(const SymbolRecord& symbol) {
    std::lock_guard guard(lock_);
    const std::string_view name = core::field_text(symbol.name);
    for (const std::unique_ptr<Entry>& entry : entries_)
        if (entry->symbol == name) entry->take_symbol(symbol);
}

size_t HistoryCenter::import(std::string_view symbol, int period, int32_t oldest_covered_time,
                             std::span<const WireBar28> bars) {
    return import_bars(symbol, period, oldest_covered_time, bars);
}

size_t HistoryCenter::import(std::string_view symbol, int period, int32_t oldest_covered_time,
                             std::span<const WireBar22> bars) {
    return import_bars(symbol, period, oldest_covered_time, bars);
}

// A reply for a history no chart holds opens one without a reference: it is kept for the
// hour a released one is, so the answer isn't lost and the history is freed in the end.
template <class Wire>
size_t HistoryCenter::import_bars(std::string_view symbol, int period, int32_t oldest_covered_time,
                                  std::span<const Wire> bars) {
    bool open_already = false;
    {
        std::lock_guard guard(lock_);
        open_already = find_locked(symbol, period) != nullptr;
    }
    std::unique_ptr<Entry> created;
    if (!open_already) {
        std::optional<SymbolRecord> record = known_symbol(symbol);
        if (!record || !HistoryBase::is_standard_period(period)) return 0;
        created = make_entry(*record, period, Offline::No);
        if (!created) return 0;
    }
    size_t accepted = 0;
    {
        std::lock_guard guard(lock_);
        Entry* entry = find_locked(symbol, period);
        if (entry == nullptr && created) {
            try {
                entries_.insert(entries_.begin(), std::move(created));
            } catch (const std::bad_alloc&) {
                return 0;
            }
            entry = entries_.front().get();
            entry->expiry = env_.clock.tick_ms() + kExpiryMs;
            ++expiring_;
        }
        if (entry == nullptr) return 0;
        accepted = entry->base->import_bars(bars, 0);
        if (oldest_covered_time > 0) entry->oldest_covered_time = oldest_covered_time;
        entry->request_pending = false;
    }
    notify_chart_history();
    return accepted;
}

void HistoryCenter::notify_chart_history() {
    if (env_.notifier != nullptr) env_.notifier->post(core::kNotifyChartHistory, 0);
}

// ---- logins ----

size_t HistoryCenter::set_server(std::string name) {
    std::lock_guard guard(lock_);
    env_.settings.server = name;
    queue_.clear();
    size_t switched = 0;
    for (size_t i = entries_.size(); i-- > 0;) {
        Entry& entry = *entries_[i];
        if (entry.references == 0) {
            free_entry_locked(i);
            continue;
        }
        entry.base->set_server(name);
        entry.oldest_covered_time = entry.base->first_bar_time();
        entry.request_pending = false;
        ++switched;
    }
    return switched;
}

void HistoryCenter::refresh_symbols() {
    if (symbols_ == nullptr) return;
    std::vector<std::string> names = symbols_in_use();
    // Looked up before the centre's lock is taken: the symbols base calls in under its own.
    std::vector<std::optional<SymbolRecord>> records;
    records.reserve(names.size());
    for (const std::string& name : names) records.push_back(symbols_->symbol_by_name(name));
    {
        std::lock_guard guard(lock_);
        for (size_t i = entries_.size(); i-- > 0;) {
            Entry& entry = *entries_[i];
            if (entry.offline) continue;
            const auto known = std::find(names.begin(), names.end(), entry.symbol);
            const std::optional<SymbolRecord>* record =
                known == names.end() ? nullptr : &records[static_cast<size_t>(known - names.begin())];
            if (record != nullptr && record->has_value())
                entry.take_symbol(**record);
            else if (record != nullptr)
                free_entry_locked(i);
        }
    }
    for (size_t i = 0; i < names.size(); ++i)
        if (records[i]) symbols_->select(names[i], Shown::Yes, Save::Yes);
}

void HistoryCenter::after_login() {
    std::lock_guard guard(lock_);
    queue_.clear();
    for (const std::unique_ptr<Entry>& entry : entries_) {
        entry->request_pending = false;
        if (entry->offline)
            entry->reload();
        else
            queue_refresh_locked(*entry);
    }
}

// ---- queries ----

bool HistoryCenter::in_use(std::string_view symbol) const {
    std::lock_guard guard(lock_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [symbol](const std::unique_ptr<Entry>& entry) { return entry->symbol == symbol; });
}

std::vector<std::string> HistoryCenter::symbols_in_use() {
    std::lock_guard guard(lock_);
    std::vector<std::string> names;
    for (const std::unique_ptr<Entry>& entry : entries_)
        if (std::find(names.begin(), names.end(), entry->symbol) == names.end()) names.push_back(entry->symbol);
    return names;
}

size_t HistoryCenter::history_count() const {
    std::lock_guard guard(lock_);
    return entries_.size();
}

std::optional<HistoryState> HistoryCenter::state(std::string_view symbol, int period) const {
    std::lock_guard guard(lock_);
    const Entry* entry = find_locked(symbol, period);
    if (entry == nullptr) return std::nullopt;
    return HistoryState{entry->references,          entry->expiry.has_value(),  entry->request_pending,
                        entry->sync_requested,      entry->oldest_covered_time, entry->base->bar_count(),
                        entry->base->version()};
}

size_t HistoryCenter::queued_requests() const {
    std::lock_guard guard(lock_);
    return queue_.size();
}

// ---- synchronisation ----

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
        if (synchronisation_ == nullptr || sync_active_) return;
        sync_active_ = true;
    }
    if (!synchronisation_->start()) synchronisation_ended();
}

bool HistoryCenter::synchronisation_running() const {
    std::lock_guard guard(lock_);
    return sync_active_;
}

std::optional<std::vector<HistorySummary>> HistoryCenter::next_synchronisation_pass(WhenIdle when_idle) {
    std::lock_guard guard(lock_);
    std::vector<HistorySummary> wanted;
    for (const std::unique_ptr<Entry>& entry : entries_)
        if (entry->sync_requested) wanted.push_back(entry->base->summary());
    if (wanted.empty() && when_idle == WhenIdle::End) {
        sync_active_ = false;
        return std::nullopt;
    }
    return wanted;
}

void HistoryCenter::synchronisation_ended() {
    std::lock_guard guard(lock_);
    sync_active_ = false;
}

void HistoryCenter::apply_synchronisation(const HistorySummary& summary, const HistorySyncAnswer& answer) {
    size_t imported = 0;
    {
        std::lock_guard guard(lock_);
        Entry* entry = find_locked(summary.symbol, summary.period);
        if (entry == nullptr) return;
        if (answer.status == HistorySyncAnswer::Status::Bars) {
            const size_t received = answer.bars28.size() + answer.bars22.size();
            if (env_.journal != nullptr)
                env_.journal->write(core::Level::Info, "HistoryCenter: %d bars imported in '%s%d'",
                                    static_cast<int>(received), summary.symbol.c_str(), summary.period);
            imported = answer.bars28.empty()
                           ? entry->base->import_bars(std::span<const WireBar22>(answer.bars22), answer.time_sign)
                           : entry->base->import_bars(std::span<const WireBar28>(answer.bars28), answer.time_sign);
        }
        entry->sync_requested = false;
    }
    if (imported > 0 && !closing_) notify_chart_history();
}

}  // namespace kb::market
