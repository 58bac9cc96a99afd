#include <gtest/gtest.h>

// Before any Qt header: the configuration has a member that Qt's "slots" macro would rename.
#include "config/terminal_config.h"

#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

#include "core/fixed_text.h"
#include "core/settings_store.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/server_session.h"
#include "tests/server/login_data_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "trade/trade_base.h"
#include "ui/history_view.h"
#include "ui/main_window.h"
#include "ui/qt_notifier.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

trade::TradeRecord record(int32_t ticket, int32_t type, double profit, const char* symbol_or_comment = "") {
    trade::TradeRecord out{};
    out.ticket = ticket;
    out.type = type;
    out.profit = profit;
    out.volume = 10;
    out.digits = 5;
    out.open_price = 1.10012;
    out.close_price = 1.10512;
    if (type >= trade::kBalance)
        core::set_field_text(out.comment, symbol_or_comment);
    else
        core::set_field_text(out.symbol, symbol_or_comment);
    return out;
}

std::vector<std::string> texts(const std::vector<HistoryRow>& rows, HistoryColumn column) {
    std::vector<std::string> out;
    for (const HistoryRow& row : rows) out.emplace_back(row.cell(column));
    return out;
}

TEST(HistoryRows, ListRecordsThenTheSummaryRowsTheFlagsShow) {
    trade::TradeRecord buy = record(10, trade::kBuy, 50, "EURUSD");
    buy.commission = -3;
    buy.swap = -0.5;
    const trade::TradeRecord history[] = {buy, record(11, trade::kSell, -20.25, "GBPUSD"),
                                          record(12, trade::kBalance, 1000, "Deposit"),
                                          record(13, trade::kBalance, -300, "Withdrawal"),
                                          record(14, trade::kCredit, 0, "Bonus")};
    const uint32_t all_rows = trade::kShowCreditRow | trade::kShowDepositRow | trade::kShowWithdrawalRow;
    struct Case {
        uint32_t flags;
        std::vector<std::string> labels;   // the summary rows after the five records
        std::vector<std::string> amounts;
    };
    const Case cases[] = {
        {kDefaultHistoryFlags, {"Profit/Loss:"}, {"26.25"}},
        // The credit total is 0: its row stays hidden with its flag on.
        {all_rows, {"Profit/Loss:", "Deposit:", "Withdrawal:"}, {"26.25", "1 000.00", "-300.00"}},
        {trade::kShowWithdrawalRow, {"Profit/Loss:", "Withdrawal:"}, {"26.25", "-300.00"}},
    };
    for (const Case& c : cases) {
        const std::vector<HistoryRow> rows = history_rows(history, c.flags, 2);
        ASSERT_EQ(rows.size(), std::size(history) + c.labels.size()) << c.flags;
        const std::vector<std::string> record_texts = {"buy 0.10 EURUSD", "sell 0.10 GBPUSD", "balance Deposit",
                                                       "balance Withdrawal", "credit Bonus"};
        std::vector<std::string> all_texts = texts(rows, HistoryColumn::Record);
        std::vector<std::string> all_amounts = texts(rows, HistoryColumn::Amount);
        EXPECT_EQ(std::vector<std::string>(all_texts.begin(), all_texts.begin() + 5), record_texts);
        EXPECT_EQ(std::vector<std::string>(all_amounts.begin(), all_amounts.begin() + 5),
                  (std::vector<std::string>{"46.50", "-20.25", "1 000.00", "-300.00", "0.00"}));
        EXPECT_EQ(std::vector<std::string>(all_texts.begin() + 5, all_texts.end()), c.labels) << c.flags;
        EXPECT_EQ(std::vector<std::string>(all_amounts.begin() + 5, all_amounts.end()), c.amounts) << c.flags;
    }
    const trade::TradeRecord credit[] = {record(20, trade::kCredit, 150, "Bonus")};
    EXPECT_EQ(texts(history_rows(credit, all_rows, 2), HistoryColumn::Record),
              (std::vector<std::string>{"credit Bonus", "Profit/Loss:", "Credit:"}));
}

TEST(HistoryRows, MoneyInTheDepositCurrencysDecimals) {
    trade::TradeRecord buy = record(1, trade::kBuy, 1250.5, "USDJPY");
    buy.swap = -0.75;
    const trade::TradeRecord history[] = {buy, record(2, trade::kBalance, 100000, "Deposit")};
    const std::pair<int, std::vector<std::string>> cases[] = {
        {2, {"1 249.75", "100 000.00", "1 249.75", "100 000.00"}},
        {0, {"1 250", "100 000", "1 250", "100 000"}},
    };
    for (const auto& [decimals, amounts] : cases) {
        const std::vector<HistoryRow> rows = history_rows(history, trade::kShowDepositRow, decimals);
        EXPECT_EQ(texts(rows, HistoryColumn::Amount), amounts) << decimals;
        EXPECT_EQ(rows[0].open_price, "1.10012") << "prices keep the record's digits";
    }
}

