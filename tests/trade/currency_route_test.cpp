#include "trade/currency_route.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kb::trade {
namespace {

std::string describe(const ConversionRoute& route) {
    if (!route.found) return "none";
    std::string text;
    for (const ConversionLeg& leg : route.legs) text += (text.empty() ? "" : " ") + leg.pair + (leg.inverted ? "^-1" : "");
    return text;
}

TEST(ConversionRoute, FindsThePairOrTheWayThroughUsd) {
    struct Case {
        std::set<std::string> known;
        const char* from;
        const char* to;
        const char* suffix;
        PairPreference preference;
        const char* route;
    };
    const Case cases[] = {
        {{}, "USD", "USD", "", PairPreference::DirectFirst, ""},
        {{}, "", "USD", "", PairPreference::DirectFirst, ""},
        {{"JPYUSD", "USDJPY"}, "JPY", "USD", "", PairPreference::DirectFirst, "JPYUSD"},
        {{"JPYUSD", "USDJPY"}, "JPY", "USD", "", PairPreference::InvertedFirst, "USDJPY^-1"},
        {{"USDJPY"}, "JPY", "USD", "", PairPreference::DirectFirst, "USDJPY^-1"},
        {{"GBPUSD", "USDCHF"}, "GBP", "CHF", "", PairPreference::DirectFirst, "GBPUSD USDCHF"},
        {{"USDCAD", "CHFUSD"}, "CAD", "CHF", "", PairPreference::DirectFirst, "USDCAD^-1 CHFUSD^-1"},
        {{"GBPUSD"}, "GBP", "CHF", "", PairPreference::DirectFirst, "none"},
        {{"USDJPY"}, "JPY", "EUR", "", PairPreference::DirectFirst, "none"},
        {{"EURUSDm", "EURUSD"}, "EUR", "USD", "m", PairPreference::DirectFirst, "EURUSDm"},
        {{"EURUSD"}, "EUR", "USD", "m", PairPreference::DirectFirst, "EURUSD"},
    };
    for (const Case& c : cases) {
        auto exists = [&](std::string_view name) { return c.known.count(std::string(name)) > 0; };
        EXPECT_EQ(describe(find_route(c.from, c.to, c.suffix, c.preference, exists)), c.route)
            << c.from << "->" << c.to;
    }
}

TEST(ConversionRoute, RateTakesTheSideAndInvertsWithTheOtherSide) {
    const std::map<std::string, market::SymbolPrices, std::less<>> quotes = {
        {"USDJPY", {150.0, 150.5, 0, 0}}, {"GBPUSD", {1.25, 1.26, 0, 0}}, {"USDCHF", {0.0, 0.0, 0, 0}}};
    auto prices = [&](std::string_view name) -> std::optional<market::SymbolPrices> {
        auto found = quotes.find(name);
        return found == quotes.end() ? std::nullopt : std::optional(found->second);
    };
    const ConversionRoute inverted{true, {{"USDJPY", true}}};
    EXPECT_DOUBLE_EQ(route_rate(inverted, PriceSide::Bid, prices), 1 / 150.5);
    EXPECT_DOUBLE_EQ(route_rate(inverted, PriceSide::Ask, prices), 1 / 150.0);
    EXPECT_DOUBLE_EQ(route_rate(inverted, PriceSide::Mid, prices), 1 / 150.25);
    const ConversionRoute through_usd{true, {{"GBPUSD", false}, {"USDJPY", false}}};
    EXPECT_DOUBLE_EQ(route_rate(through_usd, PriceSide::Bid, prices), 1.25 * 150.0);
    EXPECT_DOUBLE_EQ(route_rate(through_usd, PriceSide::Ask, prices), 1.26 * 150.5);
    EXPECT_EQ(route_rate(ConversionRoute{true, {}}, PriceSide::Bid, prices), 1);
    // Not found, an unknown pair and a pair not quoted yet all give 0, never infinity.
    EXPECT_EQ(route_rate(ConversionRoute{}, PriceSide::Bid, prices), 0);
    EXPECT_EQ(route_rate(ConversionRoute{true, {{"EURUSD", false}}}, PriceSide::Bid, prices), 0);
    EXPECT_EQ(route_rate(ConversionRoute{true, {{"USDCHF", true}}}, PriceSide::Mid, prices), 0);
}

}  // namespace
}  // namespace kb::trade
