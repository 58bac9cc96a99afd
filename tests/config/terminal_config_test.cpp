#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "config/server_list.h"
#include "config/terminal_config.h"
#include "net/scramble.h"
#include "tests/config/config_test_support.h"
#include "tests/support/recording_process_starter.h"
#include "tests/support/recording_sound_player.h"
#include "tests/support/temp_folder.h"

namespace kb::config {
namespace {

using test::access_point;

class TerminalConfigTest : public ::testing::Test {
protected:
    TerminalConfigTest() { platform::make_directory(folder.file("config")); }

    TerminalConfig make_config() { return TerminalConfig(folder.path(), clock, random, &servers, sound, starter); }

    LoginRecord stored_login() {
        std::vector<uint8_t> bytes = test::file_bytes(folder.file("config/server.ini"));
        return parse_login_record(bytes, 0);
    }

    testing::TempFolder folder;
    platform::ManualClock clock{1'700'000'000};
    platform::SeededRandom random{1};
    ServerList servers{folder.path(), clock, random, nullptr};
    testing::RecordingSoundPlayer sound;
    testing::RecordingProcessStarter starter;
};

TEST_F(TerminalConfigTest, NoFilesGiveDefaultsAndWriteNothing) {
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    EXPECT_EQ(config.login_record().max_bars, 16000);
    EXPECT_EQ(config.login_record().created_time, 1'700'000'000);
    EXPECT_EQ(config.chart_settings().bars_per_history_file, 16064);
    EXPECT_EQ(config.trade_settings().value_8, 100);
    EXPECT_EQ(config.sound_events().entries[0].action, "connect.wav");
    EXPECT_FALSE(platform::file_exists(config.login_file()));
    EXPECT_FALSE(platform::file_exists(config.events_file()));
}

TEST_F(TerminalConfigTest, EveryRecordRoundTripsThroughItsFile) {
    {
        TerminalConfig config = make_config();
        config.load_all(BrandingServer::Absent);
        LoginRecord login = config.login_record();
        login.login = 77;
        core::set_field_text(login.password, "pw");
        core::set_field_text(login.server, "Typed");
        login.max_bars = 3000;
        config.set_login_record(login);

        ChartSettings charts = config.chart_settings();
        charts.option_8 = 4;
        config.set_chart_settings(charts);
        TradeSettings trade = config.trade_settings();
        trade.value_12 = 55;
        core::set_field_text(trade.text_32, "lots");
        config.set_trade_settings(trade);
        SoundEvents events = config.sound_events();
        events.entries[3].enabled = 0;
        events.entries[12] = {"Mine", "mine.wav", 1};
        config.set_sound_events(events);
    }
    TerminalConfig reloaded = make_config();
    reloaded.load_all(BrandingServer::Absent);
    EXPECT_EQ(reloaded.login_record().login, 77);
    EXPECT_EQ(core::field_text(reloaded.login_record().password), "pw");
    EXPECT_EQ(core::field_text(reloaded.login_record().server), "Typed");
    EXPECT_EQ(reloaded.chart_settings().option_8, 4);
    EXPECT_EQ(reloaded.chart_settings().bars_per_chart, 3000);
    EXPECT_EQ(reloaded.chart_settings().bars_per_history_file, 3064);
    EXPECT_EQ(reloaded.trade_settings().value_12, 55);
    EXPECT_EQ(core::field_text(reloaded.trade_settings().text_32), "lots");
    EXPECT_EQ(reloaded.sound_events().entries[3].enabled, 0);
    EXPECT_EQ(reloaded.sound_events().entries[12].name, "Mine");

    EXPECT_EQ(platform::file_size(reloaded.charts_file()), 284);
    EXPECT_EQ(platform::file_size(reloaded.trade_file()), 312);
    EXPECT_EQ(platform::file_size(reloaded.events_file()), 5192);
    EXPECT_EQ(platform::file_size(reloaded.login_file()), 776);
}

TEST_F(TerminalConfigTest, PasswordFilesAreReadableByTheOwnerOnly) {
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    config.save_login_record();
    struct stat info{};
    ASSERT_EQ(::stat(config.login_file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST_F(TerminalConfigTest, TradeFileWithNegativeValueLoadsAsZero) {
    TradeSettings stored = default_trade_settings();
    stored.value_8 = -5;
    ASSERT_TRUE(test::write_plain(folder.file("config/trade.ini"), stored));
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    EXPECT_EQ(config.trade_settings().value_8, 0);
    EXPECT_EQ(config.trade_settings().value_12, 100);
}

TEST_F(TerminalConfigTest, ChartDefaultsFollowTheLoadedMaxBars) {
    LoginRecord login = default_login_record(0);
    login.max_bars = 2500;
    uint8_t image[sizeof login];
    serialize_login_record(login, image, random);
    ASSERT_TRUE(test::write_bytes(folder.file("config/server.ini"), image));
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    EXPECT_EQ(config.chart_settings().bars_per_chart, 2500);
    EXPECT_EQ(config.chart_settings().bars_per_history_file, 2564);
}

TEST_F(TerminalConfigTest, SetLoginRecordRaisesMaxBarsAndTerminatesTexts) {
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    LoginRecord login = config.login_record();
    login.max_bars = 100;
    std::memset(login.password, 'p', sizeof login.password);
    std::memset(login.server, 's', sizeof login.server);
    config.set_login_record(login);

    for (const LoginRecord& record : {config.login_record(), stored_login()}) {
        EXPECT_EQ(record.max_bars, 512);
        EXPECT_EQ(record.password[15], '\0');
        EXPECT_EQ(record.server[127], '\0');
    }
    EXPECT_EQ(config.chart_settings().bars_per_chart, 512);
    EXPECT_EQ(config.chart_settings().bars_per_history_file, 576);
}

TEST_F(TerminalConfigTest, KeyFilesReloadWhenLoginOrServerChanges) {
    TerminalConfig config = make_config();
    int loads = 0;
    config.set_key_files_loader([&] { ++loads; });
    config.load_all(BrandingServer::Absent);
    EXPECT_EQ(loads, 1) << "last step of the start-up load";

    LoginRecord login = config.login_record();
    login.enable_news = 0;
    config.set_login_record(login);
    EXPECT_EQ(loads, 1) << "same login and server";
    login.login = 5;
    config.set_login_record(login);
    EXPECT_EQ(loads, 2);
    core::set_field_text(login.server, "Other");
    config.set_login_record(login);
    EXPECT_EQ(loads, 3);
}

TEST_F(TerminalConfigTest, KeepPersonalDataOffSavesAnEmptyPasswordWithChangingFiller) {
    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    LoginRecord login = config.login_record();
    login.keep_personal_data = 0;
    core::set_field_text(login.password, "hunter2");
    config.set_login_record(login);
    std::vector<uint8_t> first = test::file_bytes(config.login_file());
    config.save_login_record();
    std::vector<uint8_t> second = test::file_bytes(config.login_file());

    ASSERT_EQ(first.size(), 776u);
    EXPECT_NE(first, second);
    net::file_unscramble(first);
    net::file_unscramble(second);
    EXPECT_EQ(first[12], 0);
    EXPECT_EQ(second[12], 0);
    EXPECT_NE(std::memcmp(&first[13], &second[13], 15), 0);
    EXPECT_EQ(core::field_text(config.login_record().password), "hunter2") << "memory keeps it for this run";
}

TEST_F(TerminalConfigTest, BrandingValidatesTheServerNameAgainstTheList) {
    servers.update_server("Manual", "Manual", 0, std::vector{access_point("10.0.0.1")});
    servers.update_server("Auto", "Broker Ltd", 1, std::vector{access_point("10.0.0.2")});
    servers.update_server("Known", "Broker Ltd", 0, std::vector{access_point("10.0.0.3")});

    LoginRecord login = default_login_record(0);
    login.server_chosen = 0;
    core::set_field_text(login.server, "Unknown");
    uint8_t image[sizeof login];
    serialize_login_record(login, image, random);
    ASSERT_TRUE(test::write_bytes(folder.file("config/server.ini"), image));

    TerminalConfig plain = make_config();
    plain.load_all(BrandingServer::Absent);
    EXPECT_EQ(core::field_text(plain.login_record().server), "Unknown");

    TerminalConfig branded = make_config();
    branded.load_all(BrandingServer::Present);
    EXPECT_EQ(core::field_text(branded.login_record().server), "Auto") << "first selectable server in list order";
    EXPECT_EQ(branded.login_record().server_chosen, 1);

    LoginRecord known = branded.login_record();
    core::set_field_text(known.server, "Known");
    branded.set_login_record(known);
    EXPECT_EQ(core::field_text(branded.login_record().server), "Known");
}

// ---- playing events ----

class PlayEventTest : public TerminalConfigTest {
protected:
    PlayEventTest() {
        platform::make_directory(folder.file("sounds"));
        test::write_bytes(folder.file("sounds/email.wav"), std::vector<uint8_t>{1});
        test::write_bytes(folder.file("own.wav"), std::vector<uint8_t>{1});
        config.load_all(BrandingServer::Absent);
    }
    void set_action(int slot, const std::string& action, int32_t enabled = 1) {
        SoundEvents events = config.sound_events();
        events.entries[slot].action = action;
        events.entries[slot].enabled = enabled;
        config.set_sound_events(events);
    }
    TerminalConfig config = make_config();
};

TEST_F(PlayEventTest, ActionsPlayFromSoundsFromTheirPathOrOpen) {
    config.play_event(SoundEvent::EmailNotify);
    set_action(9, folder.file("own.wav"));
    config.play_event(9);
    set_action(10, "notes.txt");
    config.play_event(10);
    EXPECT_EQ(sound.played(), (std::vector<std::string>{folder.file("sounds/email.wav"), folder.file("own.wav")}));
    EXPECT_EQ(starter.started(), (std::vector<std::vector<std::string>>{{"xdg-open", "notes.txt"}}));
}

TEST_F(PlayEventTest, SilentCases) {
    config.play_event(SoundEvent::Connect);      // sounds/connect.wav does not exist
    set_action(9, folder.file("missing.wav"));
    config.play_event(9);
    set_action(10, "");
    config.play_event(10);
    set_action(11, "email.wav", 0);
    config.play_event(11);
    config.play_event(-1);
    config.play_event(16);
    config.play_event(15);
    EXPECT_TRUE(sound.played().empty());
    EXPECT_TRUE(starter.started().empty());
}

TEST_F(PlayEventTest, MasterSwitchOtherThanOneSilencesEverything) {
    set_action(10, "notes.txt");
    for (int32_t master : {0, 2}) {
        SoundEvents events = config.sound_events();
        events.sounds_enabled = master;
        config.set_sound_events(events);
        config.play_event(SoundEvent::EmailNotify);
        config.play_event(10);
    }
    EXPECT_TRUE(sound.played().empty());
    EXPECT_TRUE(starter.started().empty());
}

TEST_F(TerminalConfigTest, EventsFileOfVersion400PlaysTheDefaultTable) {
    SoundEventsRecord stored = default_sound_events();
    stored.version = 400;
    stored.sounds_enabled = 0;
    stored.entries[2].enabled = 0;
    ASSERT_TRUE(test::write_plain(folder.file("config/events.ini"), stored));
    platform::make_directory(folder.file("sounds"));
    test::write_bytes(folder.file("sounds/email.wav"), std::vector<uint8_t>{1});

    TerminalConfig config = make_config();
    config.load_all(BrandingServer::Absent);
    config.play_event(SoundEvent::EmailNotify);
    EXPECT_EQ(sound.played(), std::vector<std::string>{folder.file("sounds/email.wav")});
}

}  // namespace
}  // namespace kb::config
