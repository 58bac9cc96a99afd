#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "core/number_format.h"
#include "market/quote_hours.h"
#include "server/price_engine.h"
#include "server/quote_feed.h"

namespace kb::server {
namespace {

// Monday 2024-01-01 00:00 UTC.
constexpr int64_t kMonday = 1'704'067'200;
constexpr int64_t kDay = 86400;

struct Window {
    int open;
    int close;
};

market::QuoteWeek weekdays(Window window) {
    market::QuoteWeek hours{};
    for (size_t day = 1; day <= 5; ++day) market::set_quote_window(hours[day], 0, window.open, window.close);
    return hours;
}

InstrumentConfig instrument(std::string name, int digits, double price, int spread, const market::QuoteWeek& hours) {
    InstrumentConfig config;
    config.name = std::move(name);
    config.digits = digits;
    config.point = std::pow(10.0, -digits);
    config.start_price = price;
    config.spread = spread;
    config.tick_rate = 60;
    config.volatility = 3;
    config.quote_hours = hours;
    return config;
}

std::vector<InstrumentConfig> sample_instruments() {
    market::QuoteWeek forex = weekdays({0, 1440});
    market::set_quote_window(forex[0], 0, 22 * 60, 24 * 60);   // Sunday evening
    market::set_quote_window(forex[5], 0, 0, 22 * 60);         // Friday until 22:00
    return {instrument("EURUSD", 5, 1.0855, 12, forex), instrument("USDJPY", 3, 151.2, 14, forex),
            instrument("XAUUSD", 2, 2030.5, 35, weekdays({60, 23 * 60})),
            instrument("TINY", 5, 0.0005, 3, weekdays({0, 1440}))};
}

std::vector<Tick> run(uint64_t seed, int64_t from, int64_t seconds) {
    PriceEngine engine(sample_instruments(), seed, from * 1000);
    std::vector<Tick> ticks;
    // In uneven steps, as a feed would drive it.
    for (int64_t at = from * 1000; at < (from + seconds) * 1000; at += 7919) engine.advance_to(at + 7919, ticks);
    return ticks;
}

bool same(const std::vector<Tick>& a, const std::vector<Tick>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].instrument != b[i].instrument || a[i].time != b[i].time || a[i].bid != b[i].bid || a[i].ask != b[i].ask)
            return false;
    }
    return true;
}

TEST(PriceEngine, SameSeedSameTicksOtherSeedOtherTicks) {
    std::vector<Tick> first = run(42, kMonday + 3600, 3 * 3600);
    ASSERT_GT(first.size(), 1000u);
    EXPECT_TRUE(same(first, run(42, kMonday + 3600, 3 * 3600)));
    EXPECT_FALSE(same(first, run(43, kMonday + 3600, 3 * 3600)));

    PriceEngine whole(sample_instruments(), 42, (kMonday + 3600) * 1000);
    std::vector<Tick> at_once;
    whole.advance_to((kMonday + 3600 + 3 * 3600) * 1000 + 7919 * 2, at_once);
    at_once.resize(first.size());
    EXPECT_TRUE(same(first, at_once)) << "the step size doesn't change the ticks";
}

TEST(PriceEngine, PricesArePositiveUncrossedRoundedAndInTimeOrder) {
    std::vector<InstrumentConfig> instruments = sample_instruments();
    std::vector<Tick> ticks = run(7, kMonday, 5 * kDay);
    std::set<int> seen;
    int64_t last_time = 0;
    for (const Tick& tick : ticks) {
        const InstrumentConfig& config = instruments[tick.instrument];
        seen.insert(tick.instrument);
        ASSERT_GE(tick.time, last_time);
        last_time = tick.time;
        ASSERT_GT(tick.bid, 0) << config.name;
        ASSERT_GT(tick.ask, tick.bid) << config.name << " at " << tick.time;
        ASSERT_EQ(tick.bid, core::normalize(tick.bid, config.digits)) << config.name;
        ASSERT_EQ(tick.ask, core::normalize(tick.ask, config.digits)) << config.name;
        double spread_points = (tick.ask - tick.bid) / config.point;
        ASSERT_LE(spread_points, config.spread * 3.0) << config.name;
        // TINY sits a few points above zero to exercise the floor; the others must stay near home.
        if (config.name != "TINY") {
            ASSERT_NEAR(tick.bid, config.start_price, config.start_price * 0.2) << config.name;
        }
    }
    EXPECT_EQ(seen.size(), instruments.size());
}

