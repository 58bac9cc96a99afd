#include "server/bar_history.h"

#include <algorithm>
#include <cmath>

#include "server/price_engine.h"

namespace kb::server {

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kWeek = 7 * kDay;
constexpr int64_t kSundayOffset = 4 * kDay;   // 1970-01-01 was a Thursday
constexpr int32_t kWeekPeriod = 10080;
constexpr int32_t kMonthPeriod = 43200;
// The generated past needs the shape of the market, not every tick: fewer, larger moves
// with the same variance per minute keep the start fast.
constexpr double kGeneratedTicksPerMinute = 2;
constexpr size_t kTrimSlack = 4096;

int64_t floor_div(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Civil calendar <-> days since 1970-01-01 (proleptic Gregorian).
int64_t days_from_civil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = floor_div(year, 400);
    const int64_t year_of_era = year - era * 400;
    const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

int64_t month_start(int64_t time) {
    const int64_t days = floor_div(time, kDay) + 719468;
    const int64_t era = floor_div(days, 146097);
    const int64_t day_of_era = days - era * 146097;
    const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int64_t shifted_month = (5 * day_of_year + 2) / 153;
    const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
    const int64_t year = year_of_era + era * 400 + (month <= 2);
    return days_from_civil(year, month, 1) * kDay;
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
        open = month_start(time);
    } else if (period == kWeekPeriod) {
        open = floor_div(time + kSundayOffset, kWeek) * kWeek - kSundayOffset;
    } else {
        open = floor_div(time, int64_t{period} * 60) * period * 60;
    }
    return static_cast<int32_t>(open);
}

BarHistory::BarHistory(const ServerConfig& config, int64_t now)
    : configured_(config.instruments),
      seed_(config.price_seed),
      now_(now),
      time_sign_(static_cast<int32_t>(floor_div(now, kDay) * kDay - int64_t{config.history_days} * kDay)),
      instruments_(config.instruments.size()) {
    for (size_t i = 0; i < instruments_.size(); ++i) instruments_[i].point = config.instruments[i].point;
}

void BarHistory::generate() {
    std::vector<Tick> ticks;
    for (size_t i = 0; i < configured_.size() && !cancelled_; ++i) {
        Instrument generated;
        generated.point = configured_[i].point;
        PriceEngine engine({coarse_copy(configured_[i])}, seed_, int64_t{time_sign_} * 1000);
        for (int64_t until = int64_t{time_sign_} + kDay; !cancelled_; until += kDay) {
            ticks.clear();
            engine.advance_to(std::min(until, now_) * 1000, ticks);
            for (const Tick& tick : ticks) add_tick(generated, tick.time, tick.bid);
            if (until >= now_) break;
        }
        // Live bars win: the generated ones stop where the live ones begin.
        std::lock_guard guard(lock_);
        for (size_t p = 0; p < kChartPeriods.size(); ++p) {
            Series& live = instruments_[i].periods[p];
            Series& past = generated.periods[p];
            if (!live.empty()) {
                const int32_t first_live = live.front().time;
                past.erase(std::find_if(past.begin(), past.end(), [&](const PointBar& bar) { return bar.time >= first_live; }),
                           past.end());
                past.insert(past.end(), live.begin(), live.end());
            }
            if (past.size() > kMaxBarsKept) past.erase(past.begin(), past.end() - static_cast<std::ptrdiff_t>(kMaxBarsKept));
            live.swap(past);
        }
    }
    std::lock_guard guard(lock_);
    ready_ = true;
    ready_changed_.notify_all();
}

void BarHistory::wait_ready() {
    std::unique_lock guard(lock_);
    ready_changed_.wait(guard, [this] { return ready_; });
}

void BarHistory::add_tick(Instrument& instrument, int64_t time, double bid) {
    const int32_t points = static_cast<int32_t>(std::lround(bid / instrument.point));
    for (size_t p = 0; p < kChartPeriods.size(); ++p) {
        Series& series = instrument.periods[p];
        const int32_t open = bar_open_time(kChartPeriods[p], time);
        if (series.empty() || series.back().time < open) {
            series.push_back({open, points, points, points, points, 1});
            if (series.size() > kMaxBarsKept + kTrimSlack)
                series.erase(series.begin(), series.end() - static_cast<std::ptrdiff_t>(kMaxBarsKept));
        } else if (series.back().time == open) {
            PointBar& bar = series.back();
            bar.high = std::max(bar.high, points);
            bar.low = std::min(bar.low, points);
            bar.close = points;
            ++bar.volume;
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
