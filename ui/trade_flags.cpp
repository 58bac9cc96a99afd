#include "ui/trade_flags.h"

#include <algorithm>

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "trade/request_journal.h"

namespace kb::ui {
namespace {

constexpr size_t kMoneyBuffer = 32;

std::string money(double value, int decimals) { return core::money_text(value, decimals, kMoneyBuffer); }

}  // namespace

std::vector<TradeColumnSpec> trade_columns(uint32_t flags) {
    std::vector<TradeColumnSpec> columns = {{TradeColumn::Order, "Order", 20},
                                            {TradeColumn::Type, "Type", 20},
                                            {TradeColumn::Lots, "Lots", 15},
                                            {TradeColumn::Symbol, "Symbol", 20},
                                            {TradeColumn::Price, "Price", 20}};
    if (flags & kTradesStops) {
        columns.push_back({TradeColumn::StopLoss, "S/L", 20});
        columns.push_back({TradeColumn::TakeProfit, "T/P", 20});
    }
    columns.push_back({TradeColumn::Current, "Current", 20});
    if (flags & kTradesCommission) {
        columns.push_back({TradeColumn::Commission, "Commission", 20});
        columns.push_back({TradeColumn::Swap, "Swap", 15});
    }
    columns.push_back({TradeColumn::Profit, "Profit", 20});
    return columns;
}

std::string trade_cell_text(const trade::TradeRecord& record, TradeColumn column, int money_decimals) {
    switch (column) {
        case TradeColumn::Order: return std::to_string(record.ticket);
        case TradeColumn::Type: return trade::order_type_name(record.type);
        case TradeColumn::Lots: return core::fixed_text(record.volume / 100.0, 2);
        case TradeColumn::Symbol: return std::string(core::field_text(record.symbol));
        case TradeColumn::Price: return core::price_text(record.open_price, record.digits);
        case TradeColumn::StopLoss: return core::price_text(record.stop_loss, record.digits);
        case TradeColumn::TakeProfit: return core::price_text(record.take_profit, record.digits);
        case TradeColumn::Current: return core::price_text(record.close_price, record.digits);
        case TradeColumn::Commission: return money(record.commission, money_decimals);
        case TradeColumn::Swap: return money(record.swap, money_decimals);
        case TradeColumn::Profit: return trade::is_position(record.type) ? money(record.profit, money_decimals) : std::string();
    }
    return {};
}

std::vector<trade::TradeRecord> listed_trades(std::vector<trade::TradeRecord> trades) {
    std::stable_partition(trades.begin(), trades.end(),
                          [](const trade::TradeRecord& record) { return trade::is_position(record.type); });
    return trades;
}

std::vector<std::string> summary_lines(const trade::AccountSummary& summary, int money_decimals) {
    std::vector<std::string> lines = {"Balance: " + money(summary.balance, money_decimals)};
    if (summary.credit != 0) lines.push_back("Credit: " + money(summary.credit, money_decimals));
    lines.push_back("Equity: " + money(summary.equity, money_decimals));
    lines.push_back("Margin: " + money(summary.margin, money_decimals));
    lines.push_back("Free margin: " + money(summary.free_margin, money_decimals));
    lines.push_back("Profit: " + money(summary.profit, money_decimals));
    return lines;
}

}  // namespace kb::ui
