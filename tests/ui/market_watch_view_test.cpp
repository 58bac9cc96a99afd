#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>
#include <string>
#include <vector>

#include "core/number_format.h"
#include "core/terminal.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/main_window.h"
#include "ui/market_watch_view.h"
#include "ui/symbols_dialog.h"

namespace kb::ui {
namespace {

using market::testing::make_symbol;
using market::testing::make_tick;

constexpr int32_t kUnset = -1;
constexpr int32_t kQuoteTime = 1'704'104'100;   // 2024-01-01 10:15

struct FixedUsage final : market::SymbolUsage {
    std::vector<std::string> names;
    std::vector<std::string> symbols_in_use() override { return names; }
};

class MarketWatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    // count symbols "S000".. with symbol indexes 0.., all in the selection, shown.
    market::SymbolsBase& make_base(size_t count) {
        std::vector<market::SymbolRecord> records;
        std::vector<std::string> names;
        for (size_t i = 0; i < count; ++i) {
            char name[24];
            std::snprintf(name, sizeof name, "S%03zu", i);
            records.push_back(make_symbol(name, static_cast<int32_t>(i), 5, static_cast<int32_t>(i)));
            records.back().row_colour = 0x00FFFFFF;
            records.back().display_flag = 1;
            names.emplace_back(name);
        }
        market::SymbolsBase* base =
            core::create_service(terminal.services().symbols_base, home.path(), "Alpha", nullptr, nullptr);
        base->set_usage_sources(&trades, nullptr);
        base->replace_symbols(records);
        base->set_selection(names);
        return *base;
    }

    int32_t stored_flags() { return terminal.settings().read_number(core::kSectionWindow, "MarketWatchFlags", kUnset); }

