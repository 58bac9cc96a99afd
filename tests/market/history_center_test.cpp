#include "market/chart_packets.h"
#include "market/history_center.h"
#include "net/output_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "core/notifications.h"
#include "market/price_points.h"
#include "market/symbols_base.h"
#include "market_test_support.h"
#include "platform/files.h"
#include "platform/notifier.h"
#include "tests/support/temp_folder.h"

namespace kb::market {
namespace {

using testing::all_day_symbol;
using testing::make_tick;

// 2026-12-07 was a Monday.
constexpr int32_t kMonday = 1796601600;
constexpr int32_t kHour = 3600;

class CountingNotifier final : public platform::Notifier {
public:
    void post(int code, intptr_t) override {
        std::lock_guard guard(lock_);
        codes_.push_back(code);
    }
    intptr_t send(int code, intptr_t value) override {
        post(code, value);
        return 0;
    }
    size_t count(int code) {
        std::lock_guard guard(lock_);
        return static_cast<size_t>(std::count(codes_.begin(), codes_.end(), code));
    }

private:
    std::mutex lock_;
    std::vector<int> codes_;
};

WireBar28 wire_bar(int32_t time, int32_t open_points) {
    return WireBar28{time, open_points, 20, -10, 5, 7};
}

std::vector<WireBar28> hourly_wire_bars(int32_t from, int count) {
    std::vector<WireBar28> bars;
    for (int i = 0; i < count; ++i) bars.push_back(wire_bar(from + i * kHour, 110000 + i));
    return bars;
}

// Bar limits a test changes while the centre runs.
struct AdjustableLimits final : HistoryBarLimits {
    explicit AdjustableLimits(size_t bars) : bars(bars) {}
    std::pair<size_t, size_t> current() override { return {bars, bars}; }
    size_t bars;
};

// The chart-data requests of a command 156 packet.
std::vector<ChartRequest> requests_in(const net::OutputBuffer& out) {
    std::vector<ChartRequest> requests;
    if (out.size() < 3 || out.data()[0] != 156) return requests;
    uint16_t count = 0;
    std::memcpy(&count, out.data() + 1, sizeof count);
    if (out.size() != 3 + count * sizeof(ChartRequest)) return requests;
    requests.resize(count);
    std::memcpy(requests.data(), out.data() + 3, count * sizeof(ChartRequest));
    return requests;
}

class HistoryCenterTest : public ::testing::Test {
protected:
    HistoryCenterTest()
        : journal(folder.path()),
          center({{folder.path(), "Demo", kMaxBars, kMaxBars}, clock, journal.get(), &notifier, &limits}),
          symbols(folder.path(), "Demo", journal.get(), &center) {
        center.set_symbols(&symbols);
        const SymbolRecord known[] = {all_day_symbol("EURUSD", 1), all_day_symbol("GBPUSD", 2)};
        symbols.replace_symbols(known);
    }

    std::vector<ChartRequest> take_requests() { return center.take_requests(); }
    std::vector<BarRecord> chart_bars(std::string_view symbol = "EURUSD", int period = 60) {
        ChartBuffer chart;
        center.copy_to_chart(symbol, period, chart);
        return chart.bars;
    }
    size_t import_hours(int count, int32_t oldest = 0, std::string_view symbol = "EURUSD") {
        const std::vector<WireBar28> bars = hourly_wire_bars(kMonday, count);
        return center.import(symbol, 60, oldest, std::span<const WireBar28>(bars));
    }

