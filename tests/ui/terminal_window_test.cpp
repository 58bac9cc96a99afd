#include "ui/terminal_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/trade_dispatcher.h"
#include "tests/session/session_fixture.h"
#include "tests/support/eurusd_request.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "trade/account_history_period.h"
#include "trade/trade_request.h"
#include "ui/history_view.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

struct NoProcesses final : platform::ProcessStarter {
    bool start_detached(const std::vector<std::string>&) override { return false; }
};

// The terminal's services against a scripted trade server that logs the account in and
// then leaves whatever it is asked unanswered.
class TerminalWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    void SetUp() override {
        session::test::add_login(server);
        server.expect({34}).stall(20000);
        server.start();
        terminal.start(&factory);
        ASSERT_TRUE(terminal.services().terminal_config);
        config::TerminalConfig& configuration = *terminal.services().terminal_config;
        config::LoginRecord login = configuration.login_record();
        login.login = session::test::kLogin;
        std::memset(login.password, 0, sizeof login.password);
        core::set_field_text(login.password, session::test::kPassword);
        std::memset(login.server, 0, sizeof login.server);
        core::set_field_text(login.server, server.address());
        configuration.set_login_record(login);
    }

    kb::testing::FakeServer server{20000};
    kb::testing::TempFolder home;
    platform::SilentSoundPlayer sound;
    NoProcesses starter;
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), platform::system_clock(), home.file("settings")};
};

// The download's end and the trade channel's answer are posted while the window closes;
// what they post to must still be there (AddressSanitizer checks the rest).
TEST_F(TerminalWindowTest, ClosingWithADownloadAndATradeRequestInFlightStopsThemBeforeTheirNotifierGoes) {
    auto running = std::make_unique<TerminalWindow>(terminal);
    ASSERT_TRUE(running->window().history_view()->choose_period(trade::kHistoryLastMonth));
    // Logged in, the history asked for and not answered.
    ASSERT_TRUE(server.wait_for_steps(5)) << server.report();
    session::TradeDispatcher* dispatcher = terminal.services().trade_dispatcher.get();
    ASSERT_TRUE(dispatcher);
    ASSERT_EQ(dispatcher->submit(kb::testing::eurusd_request(trade::kInstantOrder, 0, 10, 1.1, 0, 5), terminal.notifier()),
              net::ReturnCode::Ok);
    ASSERT_TRUE(dispatcher->context(0)->thread_running());

    running.reset();
    EXPECT_FALSE(terminal.started());
    EXPECT_EQ(terminal.notifier(), nullptr);
    EXPECT_FALSE(terminal.services().trade_dispatcher);
    server.release();
    server.finish();
}

}  // namespace
}  // namespace kb::ui
