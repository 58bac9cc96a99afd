#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "config/server_list.h"
#include "config/server_probe.h"
#include "core/fixed_text.h"
#include "core/settings_store.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/history_view.h"
#include "ui/main_window.h"
#include <QTableWidget>
#include "ui/market_watch_view.h"
#include "trade/trade_base.h"
#include "tests/market/market_test_support.h"
#include "market/symbols_base.h"
#include "market/history_center.h"
#include "ui/chart_view.h"
#include "ui/placeholder_views.h"
#include "ui/trade_view.h"
#include "ui/qt_notifier.h"

namespace kb::ui {
namespace {

struct MainWindowTest : ::testing::Test {
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    std::string settings_path = home.file("settings");
    core::Terminal terminal{home.path(), clock, settings_path};

    int stored_tab() { return core::SettingsStore(settings_path).read_number("Window", "ActiveTab", -1); }

    // Runs the event loop until the window reports a handled notification or 5 s pass.
    static bool wait_for_notification(MainWindow& window) {
        QEventLoop loop;
        bool handled = false;
        QObject::connect(&window, &MainWindow::notification_handled, &loop, [&] {
            handled = true;
            loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        return handled;
    }
};

TEST_F(MainWindowTest, ShowsFiveTabsAtTheTop) {
    MainWindow window(terminal);
    QTabWidget* tabs = window.tabs();
    ASSERT_EQ(tabs->count(), 5);
    const char* names[] = {"Quotes", "Chart", "Trade", "History", "News"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tabs->tabText(i).toStdString(), names[i]) << i;
    EXPECT_EQ(tabs->tabPosition(), QTabWidget::North);
    EXPECT_EQ(window.windowTitle().toStdString(), "Kestrelbay 4 Mobile");
}

TEST_F(MainWindowTest, EveryTabChangeIsStoredAtOnce) {
    MainWindow window(terminal);
    EXPECT_EQ(stored_tab(), -1) << "opening the window stores nothing";
    window.tabs()->setCurrentIndex(3);
    EXPECT_EQ(stored_tab(), 3);
    window.tabs()->tabBar()->setCurrentIndex(1);
    EXPECT_EQ(stored_tab(), 1);
}

TEST_F(MainWindowTest, OpensOnTheStoredTab) {
    const std::pair<int, int> cases[] = {{2, 2}, {4, 4}, {5, 0}, {-1, 0}};
    for (auto [stored, shown] : cases) {
        terminal.settings().write_number("Window", "ActiveTab", stored);
        MainWindow window(terminal);
        EXPECT_EQ(window.active_tab(), shown) << stored;
    }
}

TEST_F(MainWindowTest, PostFromABackgroundThreadIsHandledOnTheUserInterfaceThread) {
    MainWindow window(terminal);
    QtNotifier notifier;
    notifier.set_window(&window);
    QThread* handled_on = nullptr;
    QObject::connect(&window, &MainWindow::notification_handled, &window,
                     [&] { handled_on = QThread::currentThread(); });

    std::thread poster([&] { notifier.post(core::notification_code(core::Notification::SelectTab), 4); });
    poster.join();
    ASSERT_TRUE(wait_for_notification(window));
    EXPECT_EQ(handled_on, qApp->thread());
    EXPECT_EQ(window.active_tab(), 4);
    EXPECT_EQ(stored_tab(), 4);
}

TEST_F(MainWindowTest, SendWaitsForTheAnswerAndPostsWithoutAWindowAreDropped) {
    MainWindow window(terminal);
    QtNotifier notifier;
    int handled = 0;
    QObject::connect(&window, &MainWindow::notification_handled, &window, [&] { ++handled; });

    notifier.post(core::notification_code(core::Notification::SelectTab), 2);   // no window published yet
    EXPECT_EQ(notifier.send(core::notification_code(core::Notification::SelectTab), 2), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(window.active_tab(), 0);

    notifier.set_window(&window);
    // From the user-interface thread the call is direct.
    EXPECT_EQ(notifier.send(core::notification_code(core::Notification::SelectTab), 2), 0);
    EXPECT_EQ(window.active_tab(), 2);

    // From another thread it blocks until the user-interface thread has run it.
    std::atomic<bool> answered{false};
    std::thread sender([&] {
        notifier.send(core::notification_code(core::Notification::GenerateKey), 0);
        answered = true;
    });
    ASSERT_TRUE(wait_for_notification(window));
    sender.join();
    EXPECT_TRUE(answered);
    EXPECT_EQ(handled, 2);
}

TEST_F(MainWindowTest, TimerTickEndsAProbeStepOlderThanTenSeconds) {
    platform::make_directory(home.file("config"));
    core::Services& services = terminal.services();
    config::ServerList& list =
        *core::create_service(services.server_list, home.path(), clock, platform::system_random(), nullptr);
    config::ServerProbe& probe = *core::create_service(services.server_probe, list, clock, platform::system_clock());
    // A listener whose queue is full drops further connection attempts: a connect to it
    // waits for the system's time-out, minutes away.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    const std::string hanging = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    std::vector<config::AccessPointRecord> points(2);
    core::set_field_text(points[0].address, hanging);
    core::set_field_text(points[1].address, "127.0.0.1:0");
    ASSERT_TRUE(list.update_server("S", "Co", 1, points));
    clock.advance_ms(config::kProbeIntervalMs);
    MainWindow window(terminal);
    ASSERT_TRUE(probe.start("S"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));   // the probe is inside its connect

    clock.advance_ms(config::kProbeStepTimeoutMs + 1);
    // The next once-a-second tick ends the step; the probe then finishes by itself.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!probe.running()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(3 * kWatchdogIntervalMs, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(probe.running());
    probe.stop();
    for (int fd : fillers) ::close(fd);
    ::close(listener);
    std::optional<config::ServerEntry> entry = list.find_copy("S");
    ASSERT_TRUE(entry);
    const config::AccessPointRecord* point = entry->find_access_point(hanging);
    ASSERT_TRUE(point);
    EXPECT_EQ(int32_t{point->probe_state}, config::kProbeUnreachable);
}

// The market watch's own tests cover codes 1, 2 and 23 in the Quotes tab.
TEST_F(MainWindowTest, NotificationsReachTheViewsThatOwnThem) {
    struct Case {
        int code;
        intptr_t value;
        int chart_recomputes, chart_forwards;
        QStringList trade, history, news;
    };
    const Case cases[] = {
        {1, 0, 0, 0, {}, {}, {}},
        {2, 7, 0, 1, {"refresh_trades"}, {}, {}},
        {3, 0, 0, 0, {}, {}, {"refresh_news"}},
        {4, 0, 0, 0, {}, {}, {"refresh_mail"}},
        {6, 0, 0, 0, {"refresh_trades"}, {}, {}},
        {7, -2, 0, 0, {}, {"refresh_history -2"}, {}},
        {8, 0, 1, 1, {}, {}, {}},
        {16, 501, 0, 0, {}, {}, {}},
        {20, 1234, 1, 0, {}, {}, {}},
        {21, 0, 1, 0, {}, {}, {}},
        {23, 3, 0, 0, {}, {}, {}},
        {25, 0, 0, 0, {}, {}, {}},
        {33, 12, 0, 0, {}, {}, {"forward_to_mail 33 12"}},
    };
    for (const Case& c : cases) {
        MainWindow window(terminal);
        EXPECT_EQ(window.handle_notification(core::notification_of(c.code), c.value), intptr_t{0}) << c.code;
        EXPECT_EQ(window.chart_view()->recompute_count(), c.chart_recomputes) << c.code;
        EXPECT_EQ(window.chart_view()->forward_count(), c.chart_forwards) << c.code;
        EXPECT_EQ(window.trade_view()->refresh_count(), 1 + c.trade.size()) << c.code;
        EXPECT_EQ(window.history_view()->refresh_count(), 1 + c.history.size()) << c.code;
        EXPECT_EQ(window.news_view()->received(), c.news) << c.code;
    }
}

TEST_F(MainWindowTest, CodesWithoutAHandlerAreLeftUnhandled) {
    MainWindow window(terminal);
    int handled = 0;
    QObject::connect(&window, &MainWindow::notification_handled, &window, [&] { ++handled; });
    for (int code : {0, 5, 12, 18, 24, 34, 12345})
        EXPECT_FALSE(window.handle_notification(core::notification_of(code), 0).has_value()) << code;
    EXPECT_EQ(handled, 0);
    for (int code : {9, 10, 11, 17, 22})
        EXPECT_TRUE(window.handle_notification(core::notification_of(code), 0).has_value()) << code;
    EXPECT_EQ(handled, 5);
}

TEST_F(MainWindowTest, SelectTabCodeSelectsAndStoresValidTabsOnly) {
    MainWindow window(terminal);
    window.handle_notification(core::Notification::SelectTab, 3);
    EXPECT_EQ(window.active_tab(), 3);
    EXPECT_EQ(stored_tab(), 3);
    for (intptr_t bad : {-1, 5, 1000}) {
        window.handle_notification(core::Notification::SelectTab, bad);
        EXPECT_EQ(window.active_tab(), 3) << bad;
        EXPECT_EQ(stored_tab(), 3) << bad;
    }
    // Selecting the tab already shown still stores it.
    terminal.settings().write_number("Window", "ActiveTab", 0);
    window.handle_notification(core::Notification::SelectTab, 3);
    EXPECT_EQ(stored_tab(), 3);
    // An order's chart switches to the Chart tab.
    window.handle_notification(core::Notification::ShowOrderChart, 77);
    EXPECT_EQ(window.active_tab(), 1);
    EXPECT_EQ(stored_tab(), 1);
}

TEST_F(MainWindowTest, TitleFollowsTheLoggedInAccount) {
    MainWindow window(terminal);
    window.handle_notification(core::Notification::LoggedIn, 1234);
    EXPECT_EQ(window.windowTitle().toStdString(), "1234: Kestrelbay 4 Mobile");
    window.set_title_account(core::TitleAccount{55, core::AccountKind::Demo});
    EXPECT_EQ(window.windowTitle().toStdString(), "55: Kestrelbay 4 Mobile - Demo Account");
    window.handle_notification(core::Notification::LoggedIn, 56);   // the kind stays with the account
    EXPECT_EQ(window.windowTitle().toStdString(), "56: Kestrelbay 4 Mobile - Demo Account");
    window.set_title_account(core::TitleAccount{8, core::AccountKind::Contest});
    EXPECT_EQ(window.windowTitle().toStdString(), "8: Kestrelbay 4 Mobile - Contest Account");
    window.set_title_account(std::nullopt);
    EXPECT_EQ(window.windowTitle().toStdString(), "Kestrelbay 4 Mobile");
}

TEST_F(MainWindowTest, ToolbarCodesEnableAndDisableButtonBits) {
    MainWindow window(terminal);
    window.handle_notification(core::Notification::EnableToolbar, 0b1011);
    window.handle_notification(core::Notification::DisableToolbar, 0b0010);
    EXPECT_EQ(window.toolbar_buttons(), 0b1001u);
}

TEST_F(MainWindowTest, WatchdogTimerRunsTheTerminalsWatchdogs) {
    int ticks = 0;
    terminal.add_watchdog([&] { ++ticks; });
    MainWindow window(terminal);
    QEventLoop loop;
    terminal.add_watchdog([&] { loop.quit(); });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_GE(ticks, 1);
}

TEST(LoginFailureText, NamesTheFinalStatesAfterALoginDialog) {
    const std::pair<int, int> cases[] = {{64, 5017}, {65, 5019}, {66, 5048}, {0, 0}, {63, 0}, {67, 0}, {6, 0}};
    for (auto [state, text] : cases)
        EXPECT_EQ(login_failure_text_id(static_cast<net::ReturnCode>(state)), text) << state;
}

// The trade and history views ask for an order's chart through code 16, and Market Watch's
// "Chart Window" opens its symbol: either way the chart shows it on the Chart tab.
TEST_F(MainWindowTest, OrdersAndMarketWatchShowTheirSymbolInTheChart) {
    for (const char* folder : {"profiles", "history", "history/Demo"}) ASSERT_TRUE(platform::make_directory(home.file(folder)));
    core::Services& services = terminal.services();
    market::HistoryCenter* center = core::create_service(
        services.history_center,
        market::HistoryCenterEnvironment{.settings = {home.path(), "Demo", 1000, 1000}, .clock = clock});
    market::SymbolsBase* symbols = core::create_service(services.symbols_base, home.path(), "Demo", nullptr, center);
    center->set_symbols(symbols);
    const market::SymbolRecord known[] = {market::testing::all_day_symbol("EURUSD", 0),
                                          market::testing::all_day_symbol("GBPUSD", 1),
                                          market::testing::all_day_symbol("USDJPY", 2)};
    symbols->replace_symbols(known);
    ASSERT_TRUE(symbols->select("USDJPY", market::Shown::Yes, market::Save::No));
    trade::TradeBase* trades = core::create_service(services.trade_base, symbols, nullptr, nullptr, clock);
    trade::AccountData account{};
    account.login = 5001;
    trade::TradeRecord open{};
    open.ticket = 501;
    open.login = 5001;
    core::set_field_text(open.symbol, "GBPUSD");
    open.type = trade::kBuy;
    open.volume = 100;
    open.open_price = 1.25;
    const trade::TradeRecord opened[] = {open};
    trades->set_account(account, opened);
    trade::TradeRecord closed = open;
    closed.ticket = 320;
    core::set_field_text(closed.symbol, "EURUSD");
    const trade::TradeRecord history[] = {closed};
    ASSERT_TRUE(trades->set_history(history));

    {
        MainWindow window(terminal);
        QtNotifier notifier;
        notifier.set_window(&window);
        terminal.set_notifier(&notifier);
        ChartView& chart = *window.chart_view();
        ASSERT_NE(chart.chart(), nullptr);

        window.trade_view()->refresh_trades();
        ASSERT_TRUE(window.trade_view()->select_ticket(501));
        window.trade_view()->show_selected_chart();
        ASSERT_TRUE(wait_for_notification(window));
        EXPECT_EQ(chart.chart()->settings().symbol, "GBPUSD");
        EXPECT_EQ(window.active_tab(), 1);
        EXPECT_EQ(stored_tab(), 1);

        window.tabs()->setCurrentIndex(0);
        window.history_view()->refresh_history(0);
        QTableWidget* table = window.history_view()->table();
        ASSERT_GT(table->rowCount(), 1);   // the closed order, then the summary rows
        int handled = 0;
        QObject::connect(&window, &MainWindow::notification_handled, &window, [&] { ++handled; });
        table->selectRow(table->rowCount() - 1);
        window.history_view()->show_selected_chart();   // a summary row has no order
        QCoreApplication::processEvents();
        EXPECT_EQ(handled, 0);
        table->selectRow(0);
        window.history_view()->show_selected_chart();
        ASSERT_TRUE(wait_for_notification(window));
        EXPECT_EQ(chart.chart()->settings().symbol, "EURUSD");
        EXPECT_EQ(window.active_tab(), 1);

        window.tabs()->setCurrentIndex(0);
        MarketWatchView& quotes = *window.quotes_view();
        quotes.fill();
        const int usdjpy = quotes.row_of("USDJPY");
        ASSERT_GE(usdjpy, 0);
        quotes.selectRow(usdjpy);
        quotes.run_command(MarketWatchCommand::ChartWindow);
        EXPECT_EQ(chart.chart()->settings().symbol, "USDJPY");
        EXPECT_EQ(window.active_tab(), 1);
        terminal.set_notifier(nullptr);
    }
    services.trade_base.reset();
    services.symbols_base.reset();
    services.history_center.reset();
}

}  // namespace
}  // namespace kb::ui
