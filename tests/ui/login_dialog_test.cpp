#include <gtest/gtest.h>

// Before Qt's headers: Qt defines "slots" as a word of its own, and the sound table has
// a field of that name.
#include "config/terminal_config.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTreeWidget>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "core/fixed_text.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/qt_application.h"
#include "ui/login_choice.h"
#include "ui/login_dialog.h"
#include "ui/main_window.h"
#include "ui/composition_root.h"

namespace kb::ui {
namespace {

class RecordingNotifier final : public platform::Notifier {
public:
    void post(int code, intptr_t value) override {
        std::lock_guard guard(lock_);
        posted_.emplace_back(core::notification_of(code), value);
    }
    intptr_t send(int, intptr_t) override { return 0; }
    std::vector<std::pair<core::Notification, intptr_t>> posted() {
        std::lock_guard guard(lock_);
        return posted_;
    }

private:
    std::mutex lock_;
    std::vector<std::pair<core::Notification, intptr_t>> posted_;
};

struct LoginDialogTest : ::testing::Test {
    static void SetUpTestSuite() { kb::testing::ensure_qt_application(); }

    LoginDialogTest() {
        terminal.start(&factory);
        terminal.set_notifier(&notifier);
    }
    ~LoginDialogTest() override {
        terminal.set_notifier(nullptr);
        terminal.shutdown();
    }

    config::TerminalConfig& configuration() { return *terminal.services().terminal_config; }
    config::ServerList& servers() { return *terminal.services().server_list; }
    bool record_is(const config::LoginRecord& expected) {
        const config::LoginRecord now = configuration().login_record();
        return std::memcmp(&expected, &now, sizeof now) == 0;
    }

    static void fill(LoginDialog& dialog, const QString& login, const QString& password, const QString& server,
                     bool keep) {
        dialog.login_field()->setEditText(login);
        dialog.password_field()->setText(password);
        dialog.server_field()->setEditText(server);
        dialog.keep_personal_data_field()->setChecked(keep);
    }

