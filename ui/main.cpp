// The terminal program: one instance per user, start, the main window's event loop,
// orderly shutdown.
#include <QApplication>
#include <cstdio>
#include <memory>

#include "config/server_list.h"
#include "core/terminal.h"
#include "platform/clock.h"
#include "platform/folder_identity.h"
#include "platform/process.h"
#include "platform/program_folder.h"
#include "platform/single_instance.h"
#include "platform/system_info.h"
#include "ui/connection_status.h"
#include "ui/display_metrics_qt.h"
#include "ui/login_choice.h"
#include "ui/chart_view.h"
#include "ui/main_window.h"
#include "ui/qt_sound_player.h"
#include "ui/signal_closer.h"
#include "ui/terminal_options.h"
#include "ui/composition_root.h"
#include "ui/terminal_window.h"
#include "ui/window_snapshot.h"

namespace {

constexpr int kExitOtherInstance = 1;
constexpr int kExitStartFailed = 2;

// --login: the account becomes the current one before the session starts, so that its
// first attempt already uses it.
bool log_in_from_command_line(kb::core::Terminal& terminal, const kb::ui::TerminalOptions& options,
                              const std::string& password) {
    using namespace kb;
    core::Services& services = terminal.services();
    std::string error = "the configuration could not be loaded";
    if (services.terminal_config && services.server_list) {
        ui::LoginChoice choice = ui::current_login_choice(*services.terminal_config);
        choice.login = *options.login;
        choice.password = password;
        if (!options.server.empty()) choice.server = options.server;
        if (ui::apply_login_choice(*services.terminal_config, *services.server_list, choice, error)) return true;
        if (choice.password.empty()) error += std::string(" (set ") + ui::kPasswordVariable + ")";
    }
    std::fprintf(stderr, "terminal: --login: %s\n", error.c_str());
    return false;
}

int run(kb::core::Terminal& terminal, const kb::ui::TerminalOptions& options, kb::platform::SingleInstance& instance,
        QApplication& app, kb::chart::IndicatorCatalogue& indicators) {
    using namespace kb;
    // Its end stops the session and the services before the notifier goes.
    ui::TerminalWindow running(terminal);
    ui::MainWindow& window = running.window();
    window.chart_view()->set_indicator_catalogue(&indicators);
    if (options.echo_status)
        window.connection_status()->set_echo([](const std::string& text) {
            std::fprintf(stderr, "status: %s\n", text.c_str());
        });
    window.show();
    running.start_session();

    instance.listen([&window] {
        QMetaObject::invokeMethod(&window, [&window] { window.bring_to_front(); }, Qt::QueuedConnection);
    });
    platform::FolderIdentityListener identity;
    identity.start(terminal.program_folder());
    ui::SignalCloser closer(window);
    std::unique_ptr<ui::WindowSnapshot> snapshot;
    if (!options.snapshot_path.empty()) {
        snapshot = std::make_unique<ui::WindowSnapshot>(window, QString::fromStdString(options.snapshot_path),
                                                        options.snapshot_interval_s);
        std::printf("snapshot of the main window: %s\n", options.snapshot_path.c_str());
        std::fflush(stdout);
    }

    int result = app.exec();

    identity.stop();
    instance.stop_listening();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kb;
    // Taken out of the environment before any thread or child process starts.
    const std::string password = platform::take_environment_value(ui::kPasswordVariable);
    std::string program_folder = platform::resolve_program_folder(argc, argv);

    platform::SingleInstance instance;
    switch (instance.check(platform::system_clock())) {
        case platform::InstanceCheck::OtherBroughtToFront: return kExitOtherInstance;
        case platform::InstanceCheck::Failed: return kExitStartFailed;
        case platform::InstanceCheck::First:
        case platform::InstanceCheck::StartAnyway: break;
    }

    QApplication app(argc, argv);
    std::string error;
    std::optional<ui::TerminalOptions> options = ui::parse_terminal_options(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "terminal: %s\n", error.c_str());
        return kExitStartFailed;
    }

    // Declared before the context: the configuration plays through it until shutdown.
    ui::QtSoundPlayer sound;
    core::Terminal terminal(program_folder, platform::system_clock(), core::SettingsStore::default_path());
    if (options->echo_journal)
        terminal.journal().set_echo([](std::string_view line) {
            std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
        });
    ui::fill_display_metrics(terminal.display_metrics(), app.primaryScreen());
    ui::CompositionRoot services(sound, platform::system_process_starter());
    terminal.start(&services);
    if (options->login && !log_in_from_command_line(terminal, *options, password)) {
        services.save_indicator_catalogue(terminal);
        terminal.shutdown();
        return kExitStartFailed;
    }
    int result = run(terminal, *options, instance, app, services.indicator_catalogue());
    services.save_indicator_catalogue(terminal);
    terminal.shutdown();
    return result;
}