    static constexpr size_t kMaxBars = 1000;
    kb::testing::TempFolder folder;
    testing::CapturedJournal journal;
    platform::ManualClock clock;
    CountingNotifier notifier;
    AdjustableLimits limits{kMaxBars};
    HistoryCenter center;
    SymbolsBase symbols;
};

TEST_F(HistoryCenterTest, HistoryOpenedTwiceIsKeptAnHourAfterItsLastReleaseAndReusedWithoutReload) {
    EXPECT_EQ(center.open("EURUSD", 60), true);
    EXPECT_EQ(center.open("EURUSD", 60), false);
    EXPECT_EQ(center.history_count(), 1u);
    EXPECT_EQ(center.state("EURUSD", 60)->references, 2);
    import_hours(3);
    const int64_t version = center.state("EURUSD", 60)->version;

    center.release("EURUSD", 60);
    EXPECT_FALSE(center.state("EURUSD", 60)->expiring);
    center.release("EURUSD", 60);
    EXPECT_TRUE(center.state("EURUSD", 60)->expiring);
    clock.advance_ms(HistoryCenter::kExpiryMs - 1);
    center.on_tick(make_tick(2, kMonday, 1.5f, 1.5002f));
    ASSERT_TRUE(center.state("EURUSD", 60));

    EXPECT_EQ(center.open("EURUSD", 60), false);
    const HistoryState reused = *center.state("EURUSD", 60);
    EXPECT_EQ(reused.references, 1);
    EXPECT_FALSE(reused.expiring);
    EXPECT_EQ(reused.version, version);   // a load would have raised it by 100
    EXPECT_EQ(reused.bar_count, 3u);

    // Released again, it goes with the first tick after the hour, saved.
    center.release("EURUSD", 60);
    clock.advance_ms(HistoryCenter::kExpiryMs);
    center.on_tick(make_tick(2, kMonday, 1.5f, 1.5002f));
    EXPECT_EQ(center.history_count(), 0u);
    EXPECT_FALSE(center.in_use("EURUSD"));
    EXPECT_TRUE(platform::file_exists(folder.file("history/Demo/EURUSD60.hst")));
}

TEST_F(HistoryCenterTest, OpenRefusesOtherPeriodsAndUnknownSymbolsUnlessOffline) {
    struct Case {
        const char* symbol;
        int period;
        Offline offline;
        bool opened;
    } const cases[] = {
        {"EURUSD", 1, Offline::No, true},    {"EURUSD", 43200, Offline::No, true}, {"EURUSD", 90, Offline::No, false},
        {"EURUSD", 120, Offline::Yes, true}, {"XAUUSD", 60, Offline::No, false},   {"XAUUSD", 60, Offline::Yes, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(center.open(c.symbol, c.period, c.offline).has_value(), c.opened) << c.symbol << c.period;
        EXPECT_EQ(center.state(c.symbol, c.period).has_value(), c.opened) << c.symbol << c.period;
    }
}

TEST_F(HistoryCenterTest, OpenQueuesOneRequestAndTheQueueGoesOutAsCommand156) {
    center.open("EURUSD", 60);
    center.open("GBPUSD", 15);
    EXPECT_TRUE(center.state("EURUSD", 60)->request_pending);

    net::OutputBuffer out;
    put_chart_requests(out, center.take_requests());
    ASSERT_EQ(out.size(), 3u + 2 * 22u);
    EXPECT_EQ(out.data()[0], 156);
    EXPECT_EQ(out.data()[1], 2);
    EXPECT_EQ(out.data()[2], 0);
    const std::vector<ChartRequest> requests = requests_in(out);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(core::field_text(requests[0].symbol), "EURUSD");
    EXPECT_EQ(int32_t{requests[0].period}, 60);
    EXPECT_EQ(int32_t{requests[0].from_time}, 0);
    EXPECT_EQ(int16_t{requests[0].bar_count}, 0);
    EXPECT_EQ(core::field_text(requests[1].symbol), "GBPUSD");
    EXPECT_EQ(int32_t{requests[1].period}, 15);

    EXPECT_TRUE(center.take_requests().empty());
}

TEST_F(HistoryCenterTest, PendingRequestIsNotQueuedTwiceAndAFullQueueDropsTheRest) {
    center.open("EURUSD", 60);
    center.more_history("EURUSD", 60, 100);
    center.open("EURUSD", 60);
    EXPECT_EQ(center.queued_requests(), 1u);

    std::vector<SymbolRecord> many;
    for (int i = 0; i < 29; ++i) many.push_back(all_day_symbol("S" + std::to_string(i), 10 + i));
    symbols.replace_symbols(many);
    const int periods[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};
    for (int i = 0; i < 29; ++i)
        for (int period : periods) EXPECT_EQ(center.open("S" + std::to_string(i), period), true);
    EXPECT_EQ(center.history_count(), 1u + 29 * 9);
    EXPECT_EQ(center.queued_requests(), HistoryCenter::kMaxQueuedRequests);
    EXPECT_TRUE(center.state("S28", 15)->request_pending);
    EXPECT_FALSE(center.state("S28", 30)->request_pending);   // dropped: asked again after a login
    EXPECT_EQ(take_requests().size(), 256u);
}

TEST_F(HistoryCenterTest, MoreHistoryAsksOnlyForBarsTheServerCovers) {
    center.open("EURUSD", 60);
    take_requests();
    // The server's data starts where the history does: nothing older to ask for.
    import_hours(5, kMonday);
    center.more_history("EURUSD", 60, 100);
    EXPECT_EQ(center.queued_requests(), 0u);

    import_hours(5, kMonday - 100 * kHour);
    EXPECT_EQ(center.state("EURUSD", 60)->oldest_covered_time, kMonday - 100 * kHour);
    center.more_history("EURUSD", 60, 50000);
    const std::vector<ChartRequest> requests = take_requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(int32_t{requests[0].from_time}, kMonday);
    EXPECT_EQ(int16_t{requests[0].bar_count}, static_cast<int16_t>(kMaxBars));   // min(wanted, in memory, 4096)

    // Not open yet: opening it asks for its own bars.
    center.more_history("GBPUSD", 60, 100);
    EXPECT_EQ(center.state("GBPUSD", 60)->references, 1);
    EXPECT_EQ(take_requests().size(), 1u);
}

TEST_F(HistoryCenterTest, FullHistoryAsksForOlderBarsNoMore) {
    center.open("EURUSD", 60);
    take_requests();
    const std::vector<WireBar28> bars = hourly_wire_bars(kMonday, static_cast<int>(kMaxBars));
    center.import("EURUSD", 60, kMonday - 100 * kHour, std::span<const WireBar28>(bars));
    center.more_history("EURUSD", 60, 100);
    EXPECT_EQ(center.queued_requests(), 0u);
}

TEST_F(HistoryCenterTest, HistoriesKeepTheBarLimitInForceWhenTheyWereCreated) {
    center.open("EURUSD", 60);
    limits.bars = 2 * kMaxBars;
    center.open("GBPUSD", 60);
    take_requests();
    for (const char* symbol : {"EURUSD", "GBPUSD"}) {
        const std::vector<WireBar28> bars = hourly_wire_bars(kMonday, static_cast<int>(kMaxBars));
        center.import(symbol, 60, kMonday - 100 * kHour, std::span<const WireBar28>(bars));
        center.more_history(symbol, 60, 5000);
    }
    const std::vector<ChartRequest> requests = take_requests();
    ASSERT_EQ(requests.size(), 1u) << "EURUSD is full at the limit it was opened with";
    EXPECT_EQ(core::field_text(requests[0].symbol), "GBPUSD");
    EXPECT_EQ(int16_t{requests[0].bar_count}, static_cast<int16_t>(2 * kMaxBars));
}

TEST_F(HistoryCenterTest, ChartReplyImportsIntoItsHistoryClearsThePendingRequestAndTellsTheCharts) {
    center.open("EURUSD", 60);
    EXPECT_EQ(import_hours(3, kMonday - kHour), 3u);
    const HistoryState state = *center.state("EURUSD", 60);
    EXPECT_FALSE(state.request_pending);
    EXPECT_EQ(state.oldest_covered_time, kMonday - kHour);
    EXPECT_EQ(notifier.count(core::kNotifyChartHistory), 1u);
    const std::vector<BarRecord> bars = chart_bars();
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(int32_t{bars[0].time}, kMonday);
    EXPECT_NEAR(bars[0].open, 1.1, 1e-9);
    EXPECT_NEAR(bars[0].high, 1.1002, 1e-9);

    // An oldest time of 0 keeps the one known.
    import_hours(1, 0);
    EXPECT_EQ(center.state("EURUSD", 60)->oldest_covered_time, kMonday - kHour);
}

TEST_F(HistoryCenterTest, ChartReplyForAnUnknownSymbolImportsNothing) {
    const std::vector<WireBar28> bars = hourly_wire_bars(kMonday, 3);
    EXPECT_EQ(center.import("XAUUSD", 60, 0, std::span<const WireBar28>(bars)), 0u);
    EXPECT_EQ(center.import("EURUSD", 90, 0, std::span<const WireBar28>(bars)), 0u);
    EXPECT_EQ(center.history_count(), 0u);
    EXPECT_FALSE(platform::file_exists(folder.file("history/Demo/XAUUSD60.hst")));
    EXPECT_EQ(notifier.count(core::kNotifyChartHistory), 0u);
}

TEST_F(HistoryCenterTest, ChartReplyForAHistoryNoChartHoldsIsKeptForAnHourOnly) {
    EXPECT_EQ(import_hours(3), 3u);
    const HistoryState state = *center.state("EURUSD", 60);
    EXPECT_EQ(state.references, 0);
    EXPECT_TRUE(state.expiring);
    clock.advance_ms(HistoryCenter::kExpiryMs);
    center.on_tick(make_tick(2, kMonday, 1.5f, 1.5002f));
    EXPECT_EQ(center.history_count(), 0u);
    EXPECT_TRUE(platform::file_exists(folder.file("history/Demo/EURUSD60.hst")));
}

TEST_F(HistoryCenterTest, QuotesReachTheOpenHistoriesOfTheirSymbolOnly) {
    center.open("EURUSD", 60);
    center.open("EURUSD", 1);
    center.open("GBPUSD", 60);
    symbols.set_selection(std::vector<std::string>{"EURUSD", "GBPUSD"});

    // One packet each: a packet is processed last record first.
    TickRecord first[] = {make_tick(1, kMonday + 10 * kHour, 1.1f, 1.1002f)};
    TickRecord second[] = {make_tick(1, kMonday + 10 * kHour + 61, 1.2f, 1.2002f)};
    symbols.add_quotes(first);
    symbols.add_quotes(second);
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 1u);
    EXPECT_EQ(center.state("EURUSD", 1)->bar_count, 2u);
    EXPECT_EQ(center.state("GBPUSD", 60)->bar_count, 0u);
}

TEST_F(HistoryCenterTest, QuoteOfAnUnselectedSymbolReachesNoHistory) {
    center.open("GBPUSD", 60);
    symbols.set_selection(std::vector<std::string>{"EURUSD"});
    TickRecord quote[] = {make_tick(2, kMonday + 10 * kHour, 1.3f, 1.3002f)};
    symbols.add_quotes(quote);
    EXPECT_EQ(center.state("GBPUSD", 60)->bar_count, 0u);
}

TEST_F(HistoryCenterTest, SymbolsUsedByChartsCannotBeHidden) {
    symbols.set_usage_sources(nullptr, &center);
    symbols.set_selection(std::vector<std::string>{"EURUSD", "GBPUSD"});
    center.open("GBPUSD", 240);
    EXPECT_TRUE(center.in_use("GBPUSD"));
    EXPECT_FALSE(center.in_use("EURUSD"));
    EXPECT_EQ(center.symbols_in_use(), std::vector<std::string>{"GBPUSD"});
    const auto position = [this](std::string_view name) {
        for (size_t i = 0; i < symbols.selected_count(); ++i)
            if (core::field_text(symbols.selected_at(i)->name) == name) return i;
        return symbols.selected_count();
    };
    EXPECT_FALSE(symbols.hide(position("GBPUSD")));
    EXPECT_TRUE(symbols.hide(position("EURUSD")));
}

TEST_F(HistoryCenterTest, AfterLoginEveryHistoryAsksFromItsTenthNewestBar) {
    center.open("EURUSD", 60);
    import_hours(12);
    center.open("GBPUSD", 60);
    center.import("GBPUSD", 60, 0, std::span<const WireBar28>(hourly_wire_bars(kMonday, 4)));
    center.open("EURUSD", 5);
    take_requests();

    center.after_login();
    const std::vector<ChartRequest> requests = take_requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const ChartRequest& request : requests) {
        const std::string name(core::field_text(request.symbol));
        const int32_t expected = name == "EURUSD" && request.period == 60 ? kMonday + 2 * kHour
                                 : name == "GBPUSD"                       ? kMonday
                                                                          : 0;
        EXPECT_EQ(int32_t{request.from_time}, expected) << name << request.period;
        EXPECT_EQ(int16_t{request.bar_count}, 0);
    }
}

TEST_F(HistoryCenterTest, OfflineHistoriesReloadTheirFileInsteadOfAsking) {
    EXPECT_EQ(center.open("EURUSD", 60, Offline::Yes), true);
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 0u);
    EXPECT_FALSE(center.state("EURUSD", 60)->request_pending);
    EXPECT_EQ(center.queued_requests(), 0u);

