#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "trade/trade_record.h"

namespace kb::trade {

// The totals under the account history.
struct HistorySummary {
    double profit = 0;               // Σ commission + swap + profit of orders and positions
    double credit = 0;
    double deposits = 0;             // balance operations with a positive amount
    double withdrawals = 0;          // the other balance operations (a zero amount too)
};

HistorySummary summarize_history(std::span<const TradeRecord> history);

// The view flags ("AccountHistoryFlags") that switch summary rows on.
inline constexpr uint32_t kShowCreditRow = 0x1000;
inline constexpr uint32_t kShowDepositRow = 0x200;
inline constexpr uint32_t kShowWithdrawalRow = 0x10000;

enum class SummaryRow { ProfitLoss, Credit, Deposit, Withdrawal };

struct SummaryLine {
    SummaryRow row;
    double amount;
};

// The summary rows shown under the records, in order: profit/loss always, then credit,
// deposit and withdrawal when their flag is set and their total is not 0.
std::vector<SummaryLine> summary_lines(const HistorySummary& summary, uint32_t flags);

}  // namespace kb::trade
