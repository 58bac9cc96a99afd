#include "ui/history_view_rows.h"

#include "core/fixed_text.h"
#include "core/number_format.h"
#include "trade/request_journal.h"

namespace kb::ui {
namespace {

constexpr size_t kMoneyBuffer = 32;

std::string money(double value, int decimals) { return core::money_text(value, decimals, kMoneyBuffer); }

}  // namespace

std::vector<HistoryColumnSpec> history_columns(uint32_t flags) {
    std::vector<HistoryColumnSpec> columns = {{HistoryColumn::Record, "Order", 50}};
    if (flags & kHistoryOpenPrice) columns.push_back({HistoryColumn::OpenPrice, "Open", 20});
    if (flags & kHistoryClosePrice) columns.push_back({HistoryColumn::ClosePrice, "Close", 20});
    columns.push_back({HistoryColumn::Amount, "Profit", 25});
    return columns;
}

std::string_view HistoryRow::cell(HistoryColumn column) const {
    switch (column) {
        case HistoryColumn::Record: return text;
        case HistoryColumn::OpenPrice: return open_price;
        case HistoryColumn::ClosePrice: return close_price;
        case HistoryColumn::Amount: return amount;
    }
    return {};
}

std::string history_record_text(const trade::TradeRecord& record) {
    std::string text = trade::order_type_name(record.type);
    if (trade::is_order_type(record.type))
        return text + " " + core::fixed_text(record.volume / 100.0, 2) + " " + std::string(core::field_text(record.symbol));
    return text + " " + std::string(core::field_text(record.comment));
}

std::string_view summary_row_label(trade::SummaryRow row) {
    switch (row) {
        case trade::SummaryRow::ProfitLoss: return "Profit/Loss:";
        case trade::SummaryRow::Credit: return "Credit:";
        case trade::SummaryRow::Deposit: return "Deposit:";
        case trade::SummaryRow::Withdrawal: return "Withdrawal:";
    }
    return {};
}

std::vector<HistoryRow> history_rows(std::span<const trade::TradeRecord> history, uint32_t flags, int money_decimals) {
    std::vector<HistoryRow> rows;
    rows.reserve(history.size() + 4);
    for (const trade::TradeRecord& record : history) {
        HistoryRow row;
        row.ticket = record.ticket;
        row.text = history_record_text(record);
        if (trade::is_order_type(record.type)) {
            row.open_price = core::price_text(record.open_price, record.digits);
            row.close_price = core::price_text(record.close_price, record.digits);
            row.amount = money(record.commission + record.swap + record.profit, money_decimals);
        } else {
            row.amount = money(record.profit, money_decimals);
        }
        rows.push_back(std::move(row));
    }
    for (const trade::SummaryLine& line : trade::summary_lines(trade::summarize_history(history), flags)) {
        HistoryRow row;
        row.text = summary_row_label(line.row);
        row.amount = money(line.amount, money_decimals);
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace kb::ui