    kb::testing::TempFolder home;
    platform::ManualClock clock;
    platform::SilentSoundPlayer sound;
    kb::testing::RecordingProcessStarter starter;
    CompositionRoot factory{sound, starter};
    core::Terminal terminal{home.path(), clock, home.file("settings")};
    RecordingNotifier notifier;
};

TEST_F(LoginDialogTest, OkSetsTheLoginRecordAndPostsReconnect) {
    // A known name or access point keeps the list's name; anything else is added as typed.
    const std::pair<const char*, const char*> cases[] = {
        {"Quorvantis-Demo", "Quorvantis-Demo"},
        {"127.0.0.1:4443", "Quorvantis-Demo"},
        {"10.1.2.3:4445", "10.1.2.3:4445"},
    };
    int login = 1001;
    for (auto [typed, stored] : cases) {
        LoginDialog dialog(terminal);
        int chosen = 0;
        QObject::connect(&dialog, &LoginDialog::login_chosen, [&] { ++chosen; });
        fill(dialog, QString::number(++login), "secret1", typed, false);
        dialog.accept();

        EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed;
        EXPECT_EQ(chosen, 1) << typed;
        EXPECT_TRUE(dialog.error_text().isEmpty()) << dialog.error_text().toStdString();
        config::LoginRecord record = configuration().login_record();
        EXPECT_EQ(record.login, login) << typed;
        EXPECT_EQ(core::field_text(record.password), "secret1") << typed;
        EXPECT_EQ(core::field_text(record.server), stored) << typed;
        EXPECT_EQ(record.keep_personal_data, 0) << typed;
        EXPECT_EQ(record.server_chosen, 1) << typed;
        // Saved, not only held in memory.
        configuration().load_login_record();
        EXPECT_EQ(configuration().login_record().login, login) << typed;
    }
    const std::vector<std::pair<core::Notification, intptr_t>> reconnects(3, {core::Notification::Reconnect, 0});
    EXPECT_EQ(notifier.posted(), reconnects);

    std::optional<config::ServerEntry> typed = servers().find_copy("10.1.2.3:4445");
    ASSERT_TRUE(typed);
    ASSERT_EQ(typed->access_points.size(), 1u);
    EXPECT_EQ(config::address_of(typed->access_points[0]), "10.1.2.3:4445");
    EXPECT_EQ(core::field_text(typed->record.company), "10.1.2.3:4445");
    EXPECT_EQ(typed->record.type, 1);
}

TEST_F(LoginDialogTest, UnusableChoiceKeepsTheDialogOpenAndChangesNothing) {
    struct Case {
        const char* login;
        const char* password;
        const char* server;
    };
    const Case cases[] = {
        {"", "secret1", "Quorvantis-Demo"},    {"abc", "secret1", "Quorvantis-Demo"},
        {"0", "secret1", "Quorvantis-Demo"},   {"-5", "secret1", "Quorvantis-Demo"},
        {"1001", "", "Quorvantis-Demo"},       {"1001", "secret1", ""},
        {"1001", "secret1", ":443"},           {"1001", "secret1", "a/b"},
    };
    const config::LoginRecord before = configuration().login_record();
    for (const Case& c : cases) {
        LoginDialog dialog(terminal);
        dialog.open();
        fill(dialog, c.login, c.password, c.server, true);
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible()) << c.login << " " << c.password << " " << c.server;
        EXPECT_FALSE(dialog.error_text().isEmpty()) << c.login << " " << c.password << " " << c.server;
        EXPECT_TRUE(record_is(before)) << c.login << " " << c.password << " " << c.server;
    }
    EXPECT_TRUE(notifier.posted().empty());
}

TEST_F(LoginDialogTest, OpensWithTheCurrentAccountAndFillsFromASavedOne) {
    std::string error;
    ASSERT_TRUE(apply_login_choice(configuration(), servers(), {3003, "current", "Quorvantis-Demo", true}, error));
    config::AccountSnapshot saved{};
    saved.login = 2002;
    core::set_field_text(saved.password, "saved2");
    core::set_field_text(saved.server, "10.9.9.9:443");
    core::set_field_text(saved.name, "Ann Example");
    ASSERT_TRUE(terminal.services().accounts_base->add_or_replace(saved));

    LoginDialog dialog(terminal);
    EXPECT_EQ(dialog.login_field()->currentText(), "3003");
    EXPECT_EQ(dialog.password_field()->text(), "current");
    EXPECT_EQ(dialog.server_field()->currentText(), "Quorvantis-Demo");
    EXPECT_TRUE(dialog.keep_personal_data_field()->isChecked());
    EXPECT_GE(dialog.server_field()->findText("Quorvantis-Demo"), 0);
    EXPECT_EQ(dialog.password_field()->echoMode(), QLineEdit::Password);

    int index = dialog.login_field()->findText("2002");
    ASSERT_GE(index, 0);
    dialog.login_field()->setCurrentIndex(index);
    emit dialog.login_field()->activated(index);
    EXPECT_EQ(dialog.password_field()->text(), "saved2");
    EXPECT_EQ(dialog.server_field()->currentText(), "10.9.9.9:443");
}

TEST_F(LoginDialogTest, ServerListShowsTheAccessPointsMeasuredStatesAndTimes) {
    std::vector<config::AccessPointRecord> points(3);
    core::set_field_text(points[0].address, "10.0.0.1:443");
    core::set_field_text(points[1].address, "10.0.0.2:443");
    core::set_field_text(points[2].address, "10.0.0.3:443");
    for (config::AccessPointRecord& point : points) point.time_ms = config::kNeverMeasuredMs;
    ASSERT_TRUE(servers().update_server("Broker-Live", "Broker Ltd", 1, points));
    const config::ProbeMeasurement measured[] = {{"10.0.0.1:443", 250}, {"10.0.0.2:443", config::kFailedMs}};
    servers().apply_probe_results("Broker-Live", measured);

    LoginDialog dialog(terminal);
    dialog.server_field()->setEditText("Broker-Live");
    QTreeWidget* list = dialog.access_points_list();
    std::vector<QStringList> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        rows.push_back({item->text(0), item->text(1), item->text(2)});
    }
    // In the order a connect tries them: by time, the failed one passed over there.
    const std::vector<QStringList> expected = {{"10.0.0.1:443", "reachable", "250 ms"},
                                               {"10.0.0.2:443", "unreachable", "failed"},
                                               {"10.0.0.3:443", "not measured", ""}};
    EXPECT_EQ(rows, expected);

    dialog.server_field()->setEditText("somewhere.else:443");
    EXPECT_EQ(list->topLevelItemCount(), 0) << "a typed-in host has no list entry";
}

TEST_F(LoginDialogTest, LoginChoiceLimitsAreTheRecordsFieldSizes) {
    const config::LoginRecord before = configuration().login_record();
    std::string error;
    EXPECT_FALSE(apply_login_choice(configuration(), servers(), {1, std::string(16, 'p'), "Quorvantis-Demo", true}, error));
    EXPECT_NE(error.find("15"), std::string::npos) << error;
    EXPECT_FALSE(apply_login_choice(configuration(), servers(), {1, "pw", std::string(64, 's'), true}, error));
    EXPECT_TRUE(record_is(before));

    EXPECT_TRUE(apply_login_choice(configuration(), servers(), {1, std::string(15, 'p'), std::string(63, 's'), true}, error))
        << error;
    EXPECT_EQ(core::field_text(configuration().login_record().password), std::string(15, 'p'));
    EXPECT_EQ(core::field_text(configuration().login_record().server), std::string(63, 's'));
}

TEST_F(LoginDialogTest, FileMenuOpensTheDialogWithoutBlocking) {
    MainWindow window(terminal);
    QAction* login_action = nullptr;
    for (QAction* menu : window.menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text() == "&Login...") login_action = action;
    ASSERT_NE(login_action, nullptr);
    login_action->trigger();
    LoginDialog* dialog = window.findChild<LoginDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    // A second trigger brings back the same dialog.
    login_action->trigger();
    EXPECT_EQ(window.findChildren<LoginDialog*>().size(), 1);
}

}  // namespace
}  // namespace kb::ui
