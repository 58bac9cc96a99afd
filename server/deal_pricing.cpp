#include "server/deal_pricing.h"

#include <map>

#include "server/login_data_records.h"
#include "trade/margin.h"
#include "trade/profit.h"

namespace kb::server {

namespace {

std::function<bool(std::string_view)> known_in(const ServerConfig& config) {
    return [&config](std::string_view name) { return config.find_instrument(std::string(name)) != nullptr; };
}

std::function<std::optional<market::SymbolPrices>(std::string_view)> prices_of(const QuoteLookup& quotes) {
    return [&quotes](std::string_view name) -> std::optional<market::SymbolPrices> {
        market::SymbolPrices prices;
        if (!quotes || !quotes(std::string(name), prices.bid, prices.ask)) return std::nullopt;
        return prices;
    };
}

market::SymbolRecord record_of(const InstrumentConfig& instrument, const ServerConfig& config) {
    return build_symbol_record(instrument, static_cast<int>(&instrument - config.instruments.data()));
}

struct SymbolSums {
    const InstrumentConfig* instrument = nullptr;
    trade::SideSums buys;
    trade::SideSums sells;
    bool with_order = false;
};

void add_position(std::map<std::string, SymbolSums>& sums, const TradeRow& trade, const ServerConfig& config) {
    if (!trade::is_position(trade.type)) return;
    const InstrumentConfig* instrument = config.find_instrument(trade.symbol);
    if (!instrument) return;
    SymbolSums& symbol = sums[trade.symbol];
    symbol.instrument = instrument;
    (trade.type == trade::kBuy ? symbol.buys : symbol.sells).add(trade.volume, trade.open_price, trade.margin_rate);
}

double total_margin(const std::map<std::string, SymbolSums>& sums, const AccountRow& account, const GroupConfig& group,
                    const ServerConfig& config) {
    double total = 0;
    for (const auto& [name, symbol] : sums) {
        const trade::MarginTerms terms{account.leverage, group.larger_leg_margin, symbol.with_order};
        total += trade::symbol_margin(record_of(*symbol.instrument, config), symbol.buys, symbol.sells, terms);
    }
    return total / 100;
}

}  // namespace

double order_margin_rate(const InstrumentConfig& instrument, double price, const std::string& deposit,
                         const ServerConfig& config, const QuoteLookup& quotes) {
    const market::SymbolRecord symbol = record_of(instrument, config);
    if (std::optional<double> rate = trade::margin_rate_from_price(symbol, deposit, price)) return *rate;
    const trade::ConversionRoute route = trade::margin_route(symbol, deposit, known_in(config));
    return trade::route_rate(route, trade::PriceSide::Mid, prices_of(quotes));
}

double position_profit(const TradeRow& trade, double close_price, const std::string& deposit,
                       const ServerConfig& config, const QuoteLookup& quotes) {
    const InstrumentConfig* instrument = config.find_instrument(trade.symbol);
    if (!instrument) return 0;
    const market::SymbolRecord symbol = record_of(*instrument, config);
    trade::TradeRecord record = build_trade_record(trade, config);
    record.close_price = close_price;
    const bool buy = trade.type == trade::kBuy;
    const double multiplier = trade::side_profit_multiplier(
        symbol, trade::profit_route(symbol, deposit, known_in(config)), buy, prices_of(quotes));
    return trade::position_profit(record, symbol, multiplier, trade::deposit_digits(deposit));
}

AccountMoney account_money(const AccountRow& account, const std::vector<TradeRow>& open, const GroupConfig& group,
                           const ServerConfig& config, const QuoteLookup& quotes, const std::optional<TradeRow>& order) {
    AccountMoney money;
    money.balance = account.balance;
    money.credit = account.credit;
    std::map<std::string, SymbolSums> sums;
    for (const TradeRow& trade : open) {
        if (!trade::is_position(trade.type)) continue;
        double bid = 0, ask = 0;
        if (config.find_instrument(trade.symbol) && quotes(trade.symbol, bid, ask)) {
            const double close = trade.type == trade::kBuy ? bid : ask;
            money.profit += position_profit(trade, close, group.currency, config, quotes);
        }
        money.profit += trade.commission + trade.swap;
        add_position(sums, trade, config);
    }
    const market::FreeMarginMode mode = build_group_record(group).free_margin_mode;
    money.equity = money.balance + money.profit + money.credit;
    money.margin = total_margin(sums, account, group, config);
    money.free_margin = trade::free_margin(money.balance, money.credit, money.margin, money.profit, mode);
    money.margin_after = money.margin;
    money.free_margin_after = money.free_margin;
    if (order) {
        add_position(sums, *order, config);
        if (auto found = sums.find(order->symbol); found != sums.end()) found->second.with_order = true;
        money.margin_after = total_margin(sums, account, group, config);
        money.free_margin_after = trade::free_margin(money.balance, money.credit, money.margin_after, money.profit, mode);
    }
    return money;
}

bool margin_allows(const AccountMoney& money, const GroupConfig& group, const InstrumentConfig& instrument,
                   const ServerConfig& config) {
    const market::GroupRecord group_record = build_group_record(group);
    return !trade::margin_refused(money.margin, money.margin_after, money.free_margin_after,
                                  group_record.margin_allowance, record_of(instrument, config).margin_flag);
}

QuoteLookup feed_quotes(QuoteFeed& feed, const ServerConfig& config) {
    return [&feed, &config](const std::string& symbol, double& bid, double& ask) {
        const InstrumentConfig* instrument = config.find_instrument(symbol);
        if (!instrument) return false;
        const InstrumentQuote quote = feed.quote(static_cast<int>(instrument - config.instruments.data()));
        bid = quote.bid;
        ask = quote.ask;
        return quote.time != 0;
    };
}

}  // namespace kb::server
