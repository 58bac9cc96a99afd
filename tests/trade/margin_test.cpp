#include "trade/margin.h"

#include <gtest/gtest.h>

#include "tests/market/market_test_support.h"

namespace kb::trade {
namespace {

struct Side {
    double volume = 0;
    double price = 0;
    double rate = 1;
};

SideSums sums(const Side& side) {
    SideSums result;
    if (side.volume != 0) result.add(side.volume, side.price, side.rate);
    return result;
}

TEST(SymbolMargin, ComputesEachModeWithHedgedVolume) {
    struct Case {
        const char* what;
        int32_t mode;
        double initial, maintenance, hedged;
        Side buys, sells;
        bool larger_leg;
        bool with_request;
        double margin;   // times 100, as summed by the trade base
    };
    // Contract size 100000, leverage 100, divider 1; tick size 0.25 and value 2.5 for mode 3.
    const Case cases[] = {
        {"forex net", 0, 0, 0, 0, {100, 1.25}, {}, false, false, 100000},
        {"forex initial margin", 0, 50000, 0, 0, {100, 1.25}, {}, false, false, 50000},
        {"forex hedged", 0, 0, 0, 50000, {100, 1.25}, {60, 1.30}, false, false, 40000 + 60000},
        {"forex larger leg", 0, 0, 0, 50000, {100, 1.25}, {60, 1.30}, true, false, 100000},
        {"forex larger leg, sell side larger", 0, 0, 0, 0, {20, 1.25, 1}, {60, 1.30, 2}, true, false, 120000},
        {"cfd net", 1, 0, 0, 0, {100, 1.25}, {}, false, false, 12500000},
        {"cfd initial margin", 1, 1000, 0, 0, {100, 1.25}, {}, false, false, 100000},
        {"cfd hedged with price", 1, 0, 0, 0.5, {100, 2.0}, {100, 2.0}, false, false, 200 * 2.0 * 0.5},
        {"cfd hedged with initial margin", 1, 1000, 0, 0.5, {100, 2.0}, {100, 2.0}, false, false, 200 * 0.5},
        {"futures maintenance", 2, 1000, 800, 0, {100, 5.0}, {}, false, false, 80000},
        {"futures initial with a request", 2, 1000, 800, 0, {100, 5.0}, {}, false, true, 100000},
        {"futures hedged", 2, 0, 800, 300, {100, 5.0}, {40, 5.0}, false, false, 800 * 60 + 80 * 300},
        {"cfd index", 3, 0, 0, 0, {100, 2000}, {}, false, false, 100.0 * 2000 * 100000 / 0.25 * 2.5},
        {"cfd index hedged", 3, 0, 0, 0.5, {50, 2000}, {50, 2000}, false, false, 100 * 2000 * 0.5 / 0.25 * 2.5},
        {"cfd leverage", 4, 0, 0, 0, {100, 1.25}, {}, false, false, 125000},
        {"cfd leverage hedged", 4, 0, 0, 0.5, {100, 1.25}, {100, 1.25}, false, false, 200 * 1.25 * 0.5 / 100},
        {"unknown mode", 7, 1000, 800, 500, {100, 1.25}, {}, false, false, 0},
        {"rate applies", 0, 0, 0, 0, {100, 1.25, 1.5}, {}, false, false, 150000},
    };
    for (const Case& c : cases) {
        market::SymbolRecord symbol = market::testing::make_symbol("TEST", 1);
        symbol.margin_mode = static_cast<market::MarginMode>(c.mode);
        symbol.contract_size = 100000;
        symbol.tick_size = 0.25;
        symbol.tick_value = 2.5;
        symbol.initial_margin = c.initial;
        symbol.maintenance_margin = c.maintenance;
        symbol.hedged_margin = c.hedged;
        symbol.margin_divider = 1;
        const MarginTerms terms{100, c.larger_leg, c.with_request};
        EXPECT_NEAR(symbol_margin(symbol, sums(c.buys), sums(c.sells), terms), c.margin, 1e-9 * (1 + c.margin)) << c.what;
    }
}

TEST(SymbolMargin, IndexModeWithoutTickValuesAndZeroDividersGiveFiniteResults) {
    market::SymbolRecord symbol = market::testing::make_symbol("TEST", 1);
    symbol.margin_mode = market::MarginMode::CfdIndex;
    symbol.contract_size = 1;
    EXPECT_EQ(symbol_margin(symbol, sums({100, 2000}), {}, MarginTerms{100, false, false}), 0);

    symbol.margin_mode = market::MarginMode::Forex;
    symbol.contract_size = 100000;
    symbol.margin_divider = 0;
    EXPECT_EQ(symbol_margin(symbol, sums({100, 1.25}), {}, MarginTerms{0, false, false}), 100000 * 100)
        << "a divider of 0 and a leverage of 0 count as 1";
    symbol.margin_divider = 2;
    EXPECT_EQ(symbol_margin(symbol, sums({100, 1.25}), {}, MarginTerms{100, false, false}), 50000);
    EXPECT_EQ(symbol_margin(symbol, {}, {}, MarginTerms{100, false, false}), 0) << "no volume";
}

}  // namespace
}  // namespace kb::trade
