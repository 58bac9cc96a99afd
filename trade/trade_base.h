#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/notifications.h"
#include "market/market_listeners.h"
#include "market/symbols_base.h"
#include "net/protocol.h"
#include "trade/account_record.h"
#include "trade/currency_route.h"
#include "trade/history_summary.h"
#include "trade/margin.h"
#include "trade/trade_record.h"
#include "trade/trade_request.h"

namespace kb::core {
class Journal;
}
namespace kb::platform {
class Clock;
class Notifier;
}  // namespace kb::platform

namespace kb::trade {


// The account summary, in the deposit currency.
struct AccountSummary {
    double balance = 0;
    double credit = 0;
    double equity = 0;
    double margin = 0;
    double free_margin = 0;
    double profit = 0;               // floating: profit + commission + swap + taxes of positions
};

// An order as the margin computation sees it: its symbol, side (order types 0..5; the
// buy-side types count as buys), volume in hundredths of a lot (negative: that much of
// the side is closed) and price (0: the current ask for a buy, bid for a sell). Without a
// margin rate the rate of the symbol's margin currency is computed (margin_rate()).
struct HypotheticalOrder {
    std::string symbol;
    int32_t order_type = kBuy;
    int32_t volume = 0;
    double price = 0;
    std::optional<double> margin_rate;
};

// The account's margin and free margin now and as they would be with an order.
struct MarginProjection {
    double margin = 0;
    double free_margin = 0;
    double margin_after = 0;
    double free_margin_after = 0;
};

// A requote the server offered for a request, kept for the requote question.
struct Requote {
    TradeRequest request{};
    double bid = 0;
    double ask = 0;
    int32_t expiry = 0;              // arrival (clock's unix time) + 15 s
};

inline constexpr size_t kMaxRequotes = 64;
inline constexpr int32_t kRequoteLifetime = 15;

// Keeps the logged-in account, its open positions and pending orders (ordered by symbol
// name), its closed-trade history (ordered by ticket), the recent requotes and the
// account summary.
//
// Prices. Open trades are revalued from the Market Watch prices of the symbols base,
// which stores every quote after the spread difference before the session calls
// revalue(); reading them there gives the values of the packet's records without the
// symbols base handing anything across its lock. Profit conversion: a buy's multiplier
// is converted with the bid of a direct pair (profit currency first) or 1 / the ask of
// the inverted pair, a sell's with the ask or 1 / the bid: each side converts at the
// price it closes at. Pairs are tried as profit+deposit, deposit+profit, then through
// USD (profit+USD or USD+profit, then USD+deposit or deposit+USD), each name first with
// the traded symbol's suffix (its name from the 7th character on), then without.
// Pairs with no quote yet count as a rate of 0 (profit 0, request margin rate 0) until
// they are quoted; symbols the symbols base does not know keep the server's profit.
//
// Thread-safe: every operation takes the base's one lock and hands out copies. The
// symbols base is called while that lock is held; it never waits for this base while
// holding its own (its hide operations ask symbols_in_use() before taking it). Lock
// order: core/lock_order.h.
class TradeBase final : public market::SymbolUsage {
public:
    // symbols, journal and notifier may be null (no prices, no lines, no notifications).
    // None is owned; all must outlive the base.
    TradeBase(market::SymbolsBase* symbols, core::Journal* journal, platform::Notifier* notifier,
              platform::Clock& clock);
    ~TradeBase() override;
    TradeBase(const TradeBase&) = delete;
    TradeBase& operator=(const TradeBase&) = delete;

    // Empties the account, open trades, history and requotes.
    void clear();
    // Clears, then posts Trades and AccountHistory (Changed): a request met a record of
    // another login.
    void clear_for_other_login();

    // Takes the account's fields and group, and replaces the open trades; recomputes.
    void set_account(const AccountData& account, std::span<const TradeRecord> open_trades);
    // The account group's settings pushed while connected; recomputes, and reads the
    // symbols again at the next revaluation.
    void set_group(const market::GroupRecord& group);
    AccountRecord account() const;
    std::string group_name() const;
    // Decimals of money in the account's deposit currency (deposit_digits).
    int deposit_decimals() const;
    // The account data's news setting (kNewsOff before a login).
    int32_t news_setting() const;
    void set_investor_mode(bool investor);
    bool investor_mode() const;

    // Replaces the history, ordered by ticket. False ("TradeBase: not enough memory for
    // history") when it can't be stored; the old history stays.
    bool set_history(std::span<const TradeRecord> records);
    // Replaces the record of the same ticket or inserts it in ticket order. False ("TradeBase:
    // not enough memory for trade") when it can't be stored.
    bool add_to_history(const TradeRecord& record);
    // Replaces the open trade of the same ticket or adds it. False as add_to_history.
    bool add_open_trade(const TradeRecord& record);
    // Removes the open trade of the record's ticket; false when there is none.
    bool delete_open_trade(const TradeRecord& record);
    // Overwrites the open trade of the record's ticket; false when there is none.
    bool update_open_trade(const TradeRecord& record);

