#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "market/symbols_base.h"

namespace kb::trade {

// How an amount in one currency becomes an amount in another through the prices of
// currency pairs: one pair of the two currencies, or two pairs through USD.

// One pair on the way. A direct pair is quoted as from/to (its price multiplies), an
// inverted one as to/from (its price divides).
struct ConversionLeg {
    std::string pair;
    bool inverted = false;
};

struct ConversionRoute {
    bool found = false;              // false: no pair connects the two currencies
    std::vector<ConversionLeg> legs; // empty with found: the currencies are the same
};

// Which of the two names of a pair of the two currencies is tried first.
enum class PairPreference { DirectFirst, InvertedFirst };

// The price of a pair taken for a conversion.
enum class PriceSide { Bid, Ask, Mid };

// The pair's name: the two codes and the suffix.
std::string pair_name(std::string_view first, std::string_view second, std::string_view suffix);

// Finds the pairs that convert from into to: the pair of the two currencies in the
// preferred order, else through USD (from with USD in the preferred order, then USD
// with to, direct first). exists says whether a symbol of that name is known. Empty
// codes or equal codes give the empty route.
ConversionRoute find_route(std::string_view from, std::string_view to, std::string_view suffix,
                           PairPreference preference, const std::function<bool(std::string_view)>& exists);

// The rate of a route from the pairs' prices (nothing: the pair has no prices). A direct
// leg takes the price of side, an inverted leg 1 / the price of the other side (Mid: 1 /
// mid). A leg without a price, or with a zero price, gives 0, as does a route not found.
double route_rate(const ConversionRoute& route, PriceSide side,
                  const std::function<std::optional<market::SymbolPrices>(std::string_view)>& prices);

// The part of a symbol name after its two currency codes (from its 7th character on).
std::string_view symbol_suffix(std::string_view name);

// The first three letters of a fixed currency field (fewer when it is shorter).
std::string_view currency_code(const char* field, size_t size);

}  // namespace kb::trade
