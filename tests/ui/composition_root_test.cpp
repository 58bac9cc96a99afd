#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/terminal.h"
#include "market/history_base.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "trade/trade_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/main_window.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

// A terminal in a fresh folder with the services' factory; the tests start it.
struct CompositionRootTest : ::testing::Test {
    kb::testing::TempFolder home;
    platform::ManualClock clock;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), clock, home.file("settings")};
};

TEST_F(CompositionRootTest, StartCreatesAndLoadsTheServicesAndShutdownDestroysThem) {
    terminal.start(&factory);
    core::Services& services = terminal.services();
    ASSERT_TRUE(services.server_list);
    ASSERT_TRUE(services.terminal_config);
    ASSERT_TRUE(services.accounts_base);
    ASSERT_TRUE(services.symbols_base);
    ASSERT_TRUE(services.history_center);
    ASSERT_TRUE(services.trade_base);
    ASSERT_TRUE(services.trade_dispatcher);
    ASSERT_EQ(core::field_text(services.terminal_config->login_record().server), "");
    EXPECT_EQ(services.symbols_base->server(), "default") << "no server configured yet";
    // A fresh folder gets the built-in server entry.
    EXPECT_TRUE(services.server_list->find_copy(config::kDefaultServerName).has_value());

    terminal.shutdown();
    EXPECT_FALSE(services.server_list);
    EXPECT_FALSE(services.terminal_config);
    EXPECT_FALSE(services.accounts_base);
    EXPECT_FALSE(services.symbols_base);
    EXPECT_FALSE(services.history_center);
    EXPECT_FALSE(services.trade_base);
    EXPECT_FALSE(services.trade_dispatcher);
}

TEST_F(CompositionRootTest, StartLoadsTheIndicatorListOrderAndShutdownSavesIt) {
    // Used yesterday (by the clock's local time) and eight days ago.
    auto record = [&](std::string_view name, int64_t last_used, int32_t count) {
        chart::IndicatorUseRecord r{};
        for (std::size_t i = 0; i < name.size(); ++i) r.name[2 * i] = static_cast<uint8_t>(name[i]);
        r.last_used = static_cast<int32_t>(last_used);
        r.use_count = count;
        return r;
    };
    const int64_t now = clock.unix_time();   // the manual clock's local time is its UTC calendar
    const chart::IndicatorUseRecord records[] = {record("Volumes", now - 8 * 86400, 9),
                                                 record("MACD", now - 86400, 2)};
    ASSERT_TRUE(platform::make_directory(home.file("profiles")));
    const std::string path = home.file("profiles/indicators.dat");
    ASSERT_TRUE(platform::write_file_atomic(
        path, {reinterpret_cast<const uint8_t*>(records), sizeof records}));

    terminal.start(&factory);
    std::vector<chart::IndicatorUse> entries = factory.indicator_catalogue().entries();
    ASSERT_EQ(entries.size(), 30u);
    EXPECT_EQ(entries[0].name, "MACD");
    EXPECT_EQ(entries[1].name, "Accelerator Oscillator");

    factory.indicator_catalogue().note_use("Fractals", now);
    factory.save_indicator_catalogue(terminal);
    terminal.shutdown();
    EXPECT_EQ(platform::file_size(path), 4200);
    chart::IndicatorCatalogue reread;
    ASSERT_TRUE(reread.load(path, now));
    EXPECT_EQ(reread.entries()[0].name, "MACD");   // two uses against one
    EXPECT_EQ(reread.entries()[1].name, "Fractals");
}

// The timer's steps come in their order: a connection the session finds dead is dealt
// with before the trade channels' watchdog runs.
TEST_F(CompositionRootTest, TheTimerRunsTheConnectionWatchdogBeforeTheTradeChannels) {
    terminal.start(&factory);
    const std::vector<std::string>& names = terminal.watchdog_names();
    const auto connection = std::find(names.begin(), names.end(), kConnectionWatchdog);
    const auto channels = std::find(names.begin(), names.end(), kTradeChannelsWatchdog);
    ASSERT_NE(connection, names.end());
    ASSERT_NE(channels, names.end());
    EXPECT_LT(connection, channels);
    terminal.shutdown();
}

TEST_F(CompositionRootTest, ReconnectSavesTheAccounts) {
    kb::testing::ensure_qt_application();
    terminal.start(&factory);
    config::AccountsBase& accounts = *terminal.services().accounts_base;
    config::TerminalConfig& configuration = *terminal.services().terminal_config;
    MainWindow window(terminal);
    // Kept personal data is written; otherwise the saved file goes.
    for (int keep : {1, 0}) {
        config::LoginRecord record = configuration.login_record();
        record.keep_personal_data = keep;
        configuration.set_login_record(record);
        if (keep) platform::remove_file(accounts.file_path());
        ASSERT_NE(platform::file_exists(accounts.file_path()), keep != 0);
        window.handle_notification(core::Notification::Reconnect, 0);
        EXPECT_EQ(platform::file_exists(accounts.file_path()), keep != 0);
    }
}

