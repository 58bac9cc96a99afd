#pragma once
#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "server/server_config.h"

namespace kb::server {

// One price change of an instrument: bid and ask rounded to its digits, ask above bid.
struct Tick {
    int instrument = 0;   // index into the engine's instrument list
    int64_t time = 0;     // server time, seconds since 1970
    double bid = 0;
    double ask = 0;
    int64_t time_ms = 0;  // the same moment in milliseconds (orders ticks within a second)
};

// The latest prices of an instrument and the bid's range of the current (UTC) day.
struct InstrumentQuote {
    int64_t time = 0;   // 0 before the first tick
    double bid = 0;
    double ask = 0;
    double day_high = 0;
    double day_low = 0;
};

//  Per instrument, repeatedly:
//     next tick time --outside quote hours--> skip to the next quoting minute
//          |
//          +--inside--> move the mid price (random walk on its logarithm, pulled gently
//                       back to the start price), draw the spread, round, emit the tick,
//                       draw the gap to the next tick from the tick rate and activity
//
// Activity multiplies tick rate and move size: the hour of the day (busy European and
// American hours, quiet late evening) times a regime (quiet, normal or busy) redrawn every
// 10 to 60 minutes. Every instrument draws from its own generator seeded from the engine
// seed and its name, so the ticks of one instrument don't depend on the others, and the
// same seed, instruments and times give the same ticks on every run.
//
// Not thread-safe: one owner (the quote feed) drives it.
class PriceEngine {
public:
    // Starts every instrument at its start price; the first ticks follow start_unix_ms.
    PriceEngine(std::vector<InstrumentConfig> instruments, uint64_t seed, int64_t start_unix_ms);

    // Moves an instrument's mid price to price (the close a previous run stored), keeping
    // the start price as the level the walk returns to. Ignored for an unknown index or a
    // price that is not above 0.
    void resume(int instrument, double price);

    // Appends to out every tick with a time before unix_ms, in time order, and moves the
    // engine there. A time at or before the current one produces nothing.
    void advance_to(int64_t unix_ms, std::vector<Tick>& out);

    // advance_to() the clock's present: the start time plus the clock's milliseconds since
    // bind_clock() was called.
    void bind_clock(platform::Clock& clock);
    void advance_to_clock(std::vector<Tick>& out);

    const std::vector<InstrumentConfig>& instruments() const { return instruments_; }
    InstrumentQuote quote(int instrument) const;
    int64_t now_ms() const { return now_ms_; }

private:
    struct Walker {
        platform::SeededRandom random;
        double log_mid;
        double log_anchor;
        int64_t next_tick_ms;
        int64_t regime_end_ms;
        double regime;
        InstrumentQuote quote;
    };

    void emit_ticks(int index, int64_t until_ms, std::vector<Tick>& out);
    Tick make_tick(int index, int64_t at_ms);
    static double hour_activity(int64_t unix_ms);

    std::vector<InstrumentConfig> instruments_;
    std::vector<Walker> walkers_;
    int64_t now_ms_;
    platform::Clock* clock_ = nullptr;
    uint32_t clock_last_tick_ = 0;   // elapsed clock time is summed from tick differences,
    int64_t clock_unix_ms_ = 0;      // so the 32-bit tick count may wrap
};

}  // namespace kb::server
