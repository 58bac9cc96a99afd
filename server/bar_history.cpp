#include "server/bar_history.h"

#include <algorithm>
#include <cmath>

#include "market/quote_hours.h"
#include "server/price_engine.h"

namespace kb::server {

namespace {

constexpr int64_t kDay = 86400;
constexpr int32_t kWeekPeriod = 10080;
constexpr int32_t kMonthPeriod = 43200;
// The generated past needs the shape of the market, not every tick: fewer, larger moves
// with the same variance per minute keep the start fast.
constexpr double kGeneratedTicksPerMinute = 2;
constexpr size_t kTrimSlack = 4096;
constexpr const char* kOriginKey = "history_origin";

int64_t floor_div(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

size_t period_index(int32_t period) {
    return static_cast<size_t>(std::find(kChartPeriods.begin(), kChartPeriods.end(), period) - kChartPeriods.begin());
}

InstrumentConfig coarse_copy(const InstrumentConfig& instrument) {
    InstrumentConfig coarse = instrument;
    if (instrument.tick_rate > kGeneratedTicksPerMinute) {
        coarse.volatility = instrument.volatility * std::sqrt(instrument.tick_rate / kGeneratedTicksPerMinute);
        coarse.tick_rate = kGeneratedTicksPerMinute;
    }
    return coarse;
}

}  // namespace

bool BarHistory::is_chart_period(int32_t period) { return period_index(period) < kChartPeriods.size(); }

int32_t BarHistory::bar_open_time(int32_t period, int64_t time) {
    int64_t open = 0;
    if (period == kMonthPeriod) {
        open = market::month_open(time);
    } else if (period == kWeekPeriod) {
        open = market::week_open(time);
    } else {
        open = floor_div(time, int64_t{period} * 60) * period * 60;
    }
    return static_cast<int32_t>(open);
}

BarHistory::BarHistory(const ServerConfig& config, int64_t now, Storage* storage)
    : configured_(config.instruments),
      seed_(config.price_seed),
      now_(now),
      storage_(storage),
      time_sign_(origin(config, now)),
      instruments_(config.instruments.size()) {
    for (size_t i = 0; i < instruments_.size(); ++i) instruments_[i].point = config.instruments[i].point;
}

// The first start fixes the origin; later starts keep it, so clients keep their histories.
int32_t BarHistory::origin(const ServerConfig& config, int64_t now) {
    const int32_t fresh = static_cast<int32_t>(floor_div(now, kDay) * kDay - int64_t{config.history_days} * kDay);
    if (!storage_) return fresh;
    if (std::optional<int64_t> stored = storage_->server_value(kOriginKey)) return static_cast<int32_t>(*stored);
    storage_->set_server_value(kOriginKey, fresh);
    return fresh;
}

std::vector<double> BarHistory::stored_closes(const ServerConfig& config, Storage& storage) {
    std::vector<double> closes;
    for (const InstrumentConfig& instrument : config.instruments) {
        const std::vector<PointBar> last = storage.load_bars(instrument.name, kChartPeriods[0], 1);
        closes.push_back(last.empty() ? 0.0 : last.back().close * instrument.point);
    }
    return closes;
}

// The stored bars of an instrument, extended to now by the price engine: from the origin
// when nothing is stored, else from the newest stored minute on, at its close.
BarHistory::Instrument BarHistory::past_of(size_t index) {
    const InstrumentConfig& configured = configured_[index];
    Instrument past;
    past.point = configured.point;
    if (storage_) {
        for (size_t p = 0; p < kChartPeriods.size(); ++p) {
            Series& series = past.periods[p];
            series = storage_->load_bars(configured.name, kChartPeriods[p], kMaxBarsKept);
            // A damaged file must not break the time order the lookups rely on, nor bring bars
            // from before the origin or after now: generating on from those would take hours
            // or nothing at all.
            const int32_t first = bar_open_time(kChartPeriods[p], time_sign_);
            int32_t last = INT32_MIN;
            std::erase_if(series, [&](const PointBar& bar) {
                const bool in_order = bar.time > last && bar.time >= first && bar.time <= now_ &&
                                      bar.time == bar_open_time(kChartPeriods[p], bar.time);
                if (in_order) last = bar.time;
                return !in_order;
            });
        }
    }
    const Series& minutes = past.periods[0];
    int64_t from = time_sign_;
    std::vector<InstrumentConfig> walked = {coarse_copy(configured)};
    if (!minutes.empty()) from = int64_t{minutes.back().time} + 60;
    PriceEngine engine(walked, seed_, from * 1000);
    if (!minutes.empty()) engine.resume(0, minutes.back().close * configured.point);
    std::vector<Tick> ticks;
    for (int64_t until = from + kDay; !cancelled_; until += kDay) {
        ticks.clear();
        engine.advance_to(std::min(until, now_) * 1000, ticks);
        for (const Tick& tick : ticks) add_tick(past, tick.time, tick.bid);
        if (until >= now_) break;
    }
    return past;
}

void BarHistory::generate() {
    for (size_t i = 0; i < configured_.size() && !cancelled_; ++i) {
        Instrument generated = past_of(i);
        if (cancelled_) break;
        // Live bars win: the generated ones stop where the live ones begin.
        std::lock_guard guard(lock_);
        Instrument& held = instruments_[i];
        for (size_t p = 0; p < kChartPeriods.size(); ++p) {
            Series& live = held.periods[p];
            Series& past = generated.periods[p];
            if (!live.empty()) {
                const int32_t first_live = live.front().time;
                past.erase(std::find_if(past.begin(), past.end(), [&](const PointBar& bar) { return bar.time >= first_live; }),
                           past.end());
                past.insert(past.end(), live.begin(), live.end());
            }
            if (past.size() > kMaxBarsKept) past.erase(past.begin(), past.end() - static_cast<std::ptrdiff_t>(kMaxBarsKept));
            live.swap(past);
            held.unsaved_from[p] = std::min(held.unsaved_from[p], generated.unsaved_from[p]);
        }
        held.complete = true;
    }
    std::lock_guard guard(lock_);
    ready_ = true;
    ready_changed_.notify_all();
}

void BarHistory::cancel() {
    std::lock_guard guard(lock_);
    cancelled_ = true;
    ready_changed_.notify_all();
}

bool BarHistory::save() {
    if (!storage_) return true;
    std::vector<BarSeriesWrite> writes;
    {
        std::lock_guard guard(lock_);
        for (size_t i = 0; i < instruments_.size(); ++i) {
            Instrument& instrument = instruments_[i];
            if (!instrument.complete) continue;
            for (size_t p = 0; p < kChartPeriods.size(); ++p) {
                const Series& series = instrument.periods[p];
                if (instrument.unsaved_from[p] == INT32_MAX || series.empty()) continue;
                // Whole chunks are rewritten: from the start of the one the oldest change is in.
                const int32_t from = Storage::bar_chunk_start(kChartPeriods[p], instrument.unsaved_from[p]);
                auto first = std::lower_bound(series.begin(), series.end(), from,
                                              [](const PointBar& bar, int32_t time) { return bar.time < time; });
                writes.push_back(BarSeriesWrite{configured_[i].name, kChartPeriods[p],
                                                std::vector<PointBar>(first, series.end()), series.front().time});
                instrument.unsaved_from[p] = INT32_MAX;
            }
        }
    }
    // One series per transaction: the storage's lock is free for logins and deals in between.
    std::vector<BarSeriesWrite> failed;
    for (BarSeriesWrite& write : writes) {
        if (!storage_->save_bars(std::span<const BarSeriesWrite>(&write, 1))) failed.push_back(std::move(write));
    }
    if (failed.empty()) return true;
    // Mark the unsaved bars again so the next save retries them.
    std::lock_guard guard(lock_);
    for (const BarSeriesWrite& write : failed) {
        const size_t i = static_cast<size_t>(std::find_if(configured_.begin(), configured_.end(),
                                                          [&](const InstrumentConfig& c) { return c.name == write.symbol; }) -
                                             configured_.begin());
        int32_t& from = instruments_[i].unsaved_from[period_index(write.period)];
        from = std::min(from, write.bars.front().time);
    }
    return false;
}

void BarHistory::save_periodically(uint32_t period_ms, platform::Clock& clock) {
    std::unique_lock guard(lock_);
    while (!cancelled_) {
        clock.wait_for_signal(ready_changed_, guard, period_ms, [this] { return cancelled_.load(); });
        guard.unlock();
        save();
        guard.lock();
    }
}

void BarHistory::wait_ready() {
    std::unique_lock guard(lock_);
    ready_changed_.wait(guard, [this] { return ready_ || cancelled_; });
}

void BarHistory::add_tick(Instrument& instrument, int64_t time, double bid) {
    const int32_t points = static_cast<int32_t>(std::lround(bid / instrument.point));
    for (size_t p = 0; p < kChartPeriods.size(); ++p) {
        Series& series = instrument.periods[p];
        const int32_t open = bar_open_time(kChartPeriods[p], time);
        if (series.empty() || series.back().time < open) {
            series.push_back({open, points, points, points, points, 1});
            instrument.unsaved_from[p] = std::min(instrument.unsaved_from[p], open);
            if (series.size() > kMaxBarsKept + kTrimSlack)
                series.erase(series.begin(), series.end() - static_cast<std::ptrdiff_t>(kMaxBarsKept));
        } else if (series.back().time == open) {
            PointBar& bar = series.back();
            bar.high = std::max(bar.high, points);
            bar.low = std::min(bar.low, points);
            bar.close = points;
            ++bar.volume;
            instrument.unsaved_from[p] = std::min(instrument.unsaved_from[p], open);
        }
    }
}

void BarHistory::on_ticks(std::span<const Tick> ticks) {
    std::lock_guard guard(lock_);
    for (const Tick& tick : ticks) {
        if (tick.instrument < 0 || static_cast<size_t>(tick.instrument) >= instruments_.size()) continue;
        add_tick(instruments_[static_cast<size_t>(tick.instrument)], tick.time, tick.bid);
    }
}

const BarHistory::Series* BarHistory::series_locked(int instrument, int32_t period) const {
    const size_t index = period_index(period);
    if (instrument < 0 || static_cast<size_t>(instrument) >= instruments_.size() || index >= kChartPeriods.size())
        return nullptr;
    return &instruments_[static_cast<size_t>(instrument)].periods[index];
}

std::vector<PointBar> BarHistory::bars(int instrument, int32_t period, int32_t from, int32_t to, size_t limit) {
    std::lock_guard guard(lock_);
    const Series* series = series_locked(instrument, period);
    if (!series) return {};
    auto by_time = [](const PointBar& bar, int32_t time) { return bar.time < time; };
    auto first = std::lower_bound(series->begin(), series->end(), from, by_time);
    auto last = std::lower_bound(first, series->end(), to, by_time);
    if (static_cast<size_t>(last - first) > limit) first = last - static_cast<std::ptrdiff_t>(limit);
    return std::vector<PointBar>(first, last);
}

std::vector<PointBar> BarHistory::bars_before(int instrument, int32_t period, int32_t time, size_t count) {
    return bars(instrument, period, INT32_MIN, time, count);
}

int32_t BarHistory::oldest_time(int instrument, int32_t period) {
    std::lock_guard guard(lock_);
    const Series* series = series_locked(instrument, period);
    return series && !series->empty() ? series->front().time : 0;
}

}  // namespace kb::server
