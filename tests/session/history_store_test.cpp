#include "session/history_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fixed_text.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"

namespace kb::session {
namespace {

constexpr int32_t kMonday = 1796601600;

market::ChartHistoryHeader header_for(const char* symbol, int32_t period, int32_t oldest, int32_t count) {
    market::ChartHistoryHeader header{};
    core::set_field_text(header.symbol, symbol);
    header.period = period;
    header.oldest_time = oldest;
    header.bar_count = count;
    return header;
}

class HistoryStoreTest : public ::testing::Test {
protected:
    HistoryStoreTest() {
        center.set_symbols(&symbols);
        market::SymbolRecord eurusd{};
        core::set_field_text(eurusd.name, "EURUSD");
        eurusd.symbol_index = 1;
        eurusd.digits = 5;
        symbols.replace_symbols(std::span<const market::SymbolRecord>(&eurusd, 1));
    }

    std::vector<market::BarRecord> bars(int period) {
        market::ChartBuffer chart;
        center.copy_to_chart("EURUSD", period, chart);
        return chart.bars;
    }

    kb::testing::TempFolder folder;
    platform::ManualClock clock;
    market::HistoryCenter center{{{folder.path(), "Demo", 1000, 1000}, clock, nullptr, nullptr}};
    market::SymbolsBase symbols{folder.path(), "Demo", nullptr, &center};
    HistoryStore store{center};
};

TEST_F(HistoryStoreTest, ChartPushesOfBothFormsReachTheirHistory) {
    center.open("EURUSD", 60);
    center.open("EURUSD", 5);
    const market::WireBar22 narrow[] = {{kMonday, 110000, 30, -5, 10, 4}};
    const market::WireBar28 wide[] = {{kMonday, 120000, 70000, -5, 10, 4}};
    store.apply_chart_history(header_for("EURUSD", 60, kMonday - 3600, 1), {}, narrow);
    store.apply_chart_history(header_for("EURUSD", 5, 0, 1), wide, {});

    ASSERT_EQ(bars(60).size(), 1u);
    EXPECT_NEAR(bars(60)[0].high, 1.1003, 1e-9);
    EXPECT_NEAR(bars(60)[0].low, 1.09995, 1e-9);
    EXPECT_EQ(center.state("EURUSD", 60)->oldest_covered_time, kMonday - 3600);
    ASSERT_EQ(bars(5).size(), 1u);
    EXPECT_NEAR(bars(5)[0].high, 1.9, 1e-9);   // a difference only the wide form holds
    EXPECT_FALSE(center.state("EURUSD", 5)->request_pending);
}

TEST_F(HistoryStoreTest, LoginSwitchesTheFolderAndPrimingAsksAgain) {
    center.open("EURUSD", 60);
    EXPECT_EQ(store.take_requests().size(), 1u);
    EXPECT_TRUE(store.take_requests().empty());

    store.prepare_server("Live");
    store.prime();
    const std::vector<market::ChartRequest> again = store.take_requests();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(core::field_text(again[0].symbol), "EURUSD");
    // Priming shows the chart's symbol in Market Watch.
    ASSERT_TRUE(symbols.selected_by_name("EURUSD"));
    EXPECT_EQ(symbols.selected_by_name("EURUSD")->shown, 1);
}

}  // namespace
}  // namespace kb::session
