#include "trade/trade_base.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/journal.h"
#include "core/notifications.h"
#include "core/number_format.h"
#include "net/protocol.h"
#include "platform/clock.h"
#include "platform/notifier.h"
#include "trade/margin.h"
#include "trade/profit.h"
#include "trade/request_check.h"

namespace kb::trade {

namespace {

constexpr size_t kGrowthStep = 64;

std::string_view symbol_of(const TradeRecord& record) {
    return std::string_view(record.symbol, strnlen(record.symbol, sizeof record.symbol));
}

bool by_symbol(const TradeRecord& a, const TradeRecord& b) {
    const int order = symbol_of(a).compare(symbol_of(b));
    return order != 0 ? order < 0 : a.ticket < b.ticket;
}

bool by_ticket(const TradeRecord& a, const TradeRecord& b) { return a.ticket < b.ticket; }

TradeRecord terminated(TradeRecord record) {
    record.symbol[sizeof record.symbol - 1] = '\0';
    record.comment[sizeof record.comment - 1] = '\0';
    return record;
}

// Makes room for one more record, growing the capacity in steps of 64.
bool room_for_one(std::vector<TradeRecord>& records) {
    if (records.size() < records.capacity()) return true;
    try {
        records.reserve(records.capacity() + kGrowthStep);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

// The symbols base's record of one symbol of the open trades, with the pairs that convert
// its profit, and the range of its trades in open_trades_.
struct TradeBase::TradedSymbol {
    std::string name;
    std::optional<market::SymbolRecord> symbol;
    ConversionRoute route;
    size_t first = 0;
    size_t end = 0;
};

TradeBase::TradeBase(market::SymbolsBase* symbols, core::Journal* journal, platform::Notifier* notifier,
                     platform::Clock& clock)
    : symbols_(symbols), journal_(journal), notifier_(notifier), clock_(clock) {}

TradeBase::~TradeBase() = default;

void TradeBase::clear() {
    std::lock_guard guard(lock_);
    clear_locked();
}

void TradeBase::clear_for_other_login() {
    clear();
    post(core::Notification::Trades, 0);
    post(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Changed));
}

void TradeBase::clear_locked() {
    account_ = AccountRecord{};
    summary_ = AccountSummary{};
    investor_ = false;
    open_trades_.clear();
    history_.clear();
    requotes_.clear();
    traded_.clear();
    symbols_stale_ = true;
}

void TradeBase::set_account(const AccountData& account, std::span<const TradeRecord> open_trades) {
    std::lock_guard guard(lock_);
    apply_account_data(account_, account);
    summary_.balance = account.balance;
    summary_.credit = account.credit;
    open_trades_.clear();
    try {
        open_trades_.reserve((open_trades.size() / kGrowthStep + 1) * kGrowthStep);
        for (const TradeRecord& record : open_trades) open_trades_.push_back(terminated(record));
    } catch (const std::bad_alloc&) {
        open_trades_.clear();
        if (journal_) journal_->write(core::Level::Error, "TradeBase: not enough memory for trade");
    }
    std::sort(open_trades_.begin(), open_trades_.end(), by_symbol);
    symbols_stale_ = true;
    revalue_locked();
}

void TradeBase::set_group(const market::GroupRecord& group) {
    std::lock_guard guard(lock_);
    account_.group = group;
    account_.group.name[sizeof account_.group.name - 1] = '\0';
    symbols_stale_ = true;
    revalue_locked();
    // The symbols base may take the same settings (its per-symbol overrides) only after
    // this call: the symbols are read again at the next revaluation.
    symbols_stale_ = true;
}

AccountRecord TradeBase::account() const {
    std::lock_guard guard(lock_);
    return account_;
}

std::string TradeBase::group_name() const {
    std::lock_guard guard(lock_);
    return std::string(account_.group.name, strnlen(account_.group.name, sizeof account_.group.name));
}

int TradeBase::deposit_decimals() const {
    std::lock_guard guard(lock_);
    return deposit_digits(deposit_currency_locked());
}

int32_t TradeBase::news_setting() const {
    std::lock_guard guard(lock_);
    return account_.news_setting;
}

void TradeBase::set_investor_mode(bool investor) {
    std::lock_guard guard(lock_);
    investor_ = investor;
}

bool TradeBase::investor_mode() const {
    std::lock_guard guard(lock_);
    return investor_;
}

bool TradeBase::set_history(std::span<const TradeRecord> records) {
    std::vector<TradeRecord> history;
    try {
        history.reserve((records.size() / kGrowthStep + 1) * kGrowthStep);
    } catch (const std::bad_alloc&) {
        if (journal_) journal_->write(core::Level::Error, "TradeBase: not enough memory for history");
        return false;
    }
    for (const TradeRecord& record : records) history.push_back(terminated(record));
    std::stable_sort(history.begin(), history.end(), by_ticket);
    std::lock_guard guard(lock_);
    history_.swap(history);
    return true;
}

bool TradeBase::add_to_history(const TradeRecord& record) {
    std::lock_guard guard(lock_);
    return store_history_locked(terminated(record));
}

bool TradeBase::store_history_locked(const TradeRecord& record) {
    auto place = std::lower_bound(history_.begin(), history_.end(), record, by_ticket);
    if (place != history_.end() && place->ticket == record.ticket) {
        *place = record;
        return true;
    }
    const size_t index = static_cast<size_t>(place - history_.begin());
    if (!room_for_one(history_)) {
        if (journal_) journal_->write(core::Level::Error, "TradeBase: not enough memory for trade");
        return false;
    }
    history_.insert(history_.begin() + static_cast<std::ptrdiff_t>(index), record);
    return true;
}

bool TradeBase::add_open_trade(const TradeRecord& record) {
    std::lock_guard guard(lock_);
    const bool stored = store_open_trade_locked(terminated(record));
    recompute_locked(nullptr, nullptr);
    return stored;
}

bool TradeBase::store_open_trade_locked(const TradeRecord& record) {
    auto same = std::find_if(open_trades_.begin(), open_trades_.end(),
                             [&](const TradeRecord& open) { return open.ticket == record.ticket; });
    if (same != open_trades_.end()) {
        if (symbol_of(*same) == symbol_of(record)) {
            *same = record;
            return true;
        }
        open_trades_.erase(same);
    }
    if (!room_for_one(open_trades_)) {
        if (journal_) journal_->write(core::Level::Error, "TradeBase: not enough memory for trade");
        return false;
    }
    open_trades_.insert(std::upper_bound(open_trades_.begin(), open_trades_.end(), record, by_symbol), record);
    symbols_stale_ = true;
    return true;
}

bool TradeBase::delete_open_trade(const TradeRecord& record) {
    std::lock_guard guard(lock_);
    auto same = std::find_if(open_trades_.begin(), open_trades_.end(),
                             [&](const TradeRecord& open) { return open.ticket == record.ticket; });
    if (same == open_trades_.end()) return false;
    open_trades_.erase(same);
    symbols_stale_ = true;
    recompute_locked(nullptr, nullptr);
    return true;
}

bool TradeBase::update_open_trade(const TradeRecord& record) {
    std::lock_guard guard(lock_);
    auto same = std::find_if(open_trades_.begin(), open_trades_.end(),
                             [&](const TradeRecord& open) { return open.ticket == record.ticket; });
    if (same == open_trades_.end()) return false;
    const bool moved = symbol_of(*same) != symbol_of(record);
    *same = terminated(record);
    if (moved) {
        std::sort(open_trades_.begin(), open_trades_.end(), by_symbol);
        symbols_stale_ = true;
    }
    recompute_locked(nullptr, nullptr);
    return true;
}

bool TradeBase::apply_transactions(std::span<const TradeTransaction> transactions) {
    bool stored = true;
    bool history_changed = false;
    {
        std::lock_guard guard(lock_);
        for (const TradeTransaction& transaction : transactions) {
            const TradeRecord record = terminated(transaction.trade);
            const int32_t type = transaction.type;
            if (type == kTransactionAdd) {
                if (record.close_time == 0) stored = store_open_trade_locked(record) && stored;
            } else if (type == kTransactionDelete) {
                auto same = std::find_if(open_trades_.begin(), open_trades_.end(),
                                         [&](const TradeRecord& open) { return open.ticket == record.ticket; });
                if (same != open_trades_.end()) {
                    open_trades_.erase(same);
                    symbols_stale_ = true;
                }
                const bool settles = record.type == kBuy || record.type == kSell || record.type == kBalance ||
                                     record.type == kCredit;
                if (settles && record.close_time != 0) {
                    summary_.balance = account_.balance = transaction.balance;
                    summary_.credit = account_.credit = transaction.credit;
                }
                if (record.close_time != 0) {
                    stored = store_history_locked(record) && stored;
                    history_changed = true;
                }
            } else if (type == kTransactionUpdate) {
                if (record.close_time != 0) continue;
                auto same = std::find_if(open_trades_.begin(), open_trades_.end(),
                                         [&](const TradeRecord& open) { return open.ticket == record.ticket; });
                if (same == open_trades_.end()) continue;
                if (symbol_of(*same) != symbol_of(record)) symbols_stale_ = true;
                *same = record;
                if (symbols_stale_) std::sort(open_trades_.begin(), open_trades_.end(), by_symbol);
            } else if (journal_) {
                journal_->write(core::Level::Error, "TradeBase: unknown transaction type #%d (type %d)",
                                static_cast<int>(record.ticket), static_cast<int>(type));
            }
        }
        revalue_locked();
    }
    post(core::Notification::Trades, 0);
    post(core::Notification::Symbols, 0);
    post(core::Notification::TransactionsApplied, 0);
    if (history_changed) post(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Changed));
    return stored;
}

int TradeBase::revalue() {
    std::lock_guard guard(lock_);
    return revalue_locked();
}

int TradeBase::revalue_locked() {
    if (symbols_stale_) refresh_symbols_locked();
    int priced = 0;
    const int decimals = deposit_digits(deposit_currency_locked());
    // Many symbols convert through the same few pairs: each pair is looked up once a packet.
    std::vector<std::pair<std::string_view, std::optional<market::SymbolPrices>>> pair_quotes;
    auto pair_prices = [&](std::string_view name) {
        for (const auto& [pair, quote] : pair_quotes)
            if (pair == name) return quote;
        return pair_quotes.emplace_back(name, symbols_->prices(name)).second;
    };
    for (TradedSymbol& traded : traded_) {
        if (!traded.symbol || !symbols_) continue;
        std::optional<market::SymbolPrices> quote = symbols_->prices(traded.name);
        if (!quote || quote->bid <= 0 || quote->ask <= 0) continue;
        market::SymbolRecord& symbol = *traded.symbol;
        const double bid = core::normalize(quote->bid, symbol.digits);
        const double ask = core::normalize(quote->ask, symbol.digits);
        symbol.buy_profit_multiplier = side_profit_multiplier(symbol, traded.route, true, pair_prices);
        symbol.sell_profit_multiplier = side_profit_multiplier(symbol, traded.route, false, pair_prices);
        for (size_t i = traded.first; i < traded.end; ++i) {
            TradeRecord& trade = open_trades_[i];
            trade.close_price = closes_at_bid(trade.type) ? bid : ask;
            if (is_position(trade.type)) {
                const double multiplier =
                    trade.type == kBuy ? symbol.buy_profit_multiplier : symbol.sell_profit_multiplier;
                trade.profit = position_profit(trade, symbol, multiplier, decimals);
            }
            ++priced;
        }
    }
    recompute_locked(nullptr, nullptr);
    return priced;
}

void TradeBase::refresh_symbols() {
    std::lock_guard guard(lock_);
    symbols_stale_ = true;
    revalue_locked();
}

std::string_view TradeBase::deposit_currency_locked() const {
    return currency_code(account_.group.deposit_currency, sizeof account_.group.deposit_currency);
}

bool TradeBase::symbol_exists(std::string_view name) const {
    return symbols_ && symbols_->symbol_by_name(name).has_value();
}

std::optional<market::SymbolPrices> TradeBase::pair_prices_locked(std::string_view name) const {
    // A pair that exists but isn't selected is added unshown and counts with zero prices.
    return symbols_ ? symbols_->ensure_selected(name) : std::nullopt;
}

void TradeBase::select_route_locked(const ConversionRoute& route) {
    for (const ConversionLeg& leg : route.legs) pair_prices_locked(leg.pair);
}

void TradeBase::refresh_symbols_locked() {
    traded_.clear();
    symbols_stale_ = false;
    const std::string_view deposit = deposit_currency_locked();
    auto exists = [this](std::string_view name) { return symbol_exists(name); };
    for (size_t i = 0; i < open_trades_.size();) {
        TradedSymbol traded;
        traded.name = std::string(symbol_of(open_trades_[i]));
        traded.first = i;
        while (i < open_trades_.size() && symbol_of(open_trades_[i]) == traded.name) ++i;
        traded.end = i;
        if (symbols_) {
            traded.symbol = symbols_->symbol_by_name(traded.name);
            if (!symbols_->prices(traded.name)) symbols_->select(traded.name, market::Shown::Yes, market::Save::Yes);
        }
        if (traded.symbol) {
            traded.route = profit_route(*traded.symbol, deposit, exists);
            select_route_locked(traded.route);
        }
        traded_.push_back(std::move(traded));
    }
}

AccountSummary TradeBase::recompute() {
    std::lock_guard guard(lock_);
    recompute_locked(nullptr, nullptr);
    return summary_;
}

MarginProjection TradeBase::project(const HypotheticalOrder& order) {
    std::lock_guard guard(lock_);
    MarginProjection projection;
    recompute_locked(&order, &projection);
    return projection;
}

void TradeBase::recompute_locked(const HypotheticalOrder* order, MarginProjection* projection) {
    if (symbols_stale_) refresh_symbols_locked();
    double profit = 0;
    for (const TradeRecord& trade : open_trades_)
        if (is_position(trade.type)) profit += trade.profit + trade.commission + trade.swap + trade.taxes;
    summary_.profit = profit;
    summary_.margin = margin_of_locked(nullptr) / 100;
    summary_.equity = summary_.balance + profit + summary_.credit;
    summary_.free_margin = free_margin_for(summary_.margin, profit);
    if (order && projection) {
        projection->margin = summary_.margin;
        projection->free_margin = summary_.free_margin;
        projection->margin_after = margin_of_locked(order) / 100;
        projection->free_margin_after = free_margin_for(projection->margin_after, profit);
    }
}

double TradeBase::free_margin_for(double margin, double profit) const {
    return free_margin(summary_.balance, summary_.credit, margin, profit, account_.group.free_margin_mode);
}

void TradeBase::add_order_locked(const market::SymbolRecord& symbol, const HypotheticalOrder& order, SideSums& buys,
                                 SideSums& sells) {
    double price = order.price;
    if (price == 0 && symbols_) {
        if (std::optional<market::SymbolPrices> quote = symbols_->prices(order.symbol))
            price = is_buy_side(order.order_type) ? quote->ask : quote->bid;
    }
    HypotheticalOrder priced = order;
    priced.price = price;
    const double rate = order.margin_rate ? *order.margin_rate : margin_rate_locked(symbol, priced);
    (is_buy_side(order.order_type) ? buys : sells).add(order.volume, price, rate);
}

double TradeBase::margin_of_locked(const HypotheticalOrder* order) {
    MarginTerms terms{account_.leverage, account_.group.larger_leg_margin != 0, false};
    double total = 0;
    bool order_counted = false;
    for (const TradedSymbol& traded : traded_) {
        if (!traded.symbol) continue;
        SideSums buys, sells;
        for (size_t i = traded.first; i < traded.end; ++i) {
            const TradeRecord& trade = open_trades_[i];
            if (is_position(trade.type))
                (trade.type == kBuy ? buys : sells).add(trade.volume, trade.open_price, trade.margin_rate);
        }
        terms.with_request = order && order->symbol == traded.name;
        if (terms.with_request) {
            add_order_locked(*traded.symbol, *order, buys, sells);
            order_counted = true;
        }
        total += symbol_margin(*traded.symbol, buys, sells, terms);
    }
    if (order && !order_counted && symbols_) {
        if (std::optional<market::SymbolRecord> symbol = symbols_->symbol_by_name(order->symbol)) {
            SideSums buys, sells;
            add_order_locked(*symbol, *order, buys, sells);
            terms.with_request = true;
            total += symbol_margin(*symbol, buys, sells, terms);
        }
    }
    return total;
}

net::ReturnCode TradeBase::margin_test(const HypotheticalOrder& order) {
    std::lock_guard guard(lock_);
    MarginProjection projection;
    recompute_locked(&order, &projection);
    const std::optional<market::SymbolRecord> symbol =
        symbols_ ? symbols_->symbol_by_name(order.symbol) : std::nullopt;
    // A symbol the base doesn't know gets no hedging allowance.
    const int32_t margin_flag = symbol ? symbol->margin_flag : 1;
    const bool refused = margin_refused(projection.margin, projection.margin_after, projection.free_margin_after,
                                        account_.group.margin_allowance, margin_flag);
    return refused ? net::ReturnCode::NotEnoughMoney : net::ReturnCode::Ok;
}

net::ReturnCode TradeBase::margin_test(const TradeRequest& request) {
    HypotheticalOrder order;
    order.symbol = std::string(request.symbol, strnlen(request.symbol, sizeof request.symbol));
    order.order_type = request.order_type;
    order.volume = request.volume;
    order.price = request.price;
    if (is_close_kind(request.kind)) {
        const std::optional<TradeRecord> position = open_trade_by_ticket(request.ticket);
        if (!position || !is_position(position->type)) return net::ReturnCode::Ok;
        order.symbol = std::string(symbol_of(*position));
        order.order_type = position->type;
        order.volume = -std::min(request.volume, position->volume);
        order.price = position->open_price;
        order.margin_rate = position->margin_rate;
    } else if (!is_open_kind(request.kind)) {
        return net::ReturnCode::Ok;
    }
    return margin_test(order);
}

net::ReturnCode TradeBase::test_request(TradeRequest& request) {
    request.symbol[sizeof request.symbol - 1] = '\0';
    const std::string_view name(request.symbol, strnlen(request.symbol, sizeof request.symbol));
    RequestCheckInputs inputs;
    market::GroupRecord group;
    {
        std::lock_guard guard(lock_);
        inputs.investor_mode = investor_;
        inputs.login = account_.login;
        group = account_.group;
        inputs.open_orders = static_cast<int32_t>(open_trades_.size());
        for (const TradeRecord& trade : open_trades_) {
            if (trade.ticket == request.ticket) inputs.order = trade;
            if (trade.ticket == request.opposite_ticket) inputs.opposite = trade;
        }
    }
    inputs.group = &group;
    if (symbols_) {
        inputs.symbol = symbols_->symbol_by_name(name);
        if (std::optional<market::SymbolPrices> quote = symbols_->prices(name)) {
            inputs.bid = quote->bid;
            inputs.ask = quote->ask;
        }
        inputs.quote_time = symbols_->newest_quote_time();
        inputs.recent_ticks = symbols_->recent_ticks(name);
    }
    inputs.margin_ok = [this](const TradeRequest& checked) { return margin_test(checked) == net::ReturnCode::Ok; };
    inputs.clear_foreign_trades = [this] { clear_for_other_login(); };
    return check_request(request, inputs, journal_);
}

double TradeBase::margin_rate(const HypotheticalOrder& order) {
    std::lock_guard guard(lock_);
    if (!symbols_) return 0;
    std::optional<market::SymbolRecord> symbol = symbols_->symbol_by_name(order.symbol);
    return symbol ? margin_rate_locked(*symbol, order) : 0;
}

double TradeBase::margin_rate_locked(const market::SymbolRecord& symbol, const HypotheticalOrder& order) {
    const std::string_view deposit = deposit_currency_locked();
    if (std::optional<double> rate = margin_rate_from_price(symbol, deposit, order.price)) return *rate;
    auto exists = [this](std::string_view pair) { return symbol_exists(pair); };
    const ConversionRoute route = margin_route(symbol, deposit, exists);
    select_route_locked(route);
    return route_rate(route, PriceSide::Mid, [this](std::string_view pair) { return pair_prices_locked(pair); });
}

std::optional<TradeRecord> TradeBase::open_trade_by_ticket(int32_t ticket) const {
    std::lock_guard guard(lock_);
    for (const TradeRecord& trade : open_trades_)
        if (trade.ticket == ticket) return trade;
    return std::nullopt;
}

std::optional<TradeRecord> TradeBase::open_trade_at(size_t position) const {
    std::lock_guard guard(lock_);
    return position < open_trades_.size() ? std::optional(open_trades_[position]) : std::nullopt;
}

std::optional<TradeRecord> TradeBase::first_position(std::string_view symbol) const {
    std::lock_guard guard(lock_);
    for (const TradeRecord& trade : open_trades_)
        if (is_position(trade.type) && symbol_of(trade) == symbol) return trade;
    return std::nullopt;
}

std::optional<TradeRecord> TradeBase::history_at(size_t position) const {
    std::lock_guard guard(lock_);
    return position < history_.size() ? std::optional(history_[position]) : std::nullopt;
}

size_t TradeBase::open_trade_count() const {
    std::lock_guard guard(lock_);
    return open_trades_.size();
}

size_t TradeBase::history_count() const {
    std::lock_guard guard(lock_);
    return history_.size();
}

std::vector<TradeRecord> TradeBase::open_trades() const {
    std::lock_guard guard(lock_);
    return open_trades_;
}

std::vector<TradeRecord> TradeBase::history() const {
    std::lock_guard guard(lock_);
    return history_;
}

AccountSummary TradeBase::summary() const {
    std::lock_guard guard(lock_);
    return summary_;
}

HistorySummary TradeBase::history_summary() const {
    std::lock_guard guard(lock_);
    return summarize_history(history_);
}

std::optional<market::SymbolPrices> TradeBase::prices(std::string_view symbol) const {
    return symbols_ ? symbols_->prices(symbol) : std::nullopt;
}

void TradeBase::add_requote(const TradeRequest& request, double bid, double ask) {
    const int32_t expiry = static_cast<int32_t>(clock_.unix_time() + kRequoteLifetime);
    std::lock_guard guard(lock_);
    requotes_.push_back(Requote{request, bid, ask, expiry});
    if (requotes_.size() > kMaxRequotes) requotes_.pop_front();
}

std::vector<Requote> TradeBase::requotes() const {
    std::lock_guard guard(lock_);
    return std::vector<Requote>(requotes_.begin(), requotes_.end());
}

bool TradeBase::expiration_allowed(int32_t expiration) const {
    if (expiration <= 0) return true;
    const int64_t newest = symbols_ ? symbols_->newest_quote_time() : 0;
    return expiration_far_enough(expiration, newest);
}

std::vector<std::string> TradeBase::symbols_in_use() {
    std::lock_guard guard(lock_);
    std::vector<std::string> names;
    for (const TradeRecord& trade : open_trades_) {
        const std::string_view name = symbol_of(trade);
        if (names.empty() || names.back() != name) names.emplace_back(name);
    }
    // The pairs that convert the profit stay too: without their quotes the profit is 0.
    for (const TradedSymbol& traded : traded_)
        for (const ConversionLeg& leg : traded.route.legs)
            if (std::find(names.begin(), names.end(), leg.pair) == names.end()) names.push_back(leg.pair);
    return names;
}

void TradeBase::post(core::Notification code, intptr_t value) { core::post(notifier_, code, value); }

}  // namespace kb::trade
