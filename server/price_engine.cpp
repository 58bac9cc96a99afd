#include "server/price_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/number_format.h"
#include "market/quote_hours.h"

namespace kb::server {

namespace {

constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
constexpr double kMinimumGapMs = 20;
// Pull of the log price back to its start per tick: weak enough for realistic daily
// ranges, strong enough that months of walking stay near the configured level.
constexpr double kReversionPerTick = 2e-6;
constexpr int64_t kShortestRegimeMs = 10 * 60 * 1000;
constexpr int64_t kLongestRegimeMs = 60 * 60 * 1000;

uint64_t seed_for(uint64_t seed, const std::string& name) {
    uint64_t hash = 1469598103934665603ull;   // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    return seed ^ hash;
}

double normal(platform::Random& random) {   // Box-Muller, one value per call
    return std::sqrt(-2.0 * std::log(random.uniform())) * std::cos(6.283185307179586 * random.uniform());
}

double exponential(platform::Random& random, double mean) { return -mean * std::log(random.uniform()); }

int64_t floor_seconds(int64_t unix_ms) { return unix_ms >= 0 ? unix_ms / 1000 : (unix_ms - 999) / 1000; }

}  // namespace


PriceEngine::PriceEngine(std::vector<InstrumentConfig> instruments, uint64_t seed, int64_t start_unix_ms)
    : instruments_(std::move(instruments)), now_ms_(start_unix_ms) {
    walkers_.reserve(instruments_.size());
    for (const InstrumentConfig& instrument : instruments_) {
        Walker walker{platform::SeededRandom{seed_for(seed, instrument.name)}, std::log(instrument.start_price),
                      std::log(instrument.start_price), 0, 0, 1.0, InstrumentQuote{}};
        walker.next_tick_ms = start_unix_ms + static_cast<int64_t>(exponential(walker.random, 60000.0 / instrument.tick_rate));
        walkers_.push_back(walker);
    }
}

void PriceEngine::resume(int instrument, double price) {
    if (instrument < 0 || static_cast<size_t>(instrument) >= walkers_.size() || !(price > 0)) return;
    walkers_[static_cast<size_t>(instrument)].log_mid = std::log(price);
}

double PriceEngine::hour_activity(int64_t unix_ms) {
    int hour = static_cast<int>((floor_seconds(unix_ms) % 86400 + 86400) % 86400 / 3600);
    if (hour < 7) return 0.6;    // Asian hours
    if (hour < 12) return 1.3;   // Europe
    if (hour < 17) return 1.8;   // Europe and America together
    if (hour < 21) return 1.0;
    return 0.5;                  // late evening
}

Tick PriceEngine::make_tick(int index, int64_t at_ms) {
    const InstrumentConfig& instrument = instruments_[index];
    Walker& walker = walkers_[index];
    double activity = hour_activity(at_ms) * walker.regime;

    double mid = std::exp(walker.log_mid);
    double move_points = instrument.volatility * std::sqrt(activity) * normal(walker.random);
    walker.log_mid += move_points * instrument.point / mid;
    walker.log_mid += (walker.log_anchor - walker.log_mid) * kReversionPerTick;
    mid = std::exp(walker.log_mid);

    // Thin markets quote wider; now and then a spread jumps for a moment.
    double spread_points = instrument.spread * (activity < 0.7 ? 1.5 : 1.0);
    if (walker.random.uniform() < 0.05) spread_points += instrument.spread * walker.random.uniform();
    spread_points = std::max(1.0, std::round(spread_points));

    double bid = core::normalize(mid - spread_points * instrument.point / 2, instrument.digits);
    if (bid < instrument.point) {
        bid = core::normalize(instrument.point, instrument.digits);
        walker.log_mid = std::log(bid + spread_points * instrument.point / 2);
    }
    double ask = core::normalize(bid + spread_points * instrument.point, instrument.digits);

    Tick tick{index, floor_seconds(at_ms), bid, ask, at_ms};
    InstrumentQuote& quote = walker.quote;
    bool new_day = quote.time == 0 || quote.time / 86400 != tick.time / 86400;
    quote.day_high = new_day ? bid : std::max(quote.day_high, bid);
    quote.day_low = new_day ? bid : std::min(quote.day_low, bid);
    quote.time = tick.time;
    quote.bid = bid;
    quote.ask = ask;
    return tick;
}

void PriceEngine::emit_ticks(int index, int64_t until_ms, std::vector<Tick>& out) {
    const InstrumentConfig& instrument = instruments_[index];
    Walker& walker = walkers_[index];
    while (walker.next_tick_ms < until_ms) {
        int64_t at = walker.next_tick_ms;
        if (at >= walker.regime_end_ms) {
            double draw = walker.random.uniform();
            walker.regime = draw < 0.25 ? 0.4 : draw < 0.8 ? 1.0 : 2.2;
            walker.regime_end_ms =
                at + kShortestRegimeMs +
                static_cast<int64_t>(walker.random.uniform() * (kLongestRegimeMs - kShortestRegimeMs));
        }
        if (!market::in_quote_hours(instrument.quote_hours, floor_seconds(at))) {
            int64_t open = market::next_quote_minute(instrument.quote_hours, floor_seconds(at));
            walker.next_tick_ms =
                open < 0 ? kNever : open * 1000 + static_cast<int64_t>(walker.random.uniform() * 1000);
            continue;
        }
        out.push_back(make_tick(index, at));
        double activity = hour_activity(at) * walker.regime;
        double gap = exponential(walker.random, 60000.0 / (instrument.tick_rate * activity));
        walker.next_tick_ms = at + static_cast<int64_t>(std::max(kMinimumGapMs, gap));
    }
}

void PriceEngine::advance_to(int64_t unix_ms, std::vector<Tick>& out) {
    if (unix_ms <= now_ms_) return;
    size_t first = out.size();
    for (int index = 0; index < static_cast<int>(instruments_.size()); ++index) emit_ticks(index, unix_ms, out);
    std::stable_sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                     [](const Tick& a, const Tick& b) { return a.time_ms < b.time_ms; });
    now_ms_ = unix_ms;
}

void PriceEngine::bind_clock(platform::Clock& clock) {
    clock_ = &clock;
    clock_last_tick_ = clock.tick_ms();
    clock_unix_ms_ = now_ms_;
}

void PriceEngine::advance_to_clock(std::vector<Tick>& out) {
    if (!clock_) return;
    uint32_t tick = clock_->tick_ms();
    clock_unix_ms_ += static_cast<uint32_t>(tick - clock_last_tick_);
    clock_last_tick_ = tick;
    advance_to(clock_unix_ms_, out);
}

InstrumentQuote PriceEngine::quote(int instrument) const {
    if (instrument < 0 || instrument >= static_cast<int>(walkers_.size())) return {};
    return walkers_[instrument].quote;
}

}  // namespace kb::server