    static QStringList headers(const MarketWatchView& view) {
        QStringList out;
        for (int c = 0; c < view.columnCount(); ++c) out << view.horizontalHeaderItem(c)->text();
        return out;
    }
    static QStringList row_names(const MarketWatchView& view) {
        QStringList out;
        for (int r = 0; r < view.rowCount(); ++r) out << view.item(r, 0)->text();
        return out;
    }
    static QAction* action(QMenu& menu, const QString& text) {
        for (QAction* a : menu.actions())
            if (a->text() == text) return a;
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal{home.path(), clock, home.file("settings")};
    FixedUsage trades;
};

TEST(MarketWatchFlags, ColumnsFollowTheFlags) {
    const std::pair<uint32_t, std::vector<MarketWatchColumn>> cases[] = {
        {24, {MarketWatchColumn::Symbol, MarketWatchColumn::Bid, MarketWatchColumn::Ask}},
        {1, {MarketWatchColumn::Symbol, MarketWatchColumn::Bid, MarketWatchColumn::Ask, MarketWatchColumn::High}},
        {6, {MarketWatchColumn::Symbol, MarketWatchColumn::Bid, MarketWatchColumn::Ask, MarketWatchColumn::Low,
             MarketWatchColumn::Time}},
        {7 | 131072, {MarketWatchColumn::Symbol, MarketWatchColumn::Bid, MarketWatchColumn::Ask,
                      MarketWatchColumn::High, MarketWatchColumn::Low, MarketWatchColumn::Time}},
    };
    for (const auto& [flags, expected] : cases) {
        std::vector<MarketWatchColumn> columns;
        for (const MarketWatchColumnSpec& layout : market_watch_columns(flags)) columns.push_back(layout.column);
        EXPECT_EQ(columns, expected) << flags;
    }
}

TEST(MarketWatchFlags, HighLowTogglesBothColumnsTogether) {
    const std::pair<uint32_t, uint32_t> cases[] = {{24, 27}, {27, 24}, {25, 27}, {26, 27}, {31, 28}};
    for (auto [before, after] : cases) EXPECT_EQ(toggle_high_low(before), after) << before;
}

TEST(MarketWatchFlags, FittedWidthsFollowTheWeightsAndTheLastTakesTheRest) {
    const std::vector<MarketWatchColumnSpec> three = market_watch_columns(24);
    EXPECT_EQ(fitted_column_widths(three, 170), (std::vector<int>{70, 50, 50}));
    EXPECT_EQ(fitted_column_widths(three, 173), (std::vector<int>{71, 50, 52}));
    const std::vector<MarketWatchColumnSpec> six = market_watch_columns(7);
    EXPECT_EQ(fitted_column_widths(six, 300), (std::vector<int>{65, 46, 46, 46, 46, 51}));
}

TEST(MarketWatchFlags, QuoteTimeIsHourAndMinute) {
    const std::pair<int32_t, const char*> cases[] = {{kQuoteTime, "10:15"}, {0, "00:00"}, {86399, "23:59"}, {-1, "n/a"}};
    for (auto [time, text] : cases) EXPECT_EQ(quote_time_text(time), text) << time;
}

TEST_F(MarketWatchTest, DefaultFlagsShowSymbolBidAskFittedWithGridAndHeaderAndAreNotWrittenBack) {
    make_base(3);
    {
        MarketWatchView view(terminal);
        view.resize(300, 200);
        view.show();
        EXPECT_EQ(view.flags(), 24u);
        EXPECT_EQ(headers(view), (QStringList{"Symbol", "Bid", "Ask"}));
        EXPECT_TRUE(view.showGrid());
        EXPECT_FALSE(view.horizontalHeader()->isHidden());
        int total = 0;
        for (int c = 0; c < view.columnCount(); ++c) total += view.columnWidth(c);
        EXPECT_EQ(total, view.viewport()->width());
        EXPECT_EQ(view.columnWidth(0), view.viewport()->width() * 35 / 85);
    }
    EXPECT_EQ(stored_flags(), kUnset) << "unchanged flags are not written";
}

TEST_F(MarketWatchTest, ChangedFlagsAreWrittenAtDestructionAndReadByTheNextView) {
    make_base(1);
    {
        MarketWatchView view(terminal);
        view.run_command(MarketWatchCommand::Time);
        view.run_command(MarketWatchCommand::Header);
        view.run_command(MarketWatchCommand::Grid);
        EXPECT_TRUE(view.horizontalHeader()->isHidden());
        EXPECT_FALSE(view.showGrid());
        EXPECT_EQ(stored_flags(), kUnset) << "written only when the view goes";
    }
    EXPECT_EQ(stored_flags(), 8 + 4 + 131072);
    MarketWatchView next(terminal);
    EXPECT_EQ(headers(next), (QStringList{"Symbol", "Bid", "Ask", "Time"}));
    EXPECT_TRUE(next.horizontalHeader()->isHidden());
}

TEST_F(MarketWatchTest, HighLowShowsBothColumnsThenHidesBoth) {
    make_base(1);
    MarketWatchView view(terminal);
    view.run_command(MarketWatchCommand::HighLow);
    EXPECT_EQ(headers(view), (QStringList{"Symbol", "Bid", "Ask", "High", "Low"}));
    EXPECT_NE(view.item(0, view.column_of(MarketWatchColumn::High)), nullptr) << "filled again";
    view.run_command(MarketWatchCommand::HighLow);
    EXPECT_EQ(headers(view), (QStringList{"Symbol", "Bid", "Ask"}));
    EXPECT_EQ(view.flags(), 24u);
}

TEST_F(MarketWatchTest, BurstOf100UpdatesIsDrawnInFourCollections) {
    market::SymbolsBase& base = make_base(100);
    MarketWatchView view(terminal);
    ASSERT_EQ(view.rowCount(), 100);
    EXPECT_EQ(view.refresh(), 0u) << "the fill drew everything";

    std::vector<market::TickRecord> ticks;
    for (uint16_t i = 0; i < 100; ++i) ticks.push_back(make_tick(i, kQuoteTime, 1.0f + i / 1024.0f, 1.5f + i / 1024.0f));
    base.add_quotes(ticks);
    EXPECT_EQ(view.refresh(), 4u);
    const int bid = view.column_of(MarketWatchColumn::Bid);
    for (int row = 0; row < 100; ++row) {
        std::optional<market::SelectedSymbol> entry = base.selected_at(static_cast<size_t>(row));
        ASSERT_TRUE(entry);
        EXPECT_EQ(view.item(row, bid)->text().toStdString(), core::price_text(entry->bid, 5)) << row;
        EXPECT_NE(entry->bid, 0.0);
    }
    EXPECT_EQ(view.refresh(), 0u);
}

TEST_F(MarketWatchTest, RowsAreTheShownEntriesInSelectionOrder) {
    market::SymbolsBase& base = make_base(4);
    const std::vector<std::string> order = {"S003", "S000", "S002"};
    base.set_selection(order);
    ASSERT_TRUE(base.ensure_selected("S001")) << "kept for a trade, not shown";
    MarketWatchView view(terminal);
    EXPECT_EQ(row_names(view), (QStringList{"S003", "S000", "S002"}));
    EXPECT_EQ(view.row_of("S001"), -1);
    base.select("S001", market::Shown::Yes, market::Save::No);
    view.fill();
    EXPECT_EQ(row_names(view), (QStringList{"S003", "S000", "S002", "S001"}));
}

TEST_F(MarketWatchTest, RowsTakeTheSymbolColourGreyedNamesAndDirectionColours) {
    std::vector<market::SymbolRecord> records = {make_symbol("EURUSD", 1, 5, 1), make_symbol("XAUUSD", 2, 2, 2)};
    records[0].row_colour = 0x0080C0FF;   // orange-ish, red in the low byte
    records[0].display_flag = 1;
    records[1].row_colour = 0x00FFFFFF;
    records[1].display_flag = 0;
    market::SymbolsBase* base = core::create_service(terminal.services().symbols_base, home.path(), "Alpha", nullptr, nullptr);
    base->replace_symbols(records);
    MarketWatchView view(terminal);
    view.run_command(MarketWatchCommand::Time);
    const int eur = view.row_of("EURUSD"), xau = view.row_of("XAUUSD");
    ASSERT_GE(eur, 0);
    ASSERT_GE(xau, 0);
    EXPECT_EQ(view.item(eur, 0)->background().color(), QColor(0xFF, 0xC0, 0x80));
    EXPECT_EQ(view.item(eur, 0)->foreground().color(), view.palette().color(QPalette::Text));
    EXPECT_EQ(view.item(xau, 0)->foreground().color(), view.palette().color(QPalette::Dark)) << "greyed";

    std::vector<market::TickRecord> first = {make_tick(1, kQuoteTime, 1.1f, 1.2f), make_tick(2, kQuoteTime, 2050.f, 2051.f)};
    base->add_quotes(first);
    std::vector<market::TickRecord> second = {make_tick(1, kQuoteTime + 60, 1.2f, 1.3f),
                                              make_tick(2, kQuoteTime + 60, 2040.f, 2041.f)};
    base->add_quotes(second);
    view.refresh();
    const int bid = view.column_of(MarketWatchColumn::Bid), ask = view.column_of(MarketWatchColumn::Ask);
    const int time = view.column_of(MarketWatchColumn::Time);
    EXPECT_EQ(view.item(eur, bid)->foreground().color(), QColor(0, 0, 255)) << "rise: blue";
    EXPECT_EQ(view.item(eur, ask)->foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(view.item(xau, bid)->foreground().color(), QColor(255, 0, 0)) << "fall: red";
    EXPECT_EQ(view.item(xau, bid)->text(), "2040.00");
    EXPECT_EQ(view.item(eur, time)->text(), "10:16");
    // Only prices take the direction's colour.
    EXPECT_EQ(view.item(eur, time)->foreground().color(), view.palette().color(QPalette::Text));
    EXPECT_EQ(view.item(xau, time)->foreground().color(), view.palette().color(QPalette::Text));
}

TEST_F(MarketWatchTest, MenuEntriesAreEnabledAndCheckedByTheViewsState) {
    market::SymbolsBase& base = make_base(2);
    MarketWatchView view(terminal);
    const QStringList order = {"New Order", "Chart Window", "Hide", "Hide All", "Show All", "Symbols...",
                               "Arrange",   "High/Low",     "Time", "Header",   "Grid"};
    {
        QMenu* menu = view.build_menu(&view);
        QStringList texts;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text();
        EXPECT_EQ(texts, order);
        EXPECT_FALSE(action(*menu, "New Order")->isEnabled()) << "no order dialog yet";
        EXPECT_FALSE(action(*menu, "Chart Window")->isEnabled());
        EXPECT_FALSE(action(*menu, "Hide")->isEnabled());
        EXPECT_TRUE(action(*menu, "Hide All")->isEnabled());
        EXPECT_TRUE(action(*menu, "Arrange")->isChecked());
        EXPECT_FALSE(action(*menu, "High/Low")->isChecked());
        EXPECT_FALSE(action(*menu, "Time")->isChecked());
        EXPECT_TRUE(action(*menu, "Header")->isChecked());
        EXPECT_TRUE(action(*menu, "Grid")->isChecked());
        delete menu;
    }
    std::vector<std::pair<std::string, intptr_t>> opened;
    view.set_order_dialog_opener([&](const std::string& symbol, intptr_t kind) { opened.emplace_back(symbol, kind); });
    view.selectRow(1);
    view.run_command(MarketWatchCommand::Header);
    QMenu* menu = view.build_menu(&view);
    EXPECT_TRUE(action(*menu, "New Order")->isEnabled());
    EXPECT_FALSE(action(*menu, "Chart Window")->isEnabled()) << "no chart view yet";
    EXPECT_TRUE(action(*menu, "Hide")->isEnabled());
    EXPECT_FALSE(action(*menu, "Header")->isChecked());
    action(*menu, "New Order")->trigger();
    EXPECT_EQ(opened, (std::vector<std::pair<std::string, intptr_t>>{{"S001", 0}}));
    delete menu;

    base.hide_all_not_in_use();
    view.fill();
    menu = view.build_menu(&view);
    EXPECT_FALSE(action(*menu, "Hide All")->isEnabled()) << "empty list";
    EXPECT_FALSE(action(*menu, "New Order")->isEnabled());
    delete menu;
}

TEST_F(MarketWatchTest, OrderDialogDoubleTapAndChartGoToTheSelectedRowOrTheFirst) {
    make_base(3);
    MarketWatchView view(terminal);
    EXPECT_FALSE(view.open_order_dialog(3)) << "no opener";
    std::vector<std::pair<std::string, intptr_t>> opened;
    view.set_order_dialog_opener([&](const std::string& symbol, intptr_t kind) { opened.emplace_back(symbol, kind); });
    EXPECT_TRUE(view.open_order_dialog(3));
    view.selectRow(2);
    EXPECT_TRUE(view.open_order_dialog(1));
    emit view.cellDoubleClicked(1, 2);
    EXPECT_EQ(opened, (std::vector<std::pair<std::string, intptr_t>>{{"S000", 3}, {"S002", 1}, {"S001", 0}}));
    view.selectRow(2);

    std::vector<std::string> charts;
    view.run_command(MarketWatchCommand::ChartWindow);   // no chart view: nothing happens
    view.set_chart_opener([&](const std::string& symbol) { charts.push_back(symbol); });
    QMenu* menu = view.build_menu(&view);
    EXPECT_TRUE(action(*menu, "Chart Window")->isEnabled());
    action(*menu, "Chart Window")->trigger();
    delete menu;
    view.clearSelection();
    view.run_command(MarketWatchCommand::ChartWindow);   // needs a selected row
    EXPECT_EQ(charts, std::vector<std::string>{"S002"});
}

TEST_F(MarketWatchTest, HideRefusesSymbolsInUseAndHideAllKeepsThemShown) {
    market::SymbolsBase& base = make_base(3);
    trades.names = {"S001"};
    MarketWatchView view(terminal);
    view.selectRow(1);
    view.run_command(MarketWatchCommand::Hide);
    EXPECT_EQ(row_names(view), (QStringList{"S000", "S001", "S002"})) << "S001 has an open trade";
    view.selectRow(0);
    view.run_command(MarketWatchCommand::Hide);
    EXPECT_EQ(row_names(view), (QStringList{"S001", "S002"}));
    view.run_command(MarketWatchCommand::HideAll);
    EXPECT_EQ(row_names(view), QStringList{"S001"});
    view.run_command(MarketWatchCommand::ShowAll);
    EXPECT_EQ(view.rowCount(), 3);
    EXPECT_EQ(base.selected_count(), 3u);
}

TEST_F(MarketWatchTest, SymbolsDialogShowsAndHidesSymbolsAndGroups) {
    std::vector<market::SymbolRecord> records = {make_symbol("EURUSD", 1, 5, 1, 0), make_symbol("GBPUSD", 2, 5, 2, 0),
                                                 make_symbol("XAUUSD", 3, 2, 3, 1)};
    market::SymbolsBase* base = core::create_service(terminal.services().symbols_base, home.path(), "Alpha", nullptr, nullptr);
    base->set_usage_sources(&trades, nullptr);
    std::vector<market::SymbolGroupRecord> groups(2);
    core::set_field_text(groups[0].name, "Forex");
    core::set_field_text(groups[1].name, "Metals");
    base->set_groups(groups);
    base->replace_symbols(records);
    base->set_selection(std::vector<std::string>{"EURUSD"});
    trades.names = {"EURUSD"};

    SymbolsDialog dialog(*base);
    QTreeWidget* tree = dialog.tree();
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* forex = tree->topLevelItem(0);
    QTreeWidgetItem* metals = tree->topLevelItem(1);
    EXPECT_EQ(forex->text(0), "Forex");
    EXPECT_EQ(metals->text(0), "Metals");
    ASSERT_EQ(forex->childCount(), 2);
    EXPECT_EQ(forex->child(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(forex->child(1)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(dialog.changed());

    metals->child(0)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(base->selected_by_name("XAUUSD"));
    EXPECT_TRUE(dialog.changed());
    forex->child(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(forex->child(0)->checkState(0), Qt::Checked) << "EURUSD has an open trade";
    EXPECT_TRUE(base->selected_by_name("EURUSD"));

    tree->setCurrentItem(forex);
    EXPECT_EQ(dialog.show_current(true), 1) << "GBPUSD; EURUSD was shown already";
    EXPECT_EQ(forex->child(1)->checkState(0), Qt::Checked);
    tree->setCurrentItem(metals->child(0));
    EXPECT_EQ(dialog.show_current(false), 1);
    EXPECT_FALSE(base->selected_by_name("XAUUSD"));
}

TEST_F(MarketWatchTest, MainWindowFillsOnSymbolsRefreshesOnQuotesAndOpensOrdersOnRequest) {
    market::SymbolsBase& base = make_base(3);
    MainWindow window(terminal);
    MarketWatchView& view = *window.quotes_view();
    ASSERT_EQ(view.rowCount(), 3);

    base.set_selection(std::vector<std::string>{"S002"});
    EXPECT_EQ(view.rowCount(), 3) << "not before the notification";
    window.handle_notification(core::Notification::Symbols, 0);
    EXPECT_EQ(row_names(view), QStringList{"S002"});

    std::vector<market::TickRecord> ticks = {make_tick(2, kQuoteTime, 1.25f, 1.5f)};
    base.add_quotes(ticks);
    window.handle_notification(core::Notification::Quotes, 0);
    EXPECT_EQ(view.item(0, view.column_of(MarketWatchColumn::Bid))->text(), "1.25000");

    std::vector<std::pair<std::string, intptr_t>> opened;
    view.set_order_dialog_opener([&](const std::string& symbol, intptr_t kind) { opened.emplace_back(symbol, kind); });
    window.handle_notification(core::Notification::OpenOrderDialog, 3);
    EXPECT_EQ(opened, (std::vector<std::pair<std::string, intptr_t>>{{"S002", 3}}));
}

}  // namespace
}  // namespace kb::ui