TEST(HistoryRows, PricesInTheRecordsDigitsWhenTheirColumnsAreShown) {
    const std::pair<uint32_t, std::vector<HistoryColumn>> cases[] = {
        {0, {HistoryColumn::Record, HistoryColumn::Amount}},
        {kHistoryClosePrice, {HistoryColumn::Record, HistoryColumn::ClosePrice, HistoryColumn::Amount}},
        {kHistoryOpenPrice | kHistoryClosePrice,
         {HistoryColumn::Record, HistoryColumn::OpenPrice, HistoryColumn::ClosePrice, HistoryColumn::Amount}},
    };
    for (const auto& [flags, expected] : cases) {
        std::vector<HistoryColumn> columns;
        for (const HistoryColumnSpec& layout : history_columns(flags)) columns.push_back(layout.column);
        EXPECT_EQ(columns, expected) << flags;
    }
    const trade::TradeRecord history[] = {record(1, trade::kBuy, 5, "EURUSD"), record(2, trade::kBalance, 5, "In")};
    const std::vector<HistoryRow> rows = history_rows(history, 0, 2);
    EXPECT_EQ(rows[0].open_price, "1.10012");
    EXPECT_EQ(rows[0].close_price, "1.10512");
    EXPECT_EQ(rows[1].open_price, "") << "a balance operation has no prices";
}

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

constexpr int32_t kAnn = 1001;

// The terminal's services and main window against the demo server on loopback, where Ann
// has closed trades and balance operations besides her first deposit.
class HistoryTabLive : public server::testing_support::LoginDataServer {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    void SetUp() override {
        LoginDataServer::SetUp();
        const int64_t now = clock.unix_time();
        ASSERT_TRUE(storage->add_balance_operation(kAnn, trade::kBalance, -700, "Withdrawal", now - 60));
        ASSERT_TRUE(storage->add_balance_operation(kAnn, trade::kCredit, 250, "Bonus", now - 50));
        close_trade("EURUSD", trade::kBuy, 10, 1.1, 1.1125, -1, 125, now - 40);
        close_trade("XAUUSD", trade::kSell, 20, 2050, 2051.5, 0, -30, now - 20);

        terminal.start(&factory);
        ASSERT_TRUE(terminal.services().terminal_config);
        config::TerminalConfig& configuration = *terminal.services().terminal_config;
        config::LoginRecord login = configuration.login_record();
        login.login = kAnn;
        std::memset(login.password, 0, sizeof login.password);
        core::set_field_text(login.password, "secret1");
        std::memset(login.server, 0, sizeof login.server);
        core::set_field_text(login.server, "127.0.0.1:" + std::to_string(server->trade_port()));
        configuration.set_login_record(login);
        window = std::make_unique<MainWindow>(terminal);
        notifier.set_window(window.get());
        terminal.set_notifier(&notifier);
        window->resize(480, 640);
        window->show();
        window->select_tab(kTabHistory);
    }

    void TearDown() override {
        terminal.set_notifier(nullptr);
        notifier.set_window(nullptr);
        window.reset();
        terminal.shutdown();
    }

    // A trade opened at time and closed 10 s later.
    void close_trade(const char* symbol, trade::OrderType type, int volume, double open_price, double close_price,
                     double commission, double profit, int64_t time) {
        server::TradeRow row;
        row.login = kAnn;
        row.symbol = symbol;
        row.type = type;
        row.volume = volume;
        row.open_time = time;
        row.open_price = open_price;
        const auto ticket = storage->insert_trade(row);
        ASSERT_TRUE(ticket);
        row.ticket = *ticket;
        row.close_time = time + 10;
        row.close_price = close_price;
        row.commission = commission;
        row.profit = profit;
        ASSERT_TRUE(storage->close_trade(row));
    }

    HistoryView& view() { return *window->history_view(); }

    // Runs the event loop until the condition holds or about 10 s of real time pass.
    static bool run_until(const std::function<bool()>& condition) {
        for (int step = 0; step < 1000; ++step) {
            QCoreApplication::processEvents();
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    std::vector<std::string> column(HistoryColumn which) {
        std::vector<std::string> out;
        for (int row = 0; row < view().row_count(); ++row) out.push_back(view().cell_text(row, which).toStdString());
        return out;
    }

    kb::testing::TempFolder home;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), platform::system_clock(), home.file("settings")};
    QtNotifier notifier;
    std::unique_ptr<MainWindow> window;
};

