#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "core/terminal.h"
#include "net/digest.h"
#include "net/login_packet.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "server/demo_server.h"
#include "session/server_session.h"
#include "tests/support/fake_server.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/connection_status.h"
#include "ui/login_choice.h"
#include "ui/login_dialog.h"
#include "ui/main_window.h"
#include "ui/qt_notifier.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

const std::string kServerConfig = R"({
  "server": {"name": "Loopback-Demo", "identity": 7, "build": 445},
  "history_days": 1,
  "symbol_groups": ["Forex"],
  "quote_hours": {"always": {"sunday": ["00:00-24:00"], "monday": ["00:00-24:00"], "tuesday": ["00:00-24:00"],
                  "wednesday": ["00:00-24:00"], "thursday": ["00:00-24:00"], "friday": ["00:00-24:00"],
                  "saturday": ["00:00-24:00"]}},
  "groups": [{"name": "demo", "currency": "USD"}],
  "instruments": [{"name": "EURUSD", "digits": 5, "point": 0.00001, "spread": 12, "start_price": 1.1,
                   "margin_currency": "EUR", "profit_currency": "USD", "quote_hours": "always"}]
})";

constexpr int32_t kLogin = 1001;
constexpr int32_t kDisabledLogin = 1002;
constexpr const char* kPassword = "secret1";

// The terminal as the program runs it: its services, main window and notifier, with the
// real clock and threads.
class LiveTerminal : public ::testing::Test {
protected:
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    void SetUp() override {
        terminal.journal().set_echo([this](std::string_view line) {
            std::lock_guard guard(journal_lock);
            journal_lines.emplace_back(line);
        });
        terminal.start(&factory);
        window = std::make_unique<MainWindow>(terminal);
        notifier.set_window(window.get());
        terminal.set_notifier(&notifier);
    }

    void TearDown() override {
        if (session::ServerSession* running = session()) running->stop();
        terminal.set_notifier(nullptr);
        notifier.set_window(nullptr);
        window.reset();
        terminal.shutdown();
    }

    session::ServerSession* session() { return terminal.services().server_session.get(); }

    void log_in_from_dialog(int32_t login, const char* password, const std::string& server) {
        LoginDialog* dialog = window->open_login_dialog();
        dialog->login_field()->setEditText(QString::number(login));
        dialog->password_field()->setText(password);
        dialog->server_field()->setEditText(QString::fromStdString(server));
        dialog->accept();
        ASSERT_EQ(dialog->result(), QDialog::Accepted) << dialog->error_text().toStdString();
    }

    void log_in_without_dialog(int32_t login, const char* password, const std::string& server) {
        std::string error;
        ASSERT_TRUE(apply_login_choice(*terminal.services().terminal_config, *terminal.services().server_list,
                                       {login, password, server, true}, error))
            << error;
        terminal.notify(core::Notification::Reconnect, 0);
    }

    // Runs the event loop until the condition holds, at most 20 s of real time.
    static bool eventually(const std::function<bool()>& condition) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            QApplication::processEvents();
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

    bool journaled(const std::string& line) {
        std::lock_guard guard(journal_lock);
        for (const std::string& text : journal_lines)
            if (text.find(line) != std::string::npos) return true;
        return false;
    }

    QList<QMessageBox*> boxes() const { return window->findChildren<QMessageBox*>(); }
    std::string status_text() const { return window->connection_status()->text().toStdString(); }
    net::ReturnCode trade_state() const { return window->connection_status()->trade_state(); }

    kb::testing::TempFolder home;
    platform::SilentSoundPlayer sound;
    kb::testing::RecordingProcessStarter starter{false};
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), platform::system_clock(), home.file("settings")};
    QtNotifier notifier;
    std::unique_ptr<MainWindow> window;
    std::mutex journal_lock;
    std::vector<std::string> journal_lines;
};

// ... against a demo server on free loopback ports, with an enabled and a disabled account.
class DemoLogin : public LiveTerminal {
protected:
    void SetUp() override {
        std::string error;
        config = server::parse_server_config(kServerConfig, error);
        ASSERT_TRUE(config) << error;
        storage = server::Storage::open(server_folder.file("server.db"), error);
        ASSERT_TRUE(storage) << error;
        add_account(kLogin, kPassword, true);
        add_account(kDisabledLogin, kPassword, false);
        demo = std::make_unique<server::DemoServer>(*config, *storage, platform::system_clock(), server_log);
        ASSERT_TRUE(demo->start({"127.0.0.1", 0}, {"127.0.0.1", 0}, error)) << error;
        LiveTerminal::SetUp();
    }

    void TearDown() override {
        LiveTerminal::TearDown();
        if (demo) demo->stop();
    }

    void add_account(int32_t login, const char* password, bool enabled) {
        server::AccountRow account;
        account.login = login;
        account.password_digest = net::md5(password);
        account.name = "Ann Example";
        account.group = "demo";
        account.enabled = enabled;
        ASSERT_TRUE(storage->create_account(account, 10000));
    }

