#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trade/trade_base.h"
#include "trade/trade_record.h"

namespace kb::ui {

// The trade view's flags, kept as "TradesFlags" in the "Window" section. Fit, grid and
// header hidden use the market watch's bits; the bits this view doesn't know are kept
// as stored and written back unchanged.
enum TradesFlag : uint32_t {
    kTradesStops = 512,          // stop loss and take profit columns
    kTradesFit = 8,
    kTradesGrid = 16,
    kTradesCommission = 1024,    // commission and swap columns
    kTradesNoHeader = 131072,
};
inline constexpr uint32_t kDefaultTradesFlags = 541208;
inline constexpr std::string_view kTradesFlagsSetting = "TradesFlags";

enum class TradeColumn { Order, Type, Lots, Symbol, Price, StopLoss, TakeProfit, Current, Commission, Swap, Profit };

struct TradeColumnSpec {
    TradeColumn column;
    const char* title;
    int weight;                  // share of the width when the columns are fitted
};

// The columns the flags show: Order, Type, Lots, Symbol, Price, then S/L and T/P,
// the current price, commission and swap, and the profit last.
std::vector<TradeColumnSpec> trade_columns(uint32_t flags);

// The text of one cell of an open trade; money in money_decimals decimals (the deposit
// currency's, trade::deposit_digits). Pending orders show no profit.
std::string trade_cell_text(const trade::TradeRecord& record, TradeColumn column, int money_decimals);

// The open trades as the view lists them: positions first, then pending orders, each
// in the trade base's order (by symbol, then ticket).
std::vector<trade::TradeRecord> listed_trades(std::vector<trade::TradeRecord> trades);

// One line of the account summary: "Balance: 5 000.00" and so on, in money_decimals
// decimals; the credit line only when the account has credit.
std::vector<std::string> summary_lines(const trade::AccountSummary& summary, int money_decimals);

}  // namespace kb::ui