TEST(PriceEngine, NoTicksOutsideQuoteHours) {
    std::vector<InstrumentConfig> instruments = sample_instruments();
    // A whole week from Friday morning, through the weekend close.
    std::vector<Tick> ticks = run(3, kMonday + 4 * kDay, 7 * kDay);
    size_t weekend = 0;
    for (const Tick& tick : ticks) {
        ASSERT_TRUE(market::in_quote_hours(instruments[tick.instrument].quote_hours, tick.time))
            << instruments[tick.instrument].name << " at " << tick.time;
        bool forex = tick.instrument <= 1;
        if (forex && tick.time >= kMonday + 4 * kDay + 22 * 3600 && tick.time < kMonday + 6 * kDay + 22 * 3600) ++weekend;
    }
    EXPECT_EQ(weekend, 0u);
    auto gold_at_half_past_midnight = std::count_if(ticks.begin(), ticks.end(), [](const Tick& tick) {
        return tick.instrument == 2 && tick.time % kDay < 3600;
    });
    EXPECT_EQ(gold_at_half_past_midnight, 0);
}

TEST(QuoteHours, WindowsCoverTheirMinutes) {
    market::QuoteWeek hours{};
    market::set_quote_window(hours[0], 0, 22 * 60, 2 * 60);   // Sunday 22:00 through Monday 02:00
    market::set_quote_window(hours[1], 1, 9 * 60, 17 * 60);   // Monday 09:00-17:00
    const int64_t sunday = kMonday - kDay;
    const std::pair<int64_t, bool> cases[] = {
        {sunday + 21 * 3600 + 3599, false}, {sunday + 22 * 3600, true}, {kMonday + 1 * 3600, true},
        {kMonday + 2 * 3600 - 1, true},     {kMonday + 2 * 3600, false}, {kMonday + 9 * 3600, true},
        {kMonday + 17 * 3600 - 1, true},    {kMonday + 17 * 3600, false}, {kMonday + kDay + 3600, false},
    };
    for (auto [time, quoting] : cases) EXPECT_EQ(market::in_quote_hours(hours, time), quoting) << time - sunday;
    EXPECT_EQ(market::next_quote_minute(hours, kMonday + 2 * 3600), kMonday + 9 * 3600);
    EXPECT_EQ(market::next_quote_minute(market::QuoteWeek{}, kMonday), -1);
}

// Collects what the feed delivers.
struct Recorder : TickSubscriber {
    std::vector<Tick> ticks;
    void on_ticks(std::span<const Tick> delivered) override { ticks.insert(ticks.end(), delivered.begin(), delivered.end()); }
};

TEST(QuoteFeed, DeliversOnlySubscribedInstrumentsOnTheInjectedClock) {
    platform::ManualClock clock(kMonday + 10 * 3600);
    QuoteFeed feed(PriceEngine(sample_instruments(), 9, clock.unix_time() * 1000), clock);
    Recorder gold, nothing, unsubscribed;
    feed.subscribe(gold, {2});
    feed.subscribe(nothing, {});
    feed.subscribe(unsubscribed, {0, 1, 2, 3});
    feed.unsubscribe(unsubscribed);

    EXPECT_EQ(feed.pump(), 0u) << "no time passed";
    clock.advance_ms(10 * 60 * 1000);
    size_t produced = feed.pump();
    EXPECT_GT(produced, gold.ticks.size());
    ASSERT_FALSE(gold.ticks.empty());
    for (const Tick& tick : gold.ticks) EXPECT_EQ(tick.instrument, 2);
    EXPECT_TRUE(nothing.ticks.empty());
    EXPECT_TRUE(unsubscribed.ticks.empty());
    InstrumentQuote quote = feed.quote(2);
    EXPECT_EQ(quote.bid, gold.ticks.back().bid);
    EXPECT_LE(quote.day_low, quote.bid);
    EXPECT_GE(quote.day_high, quote.bid);
}

}  // namespace
}  // namespace kb::server