    // Another program writes the file meanwhile: synchronising an offline history reads it.
    {
        HistoryCenter writer({{folder.path(), "Demo", kMaxBars, kMaxBars}, clock, nullptr, nullptr});
        writer.set_symbols(&symbols);
        const std::vector<WireBar28> bars = hourly_wire_bars(kMonday, 3);
        EXPECT_EQ(writer.import("EURUSD", 60, 0, std::span<const WireBar28>(bars)), 3u);
    }
    center.synchronise("EURUSD", 60);
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 3u);
    EXPECT_FALSE(center.synchronisation_running());
    center.after_login();
    EXPECT_EQ(center.queued_requests(), 0u);
}

TEST_F(HistoryCenterTest, ServerChangeKeepsHistoriesInUseAndFreesTheOthers) {
    center.open("EURUSD", 60);
    import_hours(3);
    center.open("GBPUSD", 60);
    center.release("GBPUSD", 60);
    EXPECT_EQ(center.queued_requests(), 2u);

    EXPECT_EQ(center.set_server("Live"), 1u);
    EXPECT_EQ(center.queued_requests(), 0u);
    EXPECT_FALSE(center.state("GBPUSD", 60));
    // Reloaded from the new folder, which has no file yet (the old one is saved).
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 0u);
    EXPECT_TRUE(platform::file_exists(folder.file("history/Demo/EURUSD60.hst")));
    import_hours(2);
    EXPECT_TRUE(platform::file_exists(folder.file("history/Live/EURUSD60.hst")));
}

