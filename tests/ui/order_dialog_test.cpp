#include <gtest/gtest.h>

// Before any Qt header: the configuration has a member that Qt's "slots" macro would rename.
#include "core/terminal.h"

#include <string>
#include <vector>

#include "core/settings_store.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "tests/market/market_test_support.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "trade/trade_base.h"
#include "ui/main_window.h"
#include "ui/market_watch_view.h"
#include "ui/order_dialog.h"
#include "ui/trade_view.h"

namespace kb::ui {
namespace {

constexpr int32_t kUnset = -1000;
constexpr double kBid = 1.25;
constexpr double kAsk = 1.5;

// A terminal with EURUSD selected and quoted (bid 1.25, ask 1.5, 5 digits) and a trade base,
// so that the trade tab opens order dialogs; no dispatcher, so nothing is sent.
class OrderDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    OrderDialogTest() {
        market::SymbolsBase* symbols =
            core::create_service(terminal.services().symbols_base, home.path(), "Alpha", nullptr, nullptr);
        market::SymbolRecord eurusd = market::testing::all_day_symbol("EURUSD", 1);
        eurusd.display_flag = 1;
        symbols->replace_symbols(std::vector<market::SymbolRecord>{eurusd});
        const std::vector<std::string> selection = {"EURUSD"};
        symbols->set_selection(selection);
        std::vector<market::TickRecord> ticks = {
            market::testing::make_tick(1, 1'704'104'100, static_cast<float>(kBid), static_cast<float>(kAsk))};
        symbols->add_quotes(ticks);
        core::create_service(terminal.services().trade_base, symbols, nullptr, nullptr, clock);
    }
    ~OrderDialogTest() override {
        terminal.services().trade_base.reset();
        terminal.services().symbols_base.reset();
    }

    int32_t stored(std::string_view name) { return terminal.settings().read_number(core::kSectionWindow, name, kUnset); }
    void store(std::string_view name, int32_t value) { terminal.settings().write_number(core::kSectionWindow, name, value); }

    static std::vector<OrderDialog*> dialogs(TradeView& view) {
        const QList<OrderDialog*> found = view.findChildren<OrderDialog*>();
        return std::vector<OrderDialog*>(found.begin(), found.end());
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal{home.path(), clock, home.file("settings")};
};

TEST_F(OrderDialogTest, NotificationOpensTheDialogOfTheKindItCarries) {
    store(kNewOrderTypeSetting, trade::kBuyStop);
    MainWindow window(terminal);
    window.handle_notification(core::Notification::Symbols, 0);
    ASSERT_EQ(window.quotes_view()->rowCount(), 1);
    struct Case {
        intptr_t kind;
        int order_type;
    };
    const Case cases[] = {
        {trade::kSell, trade::kSell},
        {trade::kSellLimit, trade::kSellLimit},
        {trade::kBuy, trade::kBuy},
        {kRememberedOrderType, trade::kBuyStop},
        {6, trade::kBuyStop},
        {intptr_t{1} << 40, trade::kBuyStop},
    };
    for (const Case& c : cases) {
        window.handle_notification(core::Notification::OpenOrderDialog, c.kind);
        const std::vector<OrderDialog*> open = dialogs(*window.trade_view());
        ASSERT_EQ(open.size(), 1u) << c.kind;
        EXPECT_EQ(open[0]->order_type(), c.order_type) << c.kind;
        EXPECT_EQ(open[0]->symbol(), "EURUSD");
        delete open[0];
    }
}

TEST_F(OrderDialogTest, TheLastChoicesAreRemembered) {
    TradeView view(terminal);
    OrderDialog* first = view.open_order_dialog("EURUSD");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->order_type(), trade::kBuy) << "nothing remembered yet";
    EXPECT_EQ(first->stop_loss(), 0);
    first->set_order(trade::kSell, 0.1);
    first->set_stops(kBid + 0.00200, kBid - 0.00350);
    first->send();
    EXPECT_EQ(stored(kNewOrderTypeSetting), trade::kSell);
    EXPECT_EQ(stored(kLevelSlSetting), 200);
    EXPECT_EQ(stored(kLevelTpSetting), 350);
    delete first;

    OrderDialog* sell = view.open_order_dialog("EURUSD");
    EXPECT_EQ(sell->order_type(), trade::kSell);
    EXPECT_DOUBLE_EQ(sell->stop_loss(), kBid + 0.00200);
    EXPECT_DOUBLE_EQ(sell->take_profit(), kBid - 0.00350);
    delete sell;

    // A buy takes the distances from the ask, on its own sides of the price.
    OrderDialog* buy = view.open_order_dialog("EURUSD", trade::kBuy);
    EXPECT_DOUBLE_EQ(buy->stop_loss(), kAsk - 0.00200);
    EXPECT_DOUBLE_EQ(buy->take_profit(), kAsk + 0.00350);
    // No take profit this time: none is remembered.
    buy->set_stops(kAsk - 0.00050, 0);
    buy->send();
    EXPECT_EQ(stored(kNewOrderTypeSetting), trade::kBuy);
    EXPECT_EQ(stored(kLevelSlSetting), 50);
    EXPECT_EQ(stored(kLevelTpSetting), 0);
    delete buy;

    // A pending order's distances count from its own price.
    OrderDialog* pending = view.open_order_dialog("EURUSD", trade::kSellLimit);
    EXPECT_EQ(pending->stop_loss(), 0) << "no price entered yet";
    pending->set_pending(1.3, 0);
    pending->set_stops(1.301, 1.2995);
    pending->send();
    EXPECT_EQ(stored(kNewOrderTypeSetting), trade::kSellLimit);
    EXPECT_EQ(stored(kLevelSlSetting), 100);
    EXPECT_EQ(stored(kLevelTpSetting), 50);
    delete pending;
}

}  // namespace
}  // namespace kb::ui
