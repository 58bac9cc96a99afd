#include "trade/margin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kb::trade {

namespace {

struct Terms {
    const market::SymbolRecord& symbol;
    double leverage;
    double divider;
    bool with_request;
};

// The margin of a net volume at an average price, by the symbol's calculation mode.
double net_part(const Terms& t, double net, double price) {
    const market::SymbolRecord& s = t.symbol;
    const double im = s.initial_margin;
    switch (s.margin_mode) {
        case market::MarginMode::Forex: return (im > 0 ? im : s.contract_size) * net / t.leverage / t.divider;
        case market::MarginMode::Cfd: return (im > 0 ? im * net : net * price * s.contract_size) / t.divider;
        case market::MarginMode::Futures:
            return (im > 0 && t.with_request ? im : s.maintenance_margin) * net / t.divider;
        case market::MarginMode::CfdIndex:
            if (s.tick_size == 0 || s.tick_value == 0) return 0;
            return (im > 0 ? im * net : net * price * s.contract_size / s.tick_size * s.tick_value) / t.divider;
        case market::MarginMode::CfdLeverage:
            return (im > 0 ? im * net : net * price * s.contract_size) / t.leverage / t.divider;
        default: return 0;
    }
}

// The margin of the hedged volume at the average price.
double hedged_part(const Terms& t, double hedged, double price) {
    const market::SymbolRecord& s = t.symbol;
    const double hm = s.hedged_margin;
    const bool initial = s.initial_margin > 0;
    switch (s.margin_mode) {
        case market::MarginMode::Forex: return hedged * hm / t.leverage / t.divider;
        case market::MarginMode::Cfd: return (initial ? hedged : hedged * price) * hm / t.divider;
        case market::MarginMode::Futures: return hedged * hm / t.divider;
        case market::MarginMode::CfdIndex:
            if (initial) return hedged * hm / t.divider;
            if (s.tick_size == 0) return 0;
            return hedged * price * hm / s.tick_size * s.tick_value / t.divider;
        case market::MarginMode::CfdLeverage: return (initial ? hedged : hedged * price) * hm / t.leverage / t.divider;
        default: return 0;
    }
}

double average(double sum, double volume) { return volume != 0 ? sum / volume : 0; }

double side_margin(const Terms& t, const SideSums& side) {
    return net_part(t, side.volume, average(side.volume_price, side.volume)) *
           average(side.volume_rate, side.volume);
}

}  // namespace

double symbol_margin(const market::SymbolRecord& symbol, const SideSums& buys, const SideSums& sells,
                     const MarginTerms& terms) {
    const Terms t{symbol, static_cast<double>(std::max<int32_t>(terms.leverage, 1)),
                  symbol.margin_divider != 0 ? symbol.margin_divider : 1.0, terms.with_request};
    const double total = buys.volume + sells.volume;
    const double net = std::fabs(buys.volume - sells.volume);
    if (total > net && terms.larger_leg) return std::max(side_margin(t, buys), side_margin(t, sells));

    const double price = average(buys.volume_price + sells.volume_price, total);
    const double rate = average(buys.volume_rate + sells.volume_rate, total);
    double margin = net_part(t, net, price);
    if (total > net) margin += hedged_part(t, total - net, price);
    return margin * rate;
}

double free_margin(double balance, double credit, double margin, double profit, market::FreeMarginMode mode) {
    const double free = balance + credit - margin;
    switch (mode) {
        case market::FreeMarginMode::WithProfit: return free + profit;
        case market::FreeMarginMode::WithGainOnly: return profit > 0 ? free + profit : free;
        case market::FreeMarginMode::WithLossOnly: return profit < 0 ? free + profit : free;
        default: return free;
    }
}

bool margin_refused(double margin, double margin_after, double free_margin_after, double allowance,
                    int32_t margin_flag) {
    if (free_margin_after + allowance >= 0) return false;
    const bool hedging = margin_after < margin;
    return !(hedging && margin_flag == 0);
}

std::optional<double> margin_rate_from_price(const market::SymbolRecord& symbol, std::string_view deposit,
                                             double price) {
    constexpr size_t kCodeLength = 3;
    const std::string_view margin = currency_code(symbol.margin_currency, sizeof symbol.margin_currency);
    if (margin.empty() || margin == deposit) return 1.0;
    const std::string_view name(symbol.name, strnlen(symbol.name, sizeof symbol.name));
    if (symbol.margin_mode == market::MarginMode::Forex && price != 0 && name.size() >= 2 * kCodeLength) {
        const std::string_view base = name.substr(0, kCodeLength);
        const std::string_view quote = name.substr(kCodeLength, kCodeLength);
        if (quote == deposit && base == margin) return price;
        if (quote == margin && base == deposit) return 1 / price;
    }
    return std::nullopt;
}

ConversionRoute margin_route(const market::SymbolRecord& symbol, std::string_view deposit,
                             const std::function<bool(std::string_view)>& exists) {
    const std::string_view margin = currency_code(symbol.margin_currency, sizeof symbol.margin_currency);
    const std::string_view name(symbol.name, strnlen(symbol.name, sizeof symbol.name));
    const std::string_view suffix =
        symbol.margin_mode == market::MarginMode::Forex ? symbol_suffix(name) : std::string_view();
    return find_route(margin, deposit, suffix, PairPreference::InvertedFirst, exists);
}

}  // namespace kb::trade
