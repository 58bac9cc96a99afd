#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <span>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "server/price_engine.h"

namespace kb::server {

// Receives the ticks of the instruments it subscribed to. on_ticks runs on the feed's
// thread with the feed's subscriber lock held: it must only queue the ticks and return,
// and must not call back into the feed.
class TickSubscriber {
public:
    virtual ~TickSubscriber() = default;
    virtual void on_ticks(std::span<const Tick> ticks) = 0;
};

// Drives a price engine from a clock and hands each subscriber the ticks of its
// instruments. Thread-safe: subscribe, unsubscribe and quote may be called from any
// thread; after unsubscribe returns, the subscriber gets no more calls. Lock order (engine,
// then subscribers, then a subscriber's queue): core/lock_order.h.
class QuoteFeed {
public:
    // The engine is bound to the clock and owned by the feed from here on.
    QuoteFeed(PriceEngine engine, platform::Clock& clock);
    ~QuoteFeed();   // stops the thread
    QuoteFeed(const QuoteFeed&) = delete;
    QuoteFeed& operator=(const QuoteFeed&) = delete;

    // Replaces the subscriber's instrument set (indexes into the engine's list; others
    // are ignored). An empty set keeps the subscriber registered without ticks.
    void subscribe(TickSubscriber& subscriber, const std::set<int>& instruments);
    void unsubscribe(TickSubscriber& subscriber);

    // Advances the engine to the clock's present and delivers the new ticks; returns how
    // many the engine produced. The feed thread calls this every period; tests may call
    // it directly instead of starting the thread.
    size_t pump();

    // Starts the thread that pumps every period_ms of the clock. False when it runs already
    // or can't be started.
    bool start(uint32_t period_ms = 100);
    void stop();

    InstrumentQuote quote(int instrument);
    const std::vector<InstrumentConfig>& instruments() const { return instruments_; }

private:
    void deliver(std::span<const Tick> ticks);

    const std::vector<InstrumentConfig> instruments_;
    std::mutex engine_lock_;
    PriceEngine engine_;
    std::vector<Tick> fresh_;

    std::mutex subscribers_lock_;
    std::map<TickSubscriber*, std::set<int>> subscribers_;
    std::vector<Tick> matching_;

    platform::Event stop_requested_;
    platform::Thread thread_;
};

}  // namespace kb::server