TEST_F(HistoryCenterTest, RefreshedSymbolsAreShownAndHistoriesOfSymbolsGoneAreFreed) {
    center.open("EURUSD", 60);
    center.open("GBPUSD", 60);
    center.open("XAUUSD", 60, Offline::Yes);
    SymbolRecord eurusd = all_day_symbol("EURUSD", 7);
    symbols.replace_symbols(std::span<const SymbolRecord>(&eurusd, 1));

    center.refresh_symbols();
    EXPECT_TRUE(center.state("EURUSD", 60));
    EXPECT_FALSE(center.state("GBPUSD", 60));
    EXPECT_TRUE(center.state("XAUUSD", 60));   // offline histories don't follow the server
    ASSERT_TRUE(symbols.selected_by_name("EURUSD"));
    EXPECT_EQ(symbols.selected_by_name("EURUSD")->shown, 1);
    // The fresh copy carries the new index the quotes use.
    center.on_tick(make_tick(7, kMonday, 1.1f, 1.1002f));
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 1u);
}

TEST_F(HistoryCenterTest, ChangedSymbolDigitsApplyToLaterImports) {
    center.open("EURUSD", 60);
    SymbolRecord three_digits = all_day_symbol("EURUSD", 1);
    three_digits.digits = 3;
    center.on_symbol_updated(three_digits);
    const WireBar28 bar = wire_bar(kMonday, 1100);
    center.import("EURUSD", 60, 0, std::span<const WireBar28>(&bar, 1));
    ASSERT_EQ(chart_bars().size(), 1u);
    EXPECT_NEAR(chart_bars()[0].open, 1.1, 1e-9);
}

