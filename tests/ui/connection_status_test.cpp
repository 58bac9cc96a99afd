#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/terminal.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/connection_status.h"
#include "ui/main_window.h"

namespace kb::ui {
namespace {

TEST(ConnectionStatusText, ReadsEachStateAsItsReturnCodeText) {
    using net::ReturnCode;
    struct Case {
        ReturnCode trade, history;
        uint64_t quotes;
        const char* text;
    };
    const Case cases[] = {
        {ReturnCode::NoConnection, ReturnCode::NoConnection, 0,
         "MainServer: No connection, DataCenter: No connection, quotes: 0"},
        {ReturnCode::Ok, ReturnCode::NoConnection, 12, "MainServer: OK, DataCenter: No connection, quotes: 12"},
        {ReturnCode::Ok, ReturnCode::Ok, 3, "MainServer: OK, DataCenter: OK, quotes: 3"},
        {ReturnCode::InvalidAccount, ReturnCode::NoConnection, 0,
         "MainServer: Invalid account, DataCenter: No connection, quotes: 0"},
        {ReturnCode::AccountDisabled, ReturnCode::OldVersion, 0,
         "MainServer: Account disabled, DataCenter: Old version, quotes: 0"},
        {ReturnCode::PublicKeyNotFound, static_cast<ReturnCode>(250), 0,
         "MainServer: Public key not found, DataCenter: unknown error, quotes: 0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(connection_status_text(c.trade, c.history, c.quotes), c.text) << net::code_value(c.trade);
}

TEST(ConnectionStatus, EchoesStateChangesAtOnceAndQuoteCountsEveryTenTicks) {
    kb::testing::ensure_qt_application();
    ConnectionStatus status;
    std::vector<std::string> echoed;
    status.set_echo([&](const std::string& text) { echoed.push_back(text); });

    status.show_states(net::ReturnCode::NoConnection, net::ReturnCode::NoConnection);   // no change from the start
    EXPECT_TRUE(echoed.empty());
    status.show_states(net::ReturnCode::Ok, net::ReturnCode::NoConnection);
    ASSERT_EQ(echoed.size(), 1u);
    EXPECT_EQ(echoed.back(), "MainServer: OK, DataCenter: No connection, quotes: 0");
    EXPECT_EQ(status.text().toStdString(), echoed.back());

    status.count_quotes();
    status.count_quotes();
    EXPECT_EQ(status.text().toStdString(), "MainServer: OK, DataCenter: No connection, quotes: 2");
    for (int i = 1; i < ConnectionStatus::kQuoteEchoTicks; ++i) status.tick();
    EXPECT_EQ(echoed.size(), 1u) << "the count waits for its tenth tick";
    status.tick();
    ASSERT_EQ(echoed.size(), 2u);
    EXPECT_EQ(echoed.back(), "MainServer: OK, DataCenter: No connection, quotes: 2");

    for (int i = 0; i < ConnectionStatus::kQuoteEchoTicks; ++i) status.tick();
    EXPECT_EQ(echoed.size(), 2u) << "an unchanged count is not repeated";
}

TEST(ConnectionStatus, MainWindowShowsNotConnectedWithoutASession) {
    kb::testing::ensure_qt_application();
    kb::testing::TempFolder home;
    platform::ManualClock clock;
    core::Terminal terminal(home.path(), clock, home.file("settings"));
    MainWindow window(terminal);
    ASSERT_NE(window.connection_status(), nullptr);
    window.handle_notification(core::Notification::ConnectionState, 0);
    window.handle_notification(core::Notification::Quotes, 0);
    EXPECT_EQ(window.connection_status()->text().toStdString(),
              "MainServer: No connection, DataCenter: No connection, quotes: 1");
}

}  // namespace
}  // namespace kb::ui
