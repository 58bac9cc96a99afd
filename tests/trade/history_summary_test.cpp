#include "trade/history_summary.h"

#include <gtest/gtest.h>

namespace kb::trade {
namespace {

TradeRecord closed(int32_t type, double profit, double commission = 0, double swap = 0) {
    TradeRecord record{};
    record.type = type;
    record.profit = profit;
    record.commission = commission;
    record.swap = swap;
    return record;
}

TEST(HistorySummary, SumsTradesDepositsWithdrawalsAndCredit) {
    const TradeRecord history[] = {
        closed(kBuy, 100, -7, -1.5), closed(kSell, -40), closed(kBuyLimit, 0, -2), closed(kBalance, 5000),
        closed(kBalance, -1200),     closed(kBalance, 0), closed(kCredit, 300),   closed(kCredit, -100),
        closed(9, 1000),
    };
    const HistorySummary summary = summarize_history(history);
    EXPECT_DOUBLE_EQ(summary.profit, 100 - 7 - 1.5 - 40 - 2);
    EXPECT_EQ(summary.deposits, 5000);
    EXPECT_EQ(summary.withdrawals, -1200);
    EXPECT_EQ(summary.credit, 200);
}

TEST(HistorySummary, RowsFollowTheirFlagsAndHideZeroTotals) {
    const uint32_t all = kShowCreditRow | kShowDepositRow | kShowWithdrawalRow;
    auto rows = [](const HistorySummary& summary, uint32_t flags) {
        std::vector<SummaryRow> result;
        for (const SummaryLine& line : summary_lines(summary, flags)) result.push_back(line.row);
        return result;
    };
    using R = SummaryRow;
    EXPECT_EQ(rows({10, 5, 100, -50}, all), (std::vector<R>{R::ProfitLoss, R::Credit, R::Deposit, R::Withdrawal}));
    EXPECT_EQ(rows({10, 0, 100, -50}, all), (std::vector<R>{R::ProfitLoss, R::Deposit, R::Withdrawal}))
        << "the credit row is hidden at 0 even with its flag";
    EXPECT_EQ(rows({0, 5, 100, -50}, 0), (std::vector<R>{R::ProfitLoss})) << "profit/loss always, even at 0";
    EXPECT_EQ(rows({0, 5, 100, -50}, kShowCreditRow), (std::vector<R>{R::ProfitLoss, R::Credit}));
    EXPECT_EQ(rows({0, 5, 100, 0}, all), (std::vector<R>{R::ProfitLoss, R::Credit, R::Deposit}));
    EXPECT_EQ(summary_lines({0, 5, 100, -50}, 0x80018).size(), 1u) << "the default view flags show no extra row";
    EXPECT_EQ(summary_lines({12.5, 5, 100, -50}, all)[3].amount, -50);
}

}  // namespace
}  // namespace kb::trade