TEST_F(HistoryCenterTest, ChartWithoutHistoryGetsNoBars) {
    ChartBuffer chart;
    chart.bars.resize(3);
    chart.version = 5;
    EXPECT_TRUE(center.copy_to_chart("EURUSD", 60, chart));
    EXPECT_TRUE(chart.bars.empty());
    center.open("EURUSD", 60);
    import_hours(2);
    EXPECT_TRUE(center.copy_to_chart("EURUSD", 60, chart));
    EXPECT_EQ(chart.bars.size(), 2u);
    EXPECT_FALSE(center.copy_to_chart("EURUSD", 60, chart));
}

// Stands in for the synchronisation thread: counts the starts it is asked for.
struct CountedStarts final : HistorySynchronisation {
    explicit CountedStarts(int& starts, bool startable) : starts(starts), startable(startable) {}
    bool start() override { return ++starts, startable; }
    int& starts;
    bool startable;
};

TEST_F(HistoryCenterTest, SynchronisationRunsUntilAnIdlePassMayEndItAndAnswersClearTheFlags) {
    int starts = 0;
    center.set_synchronisation(std::make_unique<CountedStarts>(starts, true));
    center.open("EURUSD", 60);
    center.open("GBPUSD", 60);
    center.synchronise("EURUSD", 60);
    center.synchronise("GBPUSD", 60);
    EXPECT_EQ(starts, 1) << "one thread serves every flagged history";
    EXPECT_TRUE(center.synchronisation_running());

    std::optional<std::vector<HistorySummary>> pass = center.next_synchronisation_pass(WhenIdle::End);
    ASSERT_TRUE(pass.has_value());
    ASSERT_EQ(pass->size(), 2u);
    const HistorySummary& eurusd = (*pass)[0].symbol == "EURUSD" ? (*pass)[0] : (*pass)[1];
    const HistorySummary& gbpusd = (*pass)[0].symbol == "EURUSD" ? (*pass)[1] : (*pass)[0];

    HistorySyncAnswer bars;
    bars.status = HistorySyncAnswer::Status::Bars;
    bars.time_sign = 555;
    bars.bars28 = hourly_wire_bars(kMonday, 3);
    center.apply_synchronisation(eurusd, bars);
    EXPECT_EQ(journal.lines().back(), "HistoryCenter: 3 bars imported in 'EURUSD60'");
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 3u);
    EXPECT_EQ(notifier.count(core::kNotifyChartHistory), 1u);
    HistorySyncAnswer nothing_new;
    nothing_new.status = HistorySyncAnswer::Status::NothingNew;
    center.apply_synchronisation(gbpusd, nothing_new);
    EXPECT_EQ(notifier.count(core::kNotifyChartHistory), 1u);
    EXPECT_FALSE(center.state("EURUSD", 60)->sync_requested);
    EXPECT_FALSE(center.state("GBPUSD", 60)->sync_requested);

    // Nothing flagged: the thread goes on while it must, ends when it may.
    std::optional<std::vector<HistorySummary>> idle = center.next_synchronisation_pass(WhenIdle::KeepRunning);
    ASSERT_TRUE(idle.has_value());
    EXPECT_TRUE(idle->empty());
    EXPECT_TRUE(center.synchronisation_running());
    EXPECT_FALSE(center.next_synchronisation_pass(WhenIdle::End).has_value());
    EXPECT_FALSE(center.synchronisation_running());
    center.synchronise("EURUSD", 60);
    EXPECT_EQ(starts, 2);
}

TEST_F(HistoryCenterTest, SynchronisationThatCannotStartIsNotRunning) {
    int starts = 0;
    center.set_synchronisation(std::make_unique<CountedStarts>(starts, false));
    center.open("EURUSD", 60);
    center.synchronise("EURUSD", 60);
    EXPECT_EQ(starts, 1);
    EXPECT_FALSE(center.synchronisation_running());
    EXPECT_TRUE(center.state("EURUSD", 60)->sync_requested);
}

TEST_F(HistoryCenterTest, SynchronisingAHistoryThatIsNotOpenIsJournaled) {
    center.synchronise("EURUSD", 60);
    ASSERT_FALSE(journal.lines().empty());
    EXPECT_EQ(journal.lines().back(), "HistoryCenter: unknown chart 'EURUSD60' in history synchronization");
    EXPECT_FALSE(center.synchronisation_running());
}

}  // namespace
}  // namespace kb::market
