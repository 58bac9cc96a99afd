#include <gtest/gtest.h>

// Before any Qt header: the configuration has a member that Qt's "slots" macro would rename.
#include "core/terminal.h"

#include <QAction>
#include <QTableWidget>
#include <cstring>

#include "core/settings_store.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "trade/trade_request.h"
#include "ui/trade_dialog.h"
#include "ui/trade_flags.h"
#include "ui/trade_view.h"

namespace kb::ui {
namespace {

trade::TradeRecord record(int32_t ticket, int32_t type, double profit = 0) {
    trade::TradeRecord r{};
    r.ticket = ticket;
    r.type = type;
    std::strcpy(r.symbol, "EURUSD");
    r.digits = 5;
    r.volume = 150;
    r.open_price = 1.1;
    r.close_price = 1.10025;
    r.profit = profit;
    return r;
}

std::vector<TradeColumn> columns_of(uint32_t flags) {
    std::vector<TradeColumn> out;
    for (const TradeColumnSpec& layout : trade_columns(flags)) out.push_back(layout.column);
    return out;
}

TEST(TradeFlags, TheFlagsChooseTheOptionalColumns) {
    using enum TradeColumn;
    struct Case {
        uint32_t flags;
        std::vector<TradeColumn> columns;
    };
    const Case cases[] = {
        {0, {Order, Type, Lots, Symbol, Price, Current, Profit}},
        {kDefaultTradesFlags, {Order, Type, Lots, Symbol, Price, StopLoss, TakeProfit, Current, Profit}},
        {kTradesCommission, {Order, Type, Lots, Symbol, Price, Current, Commission, Swap, Profit}},
    };
    for (const Case& c : cases) EXPECT_EQ(columns_of(c.flags), c.columns) << c.flags;
}

TEST(TradeFlags, CellsOfAPositionAndOfAPendingOrder) {
    const trade::TradeRecord buy = record(7, trade::kBuy, -1234.5);
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Order, 2), "7");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Type, 2), "buy");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Lots, 2), "1.50");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Symbol, 2), "EURUSD");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Price, 2), "1.10000");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Current, 2), "1.10025");
    EXPECT_EQ(trade_cell_text(buy, TradeColumn::Profit, 2), "-1 234.50");
    EXPECT_EQ(trade_cell_text(record(8, trade::kSellLimit, 99), TradeColumn::Profit, 2), "") << "pending: no profit";
}

TEST(TradeFlags, PositionsAreListedBeforePendingOrdersInTheBasesOrder) {
    const std::vector<trade::TradeRecord> listed = listed_trades(
        {record(1, trade::kBuyStop), record(2, trade::kSell), record(3, trade::kSellLimit), record(4, trade::kBuy)});
    std::vector<int32_t> tickets;
    for (const trade::TradeRecord& r : listed) tickets.push_back(r.ticket);
    EXPECT_EQ(tickets, (std::vector<int32_t>{2, 4, 1, 3}));
}

TEST(TradeFlags, TheCreditLineOnlyWithCredit) {
    trade::AccountSummary summary{5000, 0, 4990.5, 110, 4880.5, -9.5};
    EXPECT_EQ(summary_lines(summary, 2), (std::vector<std::string>{"Balance: 5 000.00", "Equity: 4 990.50",
                                                                "Margin: 110.00", "Free margin: 4 880.50",
                                                                "Profit: -9.50"}));
    summary.credit = 250;
    EXPECT_EQ(summary_lines(summary, 2)[1], "Credit: 250.00");
}

TEST(TradeFlags, MoneyInTheDepositCurrencysDecimals) {
    trade::TradeRecord buy = record(7, trade::kBuy, -1234.5);
    buy.commission = -3.25;
    buy.swap = 0.75;
    struct Case {
        int decimals;
        const char* profit;
        const char* commission;
        const char* swap;
        const char* margin_line;
    };
    const Case cases[] = {
        {2, "-1 234.50", "-3.25", "0.75", "Margin: 110.25"},
        // Half away from zero: -1234.5 yen shows as -1 235, 0.75 as 1.
        {0, "-1 235", "-3", "1", "Margin: 110"},
    };
    const trade::AccountSummary summary{5000, 0, 4990.5, 110.25, 4880.5, -9.5};
    for (const Case& c : cases) {
        EXPECT_EQ(trade_cell_text(buy, TradeColumn::Profit, c.decimals), c.profit) << c.decimals;
        EXPECT_EQ(trade_cell_text(buy, TradeColumn::Commission, c.decimals), c.commission) << c.decimals;
        EXPECT_EQ(trade_cell_text(buy, TradeColumn::Swap, c.decimals), c.swap) << c.decimals;
        EXPECT_EQ(trade_cell_text(buy, TradeColumn::Price, c.decimals), "1.10000") << "prices keep the symbol's digits";
        EXPECT_EQ(summary_lines(summary, c.decimals)[2], c.margin_line) << c.decimals;
    }
}

TEST(TradeDialogPrice, EachSideTradesAtThePriceItDealsAt) {
    struct Case {
        uint8_t kind;
        int16_t order_type;
        double price;
    };
    const Case cases[] = {
        {trade::kInstantOrder, trade::kBuy, 1.2}, {trade::kInstantOrder, trade::kSell, 1.1},
        {trade::kOrderByRequest, trade::kBuy, 1.2}, {trade::kInstantClose, trade::kBuy, 1.1},
        {trade::kCloseByRequest, trade::kSell, 1.2},
    };
    for (const Case& c : cases) {
        trade::TradeRequest request{};
        request.kind = c.kind;
        request.order_type = c.order_type;
        EXPECT_EQ(trading_price(request, 1.1, 1.2), c.price) << int{c.kind} << " " << c.order_type;
    }
}

struct TradeViewFlags : ::testing::Test {
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    std::string settings_path = home.file("settings");
    core::Terminal terminal{home.path(), clock, settings_path};

    int32_t stored() { return core::SettingsStore(settings_path).read_number("Window", "TradesFlags", -1); }
};

TEST_F(TradeViewFlags, WrittenBackOnlyWhenChanged) {
    { TradeView view(terminal); }
    EXPECT_EQ(stored(), -1) << "unchanged defaults are not written";
    {
        TradeView view(terminal);
        EXPECT_EQ(view.flags(), kDefaultTradesFlags);
        view.toggle_flags(kTradesGrid);
        EXPECT_FALSE(view.table()->showGrid());
        for (QAction* action : view.table()->actions()) {
            if (action->text() == "Grid") {
                EXPECT_FALSE(action->isChecked()) << "the menu follows the flags";
            }
        }
    }
    EXPECT_EQ(stored(), static_cast<int32_t>(kDefaultTradesFlags & ~kTradesGrid));
    TradeView reopened(terminal);
    EXPECT_EQ(reopened.flags(), kDefaultTradesFlags & ~kTradesGrid);
}

TEST_F(TradeViewFlags, WithoutATradeBaseTheMenuCommandsDoNothing) {
    TradeView view(terminal);
    EXPECT_EQ(view.row_count(), 0);
    EXPECT_EQ(view.open_order_dialog("EURUSD"), nullptr);
    EXPECT_EQ(view.open_close_dialog(), nullptr);
    EXPECT_EQ(view.delete_selected(), net::ReturnCode::InvalidParameters);
    EXPECT_EQ(view.close_by_selected(5), net::ReturnCode::InvalidParameters);
}

}  // namespace
}  // namespace kb::ui