    std::string trade_address() const { return "127.0.0.1:" + std::to_string(demo->trade_port()); }

    kb::testing::TempFolder server_folder;
    std::optional<server::ServerConfig> config;   // the server refers to it while it runs
    server::ServerLog server_log{platform::system_clock(), [](std::string_view) {}};
    std::unique_ptr<server::Storage> storage;
    std::unique_ptr<server::DemoServer> demo;
};

TEST_F(DemoLogin, AccountSetAtStartLogsInAndTheWindowShowsIt) {
    std::string error;
    ASSERT_TRUE(apply_login_choice(*terminal.services().terminal_config, *terminal.services().server_list,
                                   {kLogin, kPassword, trade_address(), true}, error))
        << error;
    ASSERT_NE(session(), nullptr);
    session()->start();

    ASSERT_TRUE(eventually([&] { return trade_state() == net::ReturnCode::Ok; })) << status_text();
    EXPECT_TRUE(eventually([&] { return window->windowTitle() == "1001: Kestrelbay 4 Mobile"; }))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(journaled("'1001': login"));
    // The Market Watch selection is subscribed, and its quotes reach the status line.
    EXPECT_TRUE(eventually([&] { return window->connection_status()->quote_packets() > 0; })) << status_text();
    EXPECT_TRUE(boxes().isEmpty()) << "no dialog login, no box";
}

TEST_F(DemoLogin, DialogLoginToADisabledAccountShowsItsMessageOnce) {
    int trade_reports = 0;
    QObject::connect(window.get(), &MainWindow::notification_handled, window.get(), [&](core::Notification code, qintptr value) {
        if (code == core::Notification::ConnectionState && value == 0) ++trade_reports;
    });
    log_in_from_dialog(kDisabledLogin, kPassword, trade_address());
    session()->start();

    ASSERT_TRUE(eventually([&] { return !boxes().isEmpty(); })) << status_text();
    const int reports_at_box = trade_reports;
    EXPECT_EQ(trade_state(), net::ReturnCode::AccountDisabled);
    EXPECT_EQ(boxes().front()->text().toStdString(), "Account disabled");
    EXPECT_TRUE(boxes().front()->isVisible());
    // The thread tries again after 5 s and is refused again: still one box.
    ASSERT_TRUE(eventually([&] { return trade_reports > reports_at_box; }));
    EXPECT_EQ(trade_state(), net::ReturnCode::AccountDisabled);
    EXPECT_EQ(boxes().size(), 1);
}

TEST_F(DemoLogin, TheSameRefusalWithoutADialogShowsNoBox) {
    log_in_without_dialog(kDisabledLogin, kPassword, trade_address());
    session()->start();

    ASSERT_TRUE(eventually([&] { return trade_state() == net::ReturnCode::AccountDisabled; })) << status_text();
    EXPECT_TRUE(status_text().starts_with("MainServer: Account disabled")) << status_text();
    QApplication::processEvents();
    EXPECT_TRUE(boxes().isEmpty());
}

// The demo server can't tell a terminal with a wrong password anything it could read, and
// it asks for no secured login, so these refusals come from a scripted server.
TEST_F(LiveTerminal, DialogLoginRefusalsShowTheirMessages) {
    struct Case {
        uint8_t reply;
        net::ReturnCode final_state;
        const char* message;
    };
    const Case cases[] = {
        {65, net::ReturnCode::InvalidAccount, "Invalid account"},
        {64, net::ReturnCode::AccountDisabled, "Account disabled"},
        {11, net::ReturnCode::PublicKeyNotFound, "Public key not found"},   // secured login, and no key pair is stored
    };
    for (const Case& c : cases) {
        kb::testing::FakeServer server;
        const net::ConnectionKey key = net::login_key(net::LoginMode::TradeServer, "wrong1");
        const net::LoginPacketBytes packet = net::build_login_packet(kLogin, key, net::LoginMode::TradeServer);
        server.expect_raw(kb::testing::Bytes(packet.begin(), packet.end())).use_key(key).send({c.reply});
        server.start();
        log_in_from_dialog(kLogin, "wrong1", server.address());
        session()->start();

        ASSERT_TRUE(eventually([&] { return !boxes().isEmpty(); })) << status_text();
        EXPECT_EQ(boxes().front()->text().toStdString(), c.message) << int(c.reply);
        EXPECT_EQ(trade_state(), c.final_state) << int(c.reply);
        // Only a refused password is forgotten, so that the terminal waits for a new one.
        EXPECT_EQ(current_login_choice(*terminal.services().terminal_config).password.empty(), c.reply == 65)
            << int(c.reply);
        session()->stop();
        server.finish();
        EXPECT_TRUE(server.all_matched()) << server.report();
        qDeleteAll(boxes());
    }
}

}  // namespace
}  // namespace kb::ui
