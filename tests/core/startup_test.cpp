#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "core/branding.h"
#include "core/data_folders.h"
#include "core/display_metrics.h"
#include "core/strings.h"
#include "core/terminal.h"
#include "core/window_title.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::core {
namespace {

void write_text(const std::string& path, std::string_view text) {
    ASSERT_TRUE(platform::write_file_atomic(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
}

std::string read_text(const std::string& path) {
    auto bytes = platform::read_file(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

struct Startup : ::testing::Test {
    kb::testing::TempFolder home;
    kb::testing::TempFolder user;
    platform::ManualClock clock{1'700'000'000};   // 2023-11-14 22:13:20 UTC
    std::string file(std::string_view name) { return platform::join_path(home.path(), name); }
    std::string day_file() { return file("logs/20231114.log"); }
};

TEST_F(Startup, MakesTheMissingDataFolders) {
    ASSERT_TRUE(platform::make_directory(file("config")));
    write_text(file("config/server.ini"), "kept");
    {
        Terminal terminal(home.path(), clock, user.file("settings"));
        EXPECT_EQ(terminal.os_version(), "");
        terminal.start(nullptr);
        EXPECT_EQ(terminal.os_version().rfind("Linux ", 0), 0u) << terminal.os_version();
    }
    for (std::string_view name : {"config", "logs", "history", "profiles", "mailbox"})
        EXPECT_TRUE(platform::directory_exists(file(name))) << name;
    EXPECT_EQ(read_text(file("config/server.ini")), "kept");
}

TEST_F(Startup, JournalsStartAndStopWithTheShortNameAndBuild) {
    {
        Terminal terminal(home.path(), clock, user.file("settings"));
        terminal.branding().set_short_name("Acme Mobile");
        terminal.start(nullptr);
        clock.advance_ms(65'000);
        terminal.shutdown();
        terminal.shutdown();   // only the first stop is journalled
    }
    EXPECT_EQ(read_text(day_file()),
              "22:13:20 Acme Mobile build 445 started\r\n"
              "22:14:25 Acme Mobile build 445 stopped\r\n");
}

TEST_F(Startup, ContextThatEndsWithoutShutdownStillJournalsTheStop) {
    {
        Terminal terminal(home.path(), clock, user.file("settings"));
        terminal.start(nullptr);
    }
    EXPECT_EQ(read_text(day_file()),
              "22:13:20 Kestrelbay Mobile build 445 started\r\n"
              "22:13:20 Kestrelbay Mobile build 445 stopped\r\n");
}

// Records the order of the start steps the factory sees.
struct StepRecorder final : ServiceFactory {
    std::vector<std::string> steps;
    void create_configuration(Terminal& terminal) override {
        steps.push_back(platform::directory_exists(platform::join_path(terminal.program_folder(), "logs"))
                            ? "configuration after folders"
                            : "configuration before folders");
    }
    void create_services(Terminal& terminal) override {
        bool swapped = platform::file_exists(platform::join_path(terminal.program_folder(), "refreshkit"));
        steps.push_back(swapped ? "services after updater swap" : "services before updater swap");
    }
};

TEST_F(Startup, RunsTheFactoryAroundTheFolderSteps) {
    write_text(file("refreshkit.new"), "new updater");
    StepRecorder recorder;
    Terminal terminal(home.path(), clock, user.file("settings"));
    terminal.start(&recorder);
    terminal.start(&recorder);   // a second start changes nothing
    EXPECT_EQ(recorder.steps, (std::vector<std::string>{"configuration before folders", "services after updater swap"}));
}

struct UpdaterCase {
    const char* name;
    bool download;
    enum { Absent, File, ReadOnlyFile, Folder } updater;
    UpdaterSwap expected;
};

TEST(DownloadedUpdater, ReplacesTheUpdaterOnlyWhenTheCopyWorks) {
    const UpdaterCase cases[] = {
        {"first install", true, UpdaterCase::Absent, UpdaterSwap::Installed},
        {"replace", true, UpdaterCase::File, UpdaterSwap::Installed},
        {"read-only updater", true, UpdaterCase::ReadOnlyFile, UpdaterSwap::Kept},
        {"folder in its place", true, UpdaterCase::Folder, UpdaterSwap::Kept},
        {"nothing downloaded", false, UpdaterCase::File, UpdaterSwap::NothingDownloaded},
    };
    for (const UpdaterCase& c : cases) {
        SCOPED_TRACE(c.name);
        kb::testing::TempFolder home;
        std::string updater = home.file("refreshkit");
        std::string download = home.file("refreshkit.new");
        if (c.download) {
            write_text(download, "new updater");
            ASSERT_EQ(::chmod(download.c_str(), 0755), 0);
        }
        if (c.updater == UpdaterCase::File || c.updater == UpdaterCase::ReadOnlyFile) write_text(updater, "old updater");
        if (c.updater == UpdaterCase::ReadOnlyFile) {
            ASSERT_EQ(::chmod(updater.c_str(), 0444), 0);
        }
        if (c.updater == UpdaterCase::Folder) {
            ASSERT_TRUE(platform::make_directory(updater));
        }

        EXPECT_EQ(install_downloaded_updater(home.path()), c.expected);

        if (c.expected == UpdaterSwap::Installed) {
            EXPECT_EQ(read_text(updater), "new updater");
            EXPECT_FALSE(platform::file_exists(download));
            struct stat info {};
            ASSERT_EQ(::stat(updater.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0111, 0111u) << "the updater must stay executable";
        } else if (c.expected == UpdaterSwap::Kept) {
            EXPECT_EQ(read_text(download), "new updater");
            if (c.updater == UpdaterCase::ReadOnlyFile) {
                EXPECT_EQ(read_text(updater), "old updater");
            }
            if (c.updater == UpdaterCase::Folder) {
                EXPECT_TRUE(platform::directory_exists(updater));
            }
        } else {
            EXPECT_EQ(read_text(updater), "old updater");
        }
    }
}

TEST(Branding, KeepsTextsToTheirLimitsInCharacters) {
    Branding branding;
    EXPECT_EQ(branding.company_name(), "Quorvantis Software Corp.");
    EXPECT_EQ(branding.program_title(), "Kestrelbay 4 Mobile");
    EXPECT_EQ(branding.short_name(), "Kestrelbay Mobile");

    branding.set_short_name(std::string(40, 'x'));
    EXPECT_EQ(branding.short_name(), std::string(32, 'x'));
    // 33 two-byte characters keep 32 of them whole.
    std::string umlauts;
    for (int i = 0; i < 33; ++i) umlauts += "\xC3\xA4";
    branding.set_short_name(umlauts);
    EXPECT_EQ(branding.short_name(), umlauts.substr(0, 64));
    branding.set_program_title(std::string(129, 'y'));
    EXPECT_EQ(branding.program_title().size(), 128u);
    branding.reset_to_defaults();
    EXPECT_EQ(branding.short_name(), "Kestrelbay Mobile");
}

TEST(DisplayMetrics, ScalesByTheResolutionRoundedDownToNinetySix) {
    const std::tuple<int, int, int> cases[] = {
        // measured dpi, size at 96 dpi, pixels
        {96, 10, 10}, {120, 10, 10}, {192, 10, 20}, {200, 7, 14}, {288, 5, 15}, {72, 10, 10}, {0, 8, 8},
    };
    for (auto [measured, size, pixels] : cases) {
        DisplayMetrics metrics;
        metrics.dpi_x = metrics.dpi_y = DisplayMetrics::round_dpi(measured);
        EXPECT_EQ(metrics.scale(size), pixels) << measured;
        EXPECT_EQ(metrics.scale_x(size), pixels) << measured;
    }
    DisplayMetrics odd{144, 144, 0, 0, 0};   // unrounded: (3 * 144 + 48) / 96
    EXPECT_EQ(odd.scale(3), 5);
}

TEST(WindowTitle, ShowsLoginTitleAndAccountKind) {
    const std::pair<std::optional<TitleAccount>, const char*> cases[] = {
        {std::nullopt, "Kestrelbay 4 Mobile"},
        {TitleAccount{1234, AccountKind::Real}, "1234: Kestrelbay 4 Mobile"},
        {TitleAccount{77, AccountKind::Demo}, "77: Kestrelbay 4 Mobile - Demo Account"},
        {TitleAccount{5, AccountKind::Contest}, "5: Kestrelbay 4 Mobile - Contest Account"},
    };
    for (const auto& [account, title] : cases) EXPECT_EQ(window_title(account, "Kestrelbay 4 Mobile", builtin_text), title);
    auto german = [](int id) -> std::string_view { return id == kTextDemoAccount ? "Demokonto" : "?"; };
    EXPECT_EQ(window_title(TitleAccount{9, AccountKind::Demo}, "KB", german), "9: KB - Demokonto");
}

TEST(BuiltinTexts, HoldTheTabNamesAndMessages) {
    const std::pair<int, const char*> cases[] = {
        {5500, "Quotes"}, {5501, "Chart"}, {5502, "Trade"}, {5503, "History"}, {5504, "News"},
        {5017, "Account disabled"}, {5019, "Invalid account"}, {5048, "Public key not found"},
        {5067, "Demo Account"}, {5082, "Contest Account"}, {5045, ""}, {0, ""},
    };
    for (auto [id, text] : cases) EXPECT_EQ(builtin_text(id), text) << id;
}

// Records what the context hands to the user interface.
struct RecordingNotifier final : platform::Notifier {
    std::vector<std::pair<int, intptr_t>> posted;
    void post(int code, intptr_t value) override { posted.emplace_back(code, value); }
    intptr_t send(int, intptr_t) override { return 0; }
};

TEST_F(Startup, NotificationsReachOnlyAPublishedNotifier) {
    Terminal terminal(home.path(), clock, user.file("settings"));
    RecordingNotifier notifier;
    terminal.notify(Notification::Symbols, 0);
    terminal.set_notifier(&notifier);
    terminal.notify(Notification::SelectTab, 3);
    terminal.set_notifier(nullptr);
    terminal.notify(Notification::Quotes, 0);
    EXPECT_EQ(notifier.posted, (std::vector<std::pair<int, intptr_t>>{{9, 3}}));
}

TEST_F(Startup, WatchdogsRunInTheOrderAdded) {
    Terminal terminal(home.path(), clock, user.file("settings"));
    std::string ran;
    terminal.add_watchdog([&] { ran += "connection "; });
    terminal.add_watchdog([&] { ran += "dispatcher "; });
    terminal.run_watchdogs();
    terminal.run_watchdogs();
    EXPECT_EQ(ran, "connection dispatcher connection dispatcher ");
}

}  // namespace
}  // namespace kb::core