TEST_F(CompositionRootTest, ShutdownSavesTheServerListWithItsLatestFailureMarks) {
    const std::string dead = "10.0.0.1:443", alive = "10.0.0.2:443";
    {
        terminal.start(&factory);
        config::ServerList& servers = *terminal.services().server_list;
        std::vector<config::AccessPointRecord> points(2);
        core::set_field_text(points[0].address, dead);
        core::set_field_text(points[1].address, alive);
        ASSERT_TRUE(servers.update_server("Broker-Live", "Broker Ltd", 1, points));   // saved
        // After the last login the selected access point went silent.
        servers.select_access_point("Broker-Live", dead);
        servers.mark_selected_failed("Broker-Live");
        terminal.shutdown();
    }
    config::ServerList next(home.path(), clock, platform::system_random(), nullptr);
    next.load_all("Broker Ltd");
    std::optional<config::ServerEntry> entry = next.find_copy("Broker-Live");
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->access_points.size(), 2u);
    // Connecting through the list passes over the failed access point.
    for (const config::AccessPointRecord& point : entry->access_points)
        EXPECT_EQ(int32_t{point.time_ms}, config::address_of(point) == dead ? config::kFailedMs : config::kNeverMeasuredMs)
            << config::address_of(point);
}

TEST_F(CompositionRootTest, HistoriesOpenedAfterAChangeOfMaximumBarsKeepTheNewLimit) {
    terminal.start(&factory);
    market::SymbolRecord symbol{};
    core::set_field_text(symbol.name, "EURUSD");
    symbol.digits = 5;
    {
        // 700 hourly bars in the file the history of a server-less account reads.
        std::vector<market::BarRecord> bars;
        for (int32_t i = 0; i < 700; ++i) bars.push_back({1796601600 + i * 3600, 1.1, 1.0, 1.2, 1.1, 5});
        auto writer = market::HistoryBase::create(symbol, 60, market::Offline::No, {home.path(), "", 100000, 100000}, nullptr);
        ASSERT_EQ(writer->import_bars(std::span<const market::BarRecord>(bars), 0), 700u);
    }
    config::TerminalConfig& configuration = *terminal.services().terminal_config;
    market::HistoryCenter& center = *terminal.services().history_center;
    config::LoginRecord record = configuration.login_record();
    record.max_bars = 600;
    configuration.set_login_record(record);

    ASSERT_TRUE(center.open("EURUSD", 60, market::Offline::Yes));
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 600u) << "the newest 600 bars of the file";
}


TEST_F(CompositionRootTest, ReconnectMovesTheHistoryCentreToTheNewAccountsServerAndDropsItsQueue) {
    kb::testing::ensure_qt_application();
    terminal.start(&factory);
    market::HistoryCenter& center = *terminal.services().history_center;
    config::TerminalConfig& configuration = *terminal.services().terminal_config;
    market::SymbolRecord eurusd{};
    core::set_field_text(eurusd.name, "EURUSD");
    eurusd.digits = 5;
    terminal.services().symbols_base->replace_symbols(std::span<const market::SymbolRecord>(&eurusd, 1));
    center.set_server("Old-Live");   // as the old account's login left it
    ASSERT_EQ(center.open("EURUSD", 60), true);
    const market::WireBar22 bar[] = {{1796601600, 110000, 30, -5, 10, 4}};
    ASSERT_EQ(center.import("EURUSD", 60, 0, bar), 1u);
    ASSERT_EQ(center.open("EURUSD", 240), true);
    ASSERT_EQ(center.queued_requests(), 2u);   // the first request of each
    {
        // The window (and its chart) goes before the services it shows, as in the terminal.
        MainWindow window(terminal);
        config::LoginRecord record = configuration.login_record();
        core::set_field_text(record.server, "Other-Live");
        configuration.set_login_record(record);
        window.handle_notification(core::Notification::Reconnect, 0);
        EXPECT_EQ(center.queued_requests(), 0u) << "the old account's requests are dropped";
        EXPECT_FALSE(center.state("EURUSD", 240)->request_pending);
        // The open history was reloaded from the new server's folder, which holds no bars.
        EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 0u);
    }
    terminal.shutdown();
}

}  // namespace
}  // namespace kb::ui
