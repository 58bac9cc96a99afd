#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"

namespace kb::chart {
namespace {

using market::testing::all_day_symbol;
using market::testing::hst_bytes;

constexpr int32_t kMonday = 1796601600;   // 2026-12-07 00:00:00 UTC
constexpr size_t kMaxBars = 1000;

// A chart on the terminal's own symbols base and history centre.
class TerminalChartMarketTest : public ::testing::Test {
protected:
    TerminalChartMarketTest()
        : journal(folder.path()),
          center({.settings = {folder.path(), "Demo", kMaxBars, kMaxBars}, .clock = clock, .journal = journal.get()}),
          symbols(folder.path(), "Demo", journal.get(), &center),
          market(symbols, center) {
        center.set_symbols(&symbols);
        const market::SymbolRecord known[] = {all_day_symbol("GBPUSD", 2), all_day_symbol("EURUSD", 1)};
        symbols.replace_symbols(known);
    }

    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(platform::write_file_atomic(folder.file(name), bytes));
    }
    std::unique_ptr<Chart> loaded_chart(const std::string& profile) {
        write("chart.ini", std::vector<uint8_t>(profile.begin(), profile.end()));
        core::DisplayMetrics metrics;
        metrics.dpi_x = metrics.dpi_y = 96;
        auto chart = std::make_unique<Chart>(ChartEnvironment{.profile_path = folder.file("chart.ini"),
                                                              .market = market,
                                                              .metrics = metrics,
                                                              .journal = journal.get()});
        chart->set_area({0, 0, 400, 300});
        chart->load_profile();
        return chart;
    }

    ::kb::testing::TempFolder folder;
    market::testing::CapturedJournal journal;
    platform::ManualClock clock;
    market::HistoryCenter center;
    market::SymbolsBase symbols;
    TerminalChartMarket market;
};

TEST_F(TerminalChartMarketTest, TheChartHoldsItsHistoryWhileItShowsItAndTakesItsBars) {
    std::vector<market::BarRecord> bars;
    for (int i = 0; i < 5; ++i) bars.push_back({kMonday + i * 3600, 1.1, 1.0, 1.2, 1.1, 3});
    ASSERT_TRUE(platform::make_directory(folder.file("history")));
    ASSERT_TRUE(platform::make_directory(folder.file("history/Demo")));
    write("history/Demo/EURUSD60.hst", hst_bytes("EURUSD", 60, bars));
    {
        std::unique_ptr<Chart> chart = loaded_chart("<chart>\nsymbol=EURUSD\nperiod=60\nscale=8\n</chart>\n");
        EXPECT_EQ(chart->bars().size(), 5u);
        EXPECT_EQ(center.state("EURUSD", 60)->references, 1);
        EXPECT_EQ(chart->settings().digits, 5);

        ASSERT_TRUE(chart->set_period("GBPUSD", 240));
        EXPECT_EQ(center.state("EURUSD", 60)->references, 0);
        EXPECT_EQ(center.state("GBPUSD", 240)->references, 1);
        EXPECT_TRUE(chart->bars().empty());

        center.take_requests();       // the request the open queued, answered with nothing
        center.import("GBPUSD", 240, 0, std::span<const market::WireBar28>{});
        ASSERT_EQ(center.queued_requests(), 0u);
        chart->scroll_to(-1);         // at the oldest bar already: older bars are asked for
        EXPECT_EQ(center.queued_requests(), 1u);
    }
    EXPECT_EQ(center.state("GBPUSD", 240)->references, 0);

    // An unknown symbol becomes the first one the symbols base offers.
    std::unique_ptr<Chart> chart = loaded_chart("<chart>\nsymbol=XAUUSD\nperiod=60\n</chart>\n");
    EXPECT_EQ(chart->settings().symbol, std::string(core::field_text(symbols.symbol_at(0)->name)));
}

TEST_F(TerminalChartMarketTest, ABlockWithoutItsNameIsJournaledAndSkipped) {
    std::unique_ptr<Chart> chart = loaded_chart(
        "<chart>\nsymbol=EURUSD\nperiod=60\n<window>\nheight=100\n<indicator>\nperiod=14\n</indicator>\n"
        "<indicator>\nname=Moving Average\nperiod=5\n</indicator>\n</window>\n</chart>\n");
    EXPECT_EQ(chart->indicator_count(0), 1u);
    EXPECT_EQ(journal.lines(), std::vector<std::string>{"CInd: indicator header not found"});
}

}  // namespace
}  // namespace kb::chart
