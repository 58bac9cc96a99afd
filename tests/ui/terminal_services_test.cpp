#include <gtest/gtest.h>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/terminal.h"
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
#include "ui/terminal_services.h"

namespace kb::ui {
namespace {

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

TEST(TerminalServices, StartCreatesAndLoadsTheServicesAndShutdownDestroysThem) {
    kb::testing::TempFolder home;
    platform::ManualClock clock;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    TerminalServices factory(sound, starter);
    core::Terminal terminal(home.path(), clock, home.file("settings"));

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

// A terminal started in a temporary folder, for the main window's handling of code 21.
struct StartedTerminal {
    StartedTerminal() {
        kb::testing::ensure_qt_application();
        terminal.start(&factory);
    }
    kb::testing::TempFolder home;
    platform::ManualClock clock;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    TerminalServices factory{sound, starter};
    core::Terminal terminal{home.path(), clock, home.file("settings")};
};

TEST(TerminalServices, ReconnectSavesTheAccounts) {
    StartedTerminal started;
    core::Terminal& terminal = started.terminal;
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

TEST(TerminalServices, ReconnectMovesTheHistoryCentreToTheNewAccountsServerAndDropsItsQueue) {
    StartedTerminal started;
    core::Terminal& terminal = started.terminal;
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
    MainWindow window(terminal);

    config::LoginRecord record = configuration.login_record();
    core::set_field_text(record.server, "Other-Live");
    configuration.set_login_record(record);
    window.handle_notification(kNotifyReconnect, 0);
    EXPECT_EQ(center.queued_requests(), 0u) << "the old account's requests are dropped";
    EXPECT_FALSE(center.state("EURUSD", 240)->request_pending);
    // The open history was reloaded from the new server's folder, which holds no bars.
    EXPECT_EQ(center.state("EURUSD", 60)->bar_count, 0u);
    terminal.shutdown();
}

}  // namespace
}  // namespace kb::ui
