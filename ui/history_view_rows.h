#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "trade/history_summary.h"
#include "trade/trade_record.h"

namespace kb::ui {

// The history view's flags, kept as "AccountHistoryFlags" in the "Window" section. The
// summary rows' bits are trade::kShowCreditRow, kShowDepositRow and kShowWithdrawalRow;
// fit and grid use the market watch's bits. Bits this view doesn't know are kept as
// stored and written back unchanged.
enum HistoryFlag : uint32_t {
    kHistoryFit = 8,
    kHistoryGrid = 16,
    kHistoryOpenPrice = 0x40000,
    kHistoryClosePrice = 0x80000,
};
inline constexpr uint32_t kDefaultHistoryFlags = 0x80018;
inline constexpr std::string_view kHistoryFlagsSetting = "AccountHistoryFlags";

enum class HistoryColumn { Record, OpenPrice, ClosePrice, Amount };

struct HistoryColumnSpec {
    HistoryColumn column;
    const char* title;
    int weight;   // share of the width when the columns are fitted
};

// The record text first, then the open and close prices when their flags are set, the
// amount last.
std::vector<HistoryColumnSpec> history_columns(uint32_t flags);

// One line of the list: a record (ticket above 0) or a summary row (ticket 0, no prices).
struct HistoryRow {
    int32_t ticket = 0;
    std::string text;
    std::string open_price;
    std::string close_price;
    std::string amount;
    std::string_view cell(HistoryColumn column) const;
};

// "buy 1.00 EURUSD" for orders and positions (type name, lots, symbol), "balance Deposit"
// for balance and credit operations (type name, comment).
std::string history_record_text(const trade::TradeRecord& record);

// The label of a summary row: "Profit/Loss:", "Credit:", "Deposit:" or "Withdrawal:".
std::string_view summary_row_label(trade::SummaryRow row);

// One row per record in the given order, then the summary rows the flags show (see
// trade::summary_lines). A trade's amount is its commission, swap and profit together, so
// the profit/loss row adds up the rows above it; money in money_decimals decimals (the
// deposit currency's, trade::deposit_digits), prices in each record's digits.
std::vector<HistoryRow> history_rows(std::span<const trade::TradeRecord> history, uint32_t flags, int money_decimals);

}  // namespace kb::ui