    // Applies transactions in order (types other than add, delete and update are
    // journaled and skipped), recomputes and posts Trades, Symbols and TransactionsApplied (0),
    // and AccountHistory (Changed)
    // when the history changed. False when a record could not be stored.
    bool apply_transactions(std::span<const TradeTransaction> transactions);

    // Writes the current prices into the open trades, recomputes the positions' profit
    // and the summary. Returns the number of open trades that got a price.
    int revalue();
    // Takes the symbols' changed settings (symbol updates), then revalues.
    void refresh_symbols();
    // The summary with margin and free margin recomputed.
    AccountSummary recompute();
    // The margin and free margin now and with the order.
    MarginProjection project(const HypotheticalOrder& order);
    // The local margin test of an opening order: NotEnoughMoney when the free margin after
    // it, plus the group's margin allowance, is below 0, unless the order lowers the margin
    // and the symbol's margin flag is 0; else Ok.
    net::ReturnCode margin_test(const HypotheticalOrder& order);
    // The same test for a request: an opening kind is an order of the request's type,
    // volume and price; a close kind takes its volume away from the ticket's position (Ok
    // when the ticket is not open); other kinds pass (Ok).
    net::ReturnCode margin_test(const TradeRequest& request);
    // The rate that converts the order's symbol's margin currency into the deposit
    // currency (0 when no pair connects them or a pair has no quote yet).
    double margin_rate(const HypotheticalOrder& order);

    // The local test of a request before it is sent: the first failing rule's code (see
    // check_request), Ok when it may be sent. A ticket of another login clears the base
    // (clear_for_other_login). Not while holding the base's lock: the margin test takes it.
    net::ReturnCode test_request(TradeRequest& request);

    // Lookups; all copies.
    std::optional<TradeRecord> open_trade_by_ticket(int32_t ticket) const;
    std::optional<TradeRecord> open_trade_at(size_t position) const;
    // The first buy or sell of the symbol.
    std::optional<TradeRecord> first_position(std::string_view symbol) const;
    std::optional<TradeRecord> history_at(size_t position) const;
    size_t open_trade_count() const;
    size_t history_count() const;
    std::vector<TradeRecord> open_trades() const;
    std::vector<TradeRecord> history() const;
    AccountSummary summary() const;
    HistorySummary history_summary() const;
    std::optional<market::SymbolPrices> prices(std::string_view symbol) const;

    // Keeps a requote; the 65th pushes out the oldest.
    void add_requote(const TradeRequest& request, double bid, double ask);
    std::vector<Requote> requotes() const;

    // False when a pending order's expiration lies less than 600 s after the newest
    // quote time; true for later times and for 0 or less (no expiration).
    bool expiration_allowed(int32_t expiration) const;

    // The symbols of the open trades and the pairs that convert their profit (the symbols
    // base keeps them selected).
    std::vector<std::string> symbols_in_use() override;

private:
    struct TradedSymbol;

    void clear_locked();
    bool store_open_trade_locked(const TradeRecord& record);
    bool store_history_locked(const TradeRecord& record);
    void refresh_symbols_locked();
    void select_route_locked(const ConversionRoute& route);
    int revalue_locked();
    void recompute_locked(const HypotheticalOrder* order, MarginProjection* projection);
    double margin_of_locked(const HypotheticalOrder* order);
    void add_order_locked(const market::SymbolRecord& symbol, const HypotheticalOrder& order, SideSums& buys,
                          SideSums& sells);
    double free_margin_for(double margin, double profit) const;
    double margin_rate_locked(const market::SymbolRecord& symbol, const HypotheticalOrder& order);
    std::string_view deposit_currency_locked() const;
    bool symbol_exists(std::string_view name) const;
    std::optional<market::SymbolPrices> pair_prices_locked(std::string_view name) const;
    void post(core::Notification code, intptr_t value);

    mutable std::mutex lock_;
    market::SymbolsBase* const symbols_;
    core::Journal* const journal_;
    platform::Notifier* const notifier_;
    platform::Clock& clock_;

    AccountRecord account_{};
    AccountSummary summary_;
    bool investor_ = false;
    std::vector<TradeRecord> open_trades_;          // ordered by symbol name, then ticket
    std::vector<TradeRecord> history_;              // ordered by ticket
    std::deque<Requote> requotes_;
    std::vector<TradedSymbol> traded_;              // one per symbol of open_trades_, same order
    bool symbols_stale_ = true;
};

}  // namespace kb::trade