TEST_F(HistoryTabLive, AllHistoryListsTheServersClosedTradesAndBalanceOperationsWithTheirSummary) {
    const int refreshes = view().refresh_count();
    ASSERT_TRUE(view().choose_period(trade::kHistoryAll));
    view().wait_for_download();
    ASSERT_TRUE(run_until([&] { return view().refresh_count() > refreshes; }));
    EXPECT_EQ(view().period(), trade::kHistoryAll);
    EXPECT_EQ(terminal.services().trade_base->history_count(), 5u);

    view().toggle_flags(trade::kShowCreditRow | trade::kShowDepositRow | trade::kShowWithdrawalRow);
    EXPECT_EQ(column(HistoryColumn::Record),
              (std::vector<std::string>{"balance " + std::string(storage->closed_trades(kAnn, 0, clock.unix_time())[0].comment),
                                        "balance Withdrawal", "credit Bonus", "buy 0.10 EURUSD", "sell 0.20 XAUUSD",
                                        "Profit/Loss:", "Credit:", "Deposit:", "Withdrawal:"}));
    EXPECT_EQ(column(HistoryColumn::Amount),
              (std::vector<std::string>{"5 000.00", "-700.00", "250.00", "124.00", "-30.00", "94.00", "250.00",
                                        "5 000.00", "-700.00"}));
    EXPECT_EQ(view().cell_text(3, HistoryColumn::ClosePrice), "1.11250") << "in the record's digits";

    const std::string path = home.file("history_tab.png");
    ASSERT_TRUE(window->grab().save(QString::fromStdString(path), "PNG"));
    EXPECT_GT(platform::file_size(path), 0);
    EXPECT_FALSE(QImage(QString::fromStdString(path), "PNG").isNull());

    // A login loads the day's history; the chosen period comes back.
    terminal.services().trade_base->set_history({});
    view().refresh_history(core::notification_value(core::HistorySelector::Kept));
    view().wait_for_download();
    ASSERT_TRUE(run_until([&] { return view().row_count() == 9; }));
    EXPECT_EQ(terminal.services().trade_base->history_count(), 5u);

    // A period with nothing in it on the server empties the list down to its summary.
    ASSERT_TRUE(view().choose_period(trade::kHistoryToday));
    view().wait_for_download();
    ASSERT_TRUE(run_until([&] { return view().row_count() == 1; }));
    EXPECT_EQ(column(HistoryColumn::Record), (std::vector<std::string>{"Profit/Loss:"}));
}

TEST_F(HistoryTabLive, CustomDatesAskFromTheFirstDayToTheEndOfTheLastAndRefuseABackwardPair) {
    auto midnight = [](int year, int month, int day) {
        platform::DateTime local;
        local.year = year;
        local.month = month;
        local.day = day;
        return static_cast<int32_t>(platform::local_calendar_to_unix(local));
    };
    view().set_custom_dates(2024, 1, 1, 2024, 1, 1);
    ASSERT_TRUE(view().choose_period(0));
    EXPECT_EQ(view().period(), 0);
    EXPECT_EQ(view().chosen_range(), (trade::HistoryRange{midnight(2024, 1, 1), midnight(2024, 1, 2)}));
    view().wait_for_download();
    ASSERT_TRUE(run_until([&] { return terminal.services().trade_base->history_count() == 5; }))
        << "the server's records are all dated 2024-01-01";

    view().set_custom_dates(2024, 1, 2, 2024, 1, 1);
    EXPECT_FALSE(view().chosen_range());
    EXPECT_FALSE(view().choose_period(0));
    EXPECT_EQ(terminal.services().trade_base->history_count(), 5u) << "nothing was asked";
}

TEST_F(HistoryTabLive, FlagsAreWrittenBackWhenTheViewGoesOnlyIfChanged) {
    constexpr int32_t kUnset = -12345;
    window.reset();
    EXPECT_EQ(terminal.settings().read_number(core::kSectionWindow, kHistoryFlagsSetting, kUnset), kUnset);

    window = std::make_unique<MainWindow>(terminal);
    EXPECT_EQ(view().flags(), kDefaultHistoryFlags);
    view().toggle_flags(trade::kShowCreditRow);
    window.reset();
    EXPECT_EQ(terminal.settings().read_number(core::kSectionWindow, kHistoryFlagsSetting, kUnset),
              static_cast<int32_t>(kDefaultHistoryFlags | trade::kShowCreditRow));

    window = std::make_unique<MainWindow>(terminal);
    EXPECT_EQ(view().flags(), kDefaultHistoryFlags | trade::kShowCreditRow);
}

}  // namespace
}  // namespace kb::ui
