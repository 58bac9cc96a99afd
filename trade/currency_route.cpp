#include "trade/currency_route.h"

#include <cstring>

namespace kb::trade {

namespace {

constexpr std::string_view kUsd = "USD";

// The leg of a pair of the two currencies, trying the suffixed name before the bare one.
std::optional<ConversionLeg> find_leg(std::string_view from, std::string_view to, std::string_view suffix,
                                      PairPreference preference,
                                      const std::function<bool(std::string_view)>& exists) {
    const bool inverted_first = preference == PairPreference::InvertedFirst;
    const std::string_view suffixes[] = {suffix, std::string_view()};
    for (std::string_view tail : suffixes) {
        for (bool inverted : {inverted_first, !inverted_first}) {
            std::string name = inverted ? pair_name(to, from, tail) : pair_name(from, to, tail);
            if (exists(name)) return ConversionLeg{std::move(name), inverted};
        }
        if (suffix.empty()) break;
    }
    return std::nullopt;
}

double side_price(const market::SymbolPrices& prices, PriceSide side) {
    switch (side) {
        case PriceSide::Bid: return prices.bid;
        case PriceSide::Ask: return prices.ask;
        case PriceSide::Mid: break;
    }
    return (prices.bid + prices.ask) * 0.5;
}

PriceSide other_side(PriceSide side) {
    if (side == PriceSide::Bid) return PriceSide::Ask;
    if (side == PriceSide::Ask) return PriceSide::Bid;
    return PriceSide::Mid;
}

}  // namespace

std::string pair_name(std::string_view first, std::string_view second, std::string_view suffix) {
    std::string name;
    name.reserve(first.size() + second.size() + suffix.size());
    name.append(first).append(second).append(suffix);
    return name;
}

std::string_view symbol_suffix(std::string_view name) {
    constexpr size_t kSuffixStart = 6;
    return name.size() > kSuffixStart ? name.substr(kSuffixStart) : std::string_view();
}

std::string_view currency_code(const char* field, size_t size) {
    return std::string_view(field, strnlen(field, size < 3 ? size : 3));
}

ConversionRoute find_route(std::string_view from, std::string_view to, std::string_view suffix,
                           PairPreference preference, const std::function<bool(std::string_view)>& exists) {
    if (from.empty() || to.empty() || from == to) return {true, {}};
    if (auto leg = find_leg(from, to, suffix, preference, exists)) return {true, {std::move(*leg)}};
    if (from == kUsd || to == kUsd) return {};
    std::optional<ConversionLeg> to_usd = find_leg(from, kUsd, suffix, preference, exists);
    if (!to_usd) return {};
    std::optional<ConversionLeg> from_usd = find_leg(kUsd, to, suffix, PairPreference::DirectFirst, exists);
    if (!from_usd) return {};
    return {true, {std::move(*to_usd), std::move(*from_usd)}};
}

double route_rate(const ConversionRoute& route, PriceSide side,
                  const std::function<std::optional<market::SymbolPrices>(std::string_view)>& prices) {
    if (!route.found) return 0;
    double rate = 1;
    for (const ConversionLeg& leg : route.legs) {
        std::optional<market::SymbolPrices> quote = prices(leg.pair);
        if (!quote) return 0;
        const double price = side_price(*quote, leg.inverted ? other_side(side) : side);
        if (!(price > 0)) return 0;
        rate = leg.inverted ? rate / price : rate * price;
    }
    return rate;
}

}  // namespace kb::trade
