#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/terminal.h"
#include "market/symbols_base.h"
#include "trade/trade_base.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/main_window.h"
#include "ui/terminal_services.h"

namespace kb::ui {
namespace {

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

// A terminal in a fresh folder with the services' factory; the tests start it.
struct TerminalServicesTest : ::testing::Test {
    kb::testing::TempFolder home;
    platform::ManualClock clock;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    TerminalServices factory{sound, starter};
    core::Terminal terminal{home.path(), clock, home.file("settings")};
};

TEST_F(TerminalServicesTest, StartCreatesAndLoadsTheServicesAndShutdownDestroysThem) {
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

// The timer's steps come in their order: a connection the session finds dead is dealt
// with before the trade channels' watchdog runs.
TEST_F(TerminalServicesTest, TheTimerRunsTheConnectionWatchdogBeforeTheTradeChannels) {
    terminal.start(&factory);
    const std::vector<std::string>& names = terminal.watchdog_names();
    const auto connection = std::find(names.begin(), names.end(), kConnectionWatchdog);
    const auto channels = std::find(names.begin(), names.end(), kTradeChannelsWatchdog);
    ASSERT_NE(connection, names.end());
    ASSERT_NE(channels, names.end());
    EXPECT_LT(connection, channels);
    terminal.shutdown();
}

TEST_F(TerminalServicesTest, ReconnectSavesTheAccounts) {
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
        window.handle_notification(kNotifyReconnect, 0);
        EXPECT_EQ(platform::file_exists(accounts.file_path()), keep != 0);
    }
}

}  // namespace
}  // namespace kb::ui
