#include "server/dealer.h"

#include <algorithm>
#include <cmath>

#include "core/fixed_text.h"
#include "market/quote_hours.h"
#include "server/login_data_records.h"
#include "server/trade_transactions.h"
#include "trade/price_distance.h"

namespace kb::server {

namespace {

using net::ReturnCode;
using trade::TradeRequest;

constexpr int kMaximumVolume = 10000;      // 100 lots, as the group record tells the terminal
constexpr int kMaximumDeviation = 1000000;
constexpr int64_t kQuoteValidSeconds = 15;  // how long a price answered by the dealer holds
constexpr double kHighestPrice = 1e9;

// Prices within half a point are the same price.
bool same_price(double a, double b, double point) { return std::fabs(a - b) < point / 2; }

DealResult failed(ReturnCode code) {
    DealResult result;
    result.code = code;
    return result;
}

DealResult requote(double bid, double ask) {
    DealResult result;
    result.code = ReturnCode::Requote;
    result.bid = bid;
    result.ask = ask;
    return result;
}

}  // namespace

Dealer::Dealer(ServerContext& context) : context_(context), random_(context.config.price_seed ^ 0xD1A1u) {}

Dealer::~Dealer() { stop(); }

int32_t Dealer::next_request_id() {
    std::lock_guard guard(deal_lock_);
    if (last_request_id_ == INT32_MAX) last_request_id_ = 0;
    return ++last_request_id_;
}

double Dealer::random_share() { return random_.uniform(); }

QuoteLookup Dealer::quote_lookup(const ServerConfig& config) { return feed_quotes(context_.feed, config); }

std::optional<ReturnCode> Dealer::market_for(const std::string& symbol, const AccountRow& account, Market& market) {
    market.config = context_.settings_now();
    market.group = &account_group(*market.config, account.group);
    market.instrument = market.config->find_instrument(symbol);
    if (!market.instrument) return ReturnCode::InvalidParameters;
    market.index = static_cast<int>(market.instrument - market.config->instruments.data());
    const InstrumentQuote quote = context_.feed.quote(market.index);
    if (!market::in_quote_hours(market.instrument->quote_hours, context_.clock.unix_time())) return ReturnCode::MarketClosed;
    if (quote.time == 0) return ReturnCode::OffQuotes;
    market.bid = quote.bid;
    market.ask = quote.ask;
    return std::nullopt;
}

AccountMoney Dealer::money_with(const Account& account, const Market& market, const std::optional<TradeRow>& order) {
    const ServerConfig& config = *market.config;
    return account_money(account.row, account.open, *market.group, config, quote_lookup(config), order);
}

// Stops as the terminal checks them, on the record it has of the instrument; negative
// prices are no stops at all.
bool Dealer::stops_valid(const Market& market, trade::OrderType type, double reference, double stop_loss,
                         double take_profit) {
    if (stop_loss < 0 || take_profit < 0) return false;
    return trade::stops_keep_distance(symbol_of(market), type, reference, stop_loss, take_profit);
}

market::SymbolRecord Dealer::symbol_of(const Market& market) {
    return build_symbol_record(*market.instrument, market.index);
}

void Dealer::fill_account(DealResult& result, int32_t login) {
    if (std::optional<AccountRow> after = context_.storage.account(login)) {
        result.balance = after->balance;
        result.credit = after->credit;
    }
}

bool Dealer::commit(Account& account, DealWrite& deal, const std::vector<trade::TransactionType>& kinds,
                    const ServerConfig& config) {
    deal.login = account.row.login;
    if (!context_.storage.commit_deal(deal)) {
        context_.log.write("'%d': deal not stored: %s", account.row.login, context_.storage.last_error().c_str());
        return false;
    }
    std::vector<TradeChange> changes;
    size_t kind = 0;
    for (const TradeRow& row : deal.updated) changes.push_back({kinds.at(kind++), row});
    for (const TradeRow& row : deal.inserted) changes.push_back({kinds.at(kind++), row});
    // A pending order that goes away was never a trade: the terminal keeps it out of its history.
    for (TradeChange& change : changes) {
        if (change.type == trade::kTransactionDelete && trade::is_pending(change.trade.type)) change.trade.close_time = 0;
    }
    store_trade_changes(context_.storage, config, account.row.login, changes);
    ++context_.trade_changes;
    account.row.balance += deal.balance_change;
    for (const TradeRow& row : deal.updated) {
        auto it = std::find_if(account.open.begin(), account.open.end(), [&](const TradeRow& t) { return t.ticket == row.ticket; });
        if (it == account.open.end()) continue;
        if (row.close_time != 0) account.open.erase(it);
        else *it = row;
    }
    for (const TradeRow& row : deal.inserted) {
        if (row.close_time == 0) account.open.push_back(row);
    }
    return true;
}

DealResult Dealer::execute(int32_t login, const TradeRequest& request, const std::optional<QuotedPrice>& quoted) {
    std::lock_guard guard(deal_lock_);
    return deal(login, request, quoted);
}

DealResult Dealer::deal(int32_t login, const TradeRequest& request, const std::optional<QuotedPrice>& quoted) {
    std::optional<AccountRow> row = context_.storage.account(login);
    if (!row) return failed(ReturnCode::InvalidAccount);
    if (!row->enabled) return failed(ReturnCode::AccountDisabled);
    Account account{*row, context_.storage.open_trades(login)};
    const std::string symbol(core::field_text(request.symbol));
    Market market;
    switch (request.kind) {
        case trade::kPriceRequest:
        case trade::kInstantOrder:
        case trade::kOrderByRequest:
        case trade::kMarketOrder:
        case trade::kPendingOrder: {
            if (std::optional<ReturnCode> refused = market_for(symbol, account.row, market)) return failed(*refused);
            if (request.volume < 1 || request.volume > kMaximumVolume) return failed(ReturnCode::InvalidVolume);
            if (request.kind == trade::kPriceRequest) return price_request(market, request);
            if (request.kind == trade::kPendingOrder) return place_pending(account, market, request);
            return open_order(account, market, request, quoted);
        }
        case trade::kInstantClose:
        case trade::kCloseByRequest:
        case trade::kMarketClose: return close_order(account, request, quoted);
        case trade::kModify: return modify_order(account, request);
        case trade::kDelete: return delete_order(account, request);
        case trade::kCloseBy: return close_by(account, request.ticket, request.opposite_ticket);
        case trade::kMultipleCloseBy: return multiple_close_by(account, request);
        default: return failed(ReturnCode::CommonError);
    }
}

DealResult Dealer::price_request(const Market& market, const TradeRequest&) {
    if (dealing_mode(*market.group, *market.instrument) != market::ExecutionMode::Request)
        return failed(ReturnCode::InvalidParameters);
    DealResult result;
    result.code = ReturnCode::Ok;
    result.bid = market.bid;
    result.ask = market.ask;
    return result;
}

DealResult Dealer::open_order(Account& account, const Market& market, const TradeRequest& request,
                              const std::optional<QuotedPrice>& quoted) {
    static constexpr std::pair<uint8_t, market::ExecutionMode> kModes[] = {
        {trade::kInstantOrder, market::ExecutionMode::Instant},
        {trade::kOrderByRequest, market::ExecutionMode::Request},
        {trade::kMarketOrder, market::ExecutionMode::Market}};
    const market::ExecutionMode mode = dealing_mode(*market.group, *market.instrument);
    for (auto [kind, wanted] : kModes) {
        if (kind == request.kind && mode != wanted) return failed(ReturnCode::InvalidParameters);
    }
    if (!trade::is_position(request.order_type)) return failed(ReturnCode::InvalidParameters);
    const auto type = static_cast<trade::OrderType>(request.order_type);
    const bool buy = type == trade::kBuy;
    const double point = market.instrument->point;
    double price = buy ? market.ask : market.bid;
    if (request.kind == trade::kInstantOrder) {
        if (request.deviation < 0 || request.deviation > kMaximumDeviation) return failed(ReturnCode::InvalidParameters);
        const bool within = std::fabs(request.price - price) <= request.deviation * point + point / 2;
        if (!within || random_share() < market.group->requote_rate) return requote(market.bid, market.ask);
    } else if (request.kind == trade::kOrderByRequest) {
        const bool current = quoted && quoted->symbol == market.instrument->name &&
                             context_.clock.unix_time() - quoted->time <= kQuoteValidSeconds &&
                             same_price(request.price, buy ? quoted->ask : quoted->bid, point);
        if (!current) return requote(market.bid, market.ask);
        price = request.price;
    } else if (request.price != 0) {
        return failed(ReturnCode::InvalidParameters);
    }
    if (!stops_valid(market, type, buy ? market.bid : market.ask, request.stop_loss, request.take_profit))
        return failed(ReturnCode::InvalidStops);
    const ServerConfig& config = *market.config;
    TradeRow opened;
    opened.login = account.row.login;
    opened.symbol = market.instrument->name;
    opened.type = type;
    opened.volume = request.volume;
    opened.open_time = context_.clock.unix_time();
    opened.open_price = price;
    opened.stop_loss = request.stop_loss;
    opened.take_profit = request.take_profit;
    opened.close_price = buy ? market.bid : market.ask;
    opened.comment = core::field_text(request.comment);
    opened.margin_rate = order_margin_rate(*market.instrument, price, market.group->currency, config, quote_lookup(config));
    if (!margin_allows(money_with(account, market, opened), *market.group, *market.instrument, config))
        return failed(ReturnCode::NotEnoughMoney);
    DealWrite deal;
    deal.inserted.push_back(opened);
    if (!commit(account, deal, {trade::kTransactionAdd}, config)) return failed(ReturnCode::CommonError);
    DealResult result;
    result.code = ReturnCode::Ok;
    result.records.push_back(build_trade_record(deal.inserted[0], config));
    return result;
}

DealResult Dealer::place_pending(Account& account, const Market& market, const TradeRequest& request) {
    if (!trade::is_pending(request.order_type)) return failed(ReturnCode::InvalidParameters);
    const auto type = static_cast<trade::OrderType>(request.order_type);
    if (!(request.price > 0) || request.price > kHighestPrice) return failed(ReturnCode::InvalidParameters);
    const int64_t now = context_.clock.unix_time();
    if (!trade::expiration_far_enough(request.expiration, now)) return failed(ReturnCode::InvalidParameters);
    const bool placed_right = trade::pending_price_placed(symbol_of(market), type, request.price, market.bid, market.ask);
    if (!placed_right || !stops_valid(market, type, request.price, request.stop_loss, request.take_profit))
        return failed(ReturnCode::InvalidStops);
    TradeRow order;
    order.login = account.row.login;
    order.symbol = market.instrument->name;
    order.type = type;
    order.volume = request.volume;
    order.open_time = now;
    order.open_price = request.price;
    order.stop_loss = request.stop_loss;
    order.take_profit = request.take_profit;
    order.close_price = trade::is_buy_side(type) ? market.ask : market.bid;
    order.comment = core::field_text(request.comment);
    order.expiration = request.expiration / 60 * 60;
    DealWrite deal;
    deal.inserted.push_back(order);
    if (!commit(account, deal, {trade::kTransactionAdd}, *market.config)) return failed(ReturnCode::CommonError);
    DealResult result;
    result.code = ReturnCode::Ok;
    result.records.push_back(build_trade_record(deal.inserted[0], *market.config));
    return result;
}

bool Dealer::close_position(Account& account, const Market& market, const TradeRow& position, int volume, double price,
                            DealResult& result) {
    const ServerConfig& config = *market.config;
    TradeRow closed = position;
    closed.volume = volume;
    closed.close_time = context_.clock.unix_time();
    closed.close_price = price;
    closed.profit = position_profit(closed, price, market.group->currency, config, quote_lookup(config));
    DealWrite deal;
    deal.updated.push_back(closed);
    deal.balance_change = closed.profit + closed.commission + closed.swap;
    std::vector<trade::TransactionType> kinds = {trade::kTransactionDelete};
    if (volume < position.volume) {
        TradeRow rest = position;
        rest.ticket = 0;
        rest.volume = position.volume - volume;
        rest.comment = "from #" + std::to_string(position.ticket);
        deal.inserted.push_back(rest);
        kinds.push_back(trade::kTransactionAdd);
    }
    if (!commit(account, deal, kinds, config)) return false;
    result.records.push_back(build_trade_record(deal.updated[0], config));
    for (const TradeRow& row : deal.inserted) result.records.push_back(build_trade_record(row, config));
    return true;
}

DealResult Dealer::close_order(Account& account, const TradeRequest& request, const std::optional<QuotedPrice>& quoted) {
    auto position = std::find_if(account.open.begin(), account.open.end(),
                                 [&](const TradeRow& t) { return t.ticket == request.ticket; });
    if (position == account.open.end() || !trade::is_position(position->type)) return failed(ReturnCode::InvalidParameters);
    if (request.volume < 1 || request.volume > position->volume) return failed(ReturnCode::InvalidVolume);
    Market market;
    if (std::optional<ReturnCode> refused = market_for(position->symbol, account.row, market)) return failed(*refused);
    static constexpr std::pair<uint8_t, market::ExecutionMode> kModes[] = {
        {trade::kInstantClose, market::ExecutionMode::Instant},
        {trade::kCloseByRequest, market::ExecutionMode::Request},
        {trade::kMarketClose, market::ExecutionMode::Market}};
    for (auto [kind, wanted] : kModes) {
        if (kind == request.kind && dealing_mode(*market.group, *market.instrument) != wanted)
            return failed(ReturnCode::InvalidParameters);
    }
    const bool buy = position->type == trade::kBuy;
    const double point = market.instrument->point;
    double price = buy ? market.bid : market.ask;
    if (request.kind == trade::kInstantClose) {
        if (request.deviation < 0 || request.deviation > kMaximumDeviation) return failed(ReturnCode::InvalidParameters);
        const bool within = std::fabs(request.price - price) <= request.deviation * point + point / 2;
        if (!within || random_share() < market.group->requote_rate) return requote(market.bid, market.ask);
    } else if (request.kind == trade::kCloseByRequest) {
        const bool current = quoted && quoted->symbol == market.instrument->name &&
                             context_.clock.unix_time() - quoted->time <= kQuoteValidSeconds &&
                             same_price(request.price, buy ? quoted->bid : quoted->ask, point);
        if (!current) return requote(market.bid, market.ask);
        price = request.price;
    }
    DealResult result;
    const TradeRow chosen = *position;
    if (!close_position(account, market, chosen, request.volume, price, result)) return failed(ReturnCode::CommonError);
    result.code = ReturnCode::Ok;
    fill_account(result, account.row.login);
    return result;
}

DealResult Dealer::modify_order(Account& account, const TradeRequest& request) {
    auto order = std::find_if(account.open.begin(), account.open.end(),
                              [&](const TradeRow& t) { return t.ticket == request.ticket; });
    if (order == account.open.end()) return failed(ReturnCode::InvalidParameters);
    Market market;
    if (std::optional<ReturnCode> refused = market_for(order->symbol, account.row, market)) return failed(*refused);
    TradeRow changed = *order;
    changed.stop_loss = request.stop_loss;
    changed.take_profit = request.take_profit;
    double reference = order->type == trade::kBuy ? market.bid : market.ask;
    if (trade::is_pending(order->type)) {
        if (!(request.price > 0) || request.price > kHighestPrice) return failed(ReturnCode::InvalidParameters);
        if (!trade::expiration_far_enough(request.expiration, context_.clock.unix_time()))
            return failed(ReturnCode::InvalidParameters);
        changed.open_price = request.price;
        changed.expiration = request.expiration / 60 * 60;
        reference = request.price;
    }
    if (changed.stop_loss == order->stop_loss && changed.take_profit == order->take_profit &&
        changed.open_price == order->open_price && changed.expiration == order->expiration)
        return failed(ReturnCode::OkNoResult);
    const bool moved = trade::is_pending(order->type) && changed.open_price != order->open_price;
    if (moved && !trade::pending_price_placed(symbol_of(market), order->type, changed.open_price,
                                              market.bid, market.ask))
        return failed(ReturnCode::InvalidStops);
    if (!stops_valid(market, order->type, reference, changed.stop_loss, changed.take_profit))
        return failed(ReturnCode::InvalidStops);
    DealWrite deal;
    deal.updated.push_back(changed);
    if (!commit(account, deal, {trade::kTransactionUpdate}, *market.config)) return failed(ReturnCode::CommonError);
    DealResult result;
    result.code = ReturnCode::Ok;
    result.records.push_back(build_trade_record(changed, *market.config));
    return result;
}

DealResult Dealer::delete_order(Account& account, const TradeRequest& request) {
    auto order = std::find_if(account.open.begin(), account.open.end(),
                              [&](const TradeRow& t) { return t.ticket == request.ticket; });
    if (order == account.open.end() || !trade::is_pending(order->type)) return failed(ReturnCode::InvalidParameters);
    const std::shared_ptr<const ServerConfig> config = context_.settings_now();
    TradeRow deleted = *order;
    deleted.close_time = context_.clock.unix_time();
    deleted.comment = "deleted";
    DealWrite deal;
    deal.updated.push_back(deleted);
    if (!commit(account, deal, {trade::kTransactionDelete}, *config)) return failed(ReturnCode::CommonError);
    DealResult result;
    result.code = ReturnCode::Ok;
    return result;
}

// Both positions close by the volume they share at the opposite's open price, so the pair's
// result is the difference of their open prices; the larger one's rest stays open.
DealResult Dealer::close_by(Account& account, int64_t ticket, int64_t opposite) {
    auto find = [&](int64_t wanted) {
        return std::find_if(account.open.begin(), account.open.end(), [&](const TradeRow& t) { return t.ticket == wanted; });
    };
    auto first = find(ticket), second = find(opposite);
    if (first == account.open.end() || second == account.open.end() || ticket == opposite ||
        !trade::is_position(first->type) || !trade::is_position(second->type) || first->type == second->type ||
        first->symbol != second->symbol)
        return failed(ReturnCode::InvalidParameters);
    Market market;
    if (std::optional<ReturnCode> refused = market_for(first->symbol, account.row, market)) return failed(*refused);
    const ServerConfig& config = *market.config;
    const TradeRow a = *first, b = *second;
    const int shared = std::min(a.volume, b.volume);
    const int64_t now = context_.clock.unix_time();
    DealWrite deal;
    std::vector<trade::TransactionType> kinds;
    for (const TradeRow* position : {&a, &b}) {
        TradeRow closed = *position;
        closed.volume = shared;
        closed.close_time = now;
        closed.close_price = b.open_price;
        closed.profit = position_profit(closed, b.open_price, market.group->currency, config, quote_lookup(config));
        closed.comment = "close by #" + std::to_string(position == &a ? b.ticket : a.ticket);
        deal.balance_change += closed.profit;
        deal.updated.push_back(closed);
        kinds.push_back(trade::kTransactionDelete);
        if (position->volume > shared) {
            TradeRow rest = *position;
            rest.ticket = 0;
            rest.volume = position->volume - shared;
            rest.comment = "partial close";
            deal.inserted.push_back(rest);
        }
    }
    if (!deal.inserted.empty()) kinds.push_back(trade::kTransactionAdd);
    if (!commit(account, deal, kinds, config)) return failed(ReturnCode::CommonError);
    DealResult result;
    result.code = ReturnCode::Ok;
    for (const TradeRow& row : deal.updated) result.records.push_back(build_trade_record(row, config));
    for (const TradeRow& row : deal.inserted) result.records.push_back(build_trade_record(row, config));
    fill_account(result, account.row.login);
    return result;
}

DealResult Dealer::multiple_close_by(Account& account, const TradeRequest& request) {
    const std::string symbol(core::field_text(request.symbol));
    for (;;) {
        auto buy = std::find_if(account.open.begin(), account.open.end(),
                                [&](const TradeRow& t) { return t.symbol == symbol && t.type == trade::kBuy; });
        auto sell = std::find_if(account.open.begin(), account.open.end(),
                                 [&](const TradeRow& t) { return t.symbol == symbol && t.type == trade::kSell; });
        if (buy == account.open.end() || sell == account.open.end()) break;
        DealResult pair = close_by(account, buy->ticket, sell->ticket);
        if (pair.code != ReturnCode::Ok) return pair;
    }
    DealResult result;
    result.code = ReturnCode::Ok;
    return result;
}

}  // namespace kb::server
