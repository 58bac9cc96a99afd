#include "trade/history_summary.h"

namespace kb::trade {

HistorySummary summarize_history(std::span<const TradeRecord> history) {
    HistorySummary summary;
    for (const TradeRecord& record : history) {
        if (is_order_type(record.type)) {
            summary.profit += record.commission + record.swap + record.profit;
        } else if (record.type == kBalance) {
            (record.profit > 0 ? summary.deposits : summary.withdrawals) += record.profit;
        } else if (record.type == kCredit) {
            summary.credit += record.profit;
        }
    }
    return summary;
}

std::vector<SummaryLine> summary_lines(const HistorySummary& summary, uint32_t flags) {
    std::vector<SummaryLine> lines{{SummaryRow::ProfitLoss, summary.profit}};
    if ((flags & kShowCreditRow) && summary.credit != 0) lines.push_back({SummaryRow::Credit, summary.credit});
    if ((flags & kShowDepositRow) && summary.deposits != 0) lines.push_back({SummaryRow::Deposit, summary.deposits});
    if ((flags & kShowWithdrawalRow) && summary.withdrawals != 0)
        lines.push_back({SummaryRow::Withdrawal, summary.withdrawals});
    return lines;
}

}  // namespace kb::trade
