#include "server/quote_feed.h"

namespace kb::server {

QuoteFeed::QuoteFeed(PriceEngine engine, platform::Clock& clock)
    : instruments_(engine.instruments()), engine_(std::move(engine)), stop_requested_(clock) {
    engine_.bind_clock(clock);
}

QuoteFeed::~QuoteFeed() { stop(); }

void QuoteFeed::subscribe(TickSubscriber& subscriber, const std::set<int>& instruments) {
    std::lock_guard guard(subscribers_lock_);
    subscribers_[&subscriber] = instruments;
}

void QuoteFeed::unsubscribe(TickSubscriber& subscriber) {
    std::lock_guard guard(subscribers_lock_);
    subscribers_.erase(&subscriber);
}

size_t QuoteFeed::pump() {
    std::lock_guard engine_guard(engine_lock_);
    fresh_.clear();
    engine_.advance_to_clock(fresh_);
    if (!fresh_.empty()) deliver(fresh_);
    return fresh_.size();
}

void QuoteFeed::deliver(std::span<const Tick> ticks) {
    std::lock_guard guard(subscribers_lock_);
    for (auto& [subscriber, instruments] : subscribers_) {
        matching_.clear();
        for (const Tick& tick : ticks) {
            if (instruments.count(tick.instrument)) matching_.push_back(tick);
        }
        if (!matching_.empty()) subscriber->on_ticks(matching_);
    }
}

bool QuoteFeed::start(uint32_t period_ms) {
    if (thread_.joinable()) return false;
    stop_requested_.reset();
    return thread_.start([this, period_ms] {
        while (!stop_requested_.wait(period_ms)) pump();
    });
}

void QuoteFeed::stop() {
    stop_requested_.set();
    thread_.join();
}

InstrumentQuote QuoteFeed::quote(int instrument) {
    std::lock_guard guard(engine_lock_);
    return engine_.quote(instrument);
}

}  // namespace kb::server
