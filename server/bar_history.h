#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "server/quote_feed.h"
#include "server/server_config.h"

namespace kb::server {

// The nine chart periods, in minutes.
inline constexpr std::array<int32_t, 9> kChartPeriods = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};

// A bar in the instrument's points: the wire forms are differences of these.
struct PointBar {
    int32_t time = 0;     // open time, server time
    int32_t open = 0;
    int32_t high = 0;
    int32_t low = 0;
    int32_t close = 0;
    int32_t volume = 0;   // ticks
};

// The bars the chart requests and history synchronisations are answered from: every
// instrument in the nine periods, generated at construction from a price engine started at
// midnight history_days back (same seed, same origin: same bars) and extended by the live
// ticks of the quote feed. Each period keeps its newest kMaxBarsKept bars. The time sign is
// the origin: a history made by another run (another origin) has another sign.
// Thread-safe: one lock guards all bars; on_ticks runs on the feed's thread.
class BarHistory final : public TickSubscriber {
public:
    static constexpr size_t kMaxBarsKept = 65536;

    BarHistory(const ServerConfig& config, int64_t now);

    // Bars of an instrument (index into the configuration) and period with open times in
    // [from, to), oldest first, at most limit of them (the newest ones when more match).
    // Empty for an unknown instrument or period.
    std::vector<PointBar> bars(int instrument, int32_t period, int32_t from, int32_t to, size_t limit);
    // The last count bars opened before time (count 0: none).
    std::vector<PointBar> bars_before(int instrument, int32_t period, int32_t time, size_t count);
    // The open time of the oldest bar held; 0 when none.
    int32_t oldest_time(int instrument, int32_t period);
    int32_t time_sign() const { return time_sign_; }

    void on_ticks(std::span<const Tick> ticks) override;

    static bool is_chart_period(int32_t period);
    // The open time of the bar of that period holding time (weeks start on Sunday, months
    // on the first day).
    static int32_t bar_open_time(int32_t period, int64_t time);

private:
    using Series = std::vector<PointBar>;
    struct Instrument {
        double point = 1;
        std::array<Series, kChartPeriods.size()> periods;
    };

    void add_tick_locked(Instrument& instrument, int64_t time, double bid);
    const Series* series_locked(int instrument, int32_t period) const;

    const int32_t time_sign_;
    std::mutex lock_;
    std::vector<Instrument> instruments_;
};

}  // namespace kb::server
