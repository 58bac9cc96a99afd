#include "core/terminal.h"

#include "core/build_info.h"
#include "core/data_folders.h"
#include "core/system_info.h"
#include "platform/folder_identity.h"

namespace kb::core {

Terminal::Terminal(std::string program_folder, platform::Clock& clock, std::string settings_path)
    : program_folder_(std::move(program_folder)),
      clock_(clock),
      journal_(program_folder_, clock),
      settings_(std::move(settings_path)) {}

Terminal::~Terminal() {
    shutdown();
    journal_.close();
}

uint32_t Terminal::folder_identity() const { return platform::folder_identity_value(program_folder_); }

void Terminal::start(ServiceFactory* factory) {
    if (started_) return;
    // Every kernel this builds on is new enough; the text is only reported.
    os_version_ = os_version_text();
    if (factory) factory->create_configuration(*this);
    prepare_data_folders(program_folder_);
    install_downloaded_updater(program_folder_);
    if (factory) factory->create_services(*this);
    journal_.write(Level::Info, "%s build %d started", branding_.short_name().c_str(), kProgramBuild);
    started_ = true;
}

void Terminal::shutdown() {
    if (!started_) return;
    started_ = false;
    services_.server_session.reset();
    // The services that arrive later take their places in this order: WhiteLabels,
    // LanguagePack, (DisplayMetrics), NewsBase, Mailbox, AlertsBase, TradeDispatcher,
    // TradeBase, then the symbols base, then HistoryCenter, then the last three.
    services_.trade_dispatcher.reset();
    services_.trade_base.reset();
    services_.symbols_base.reset();
    services_.history_center.reset();
    services_.accounts_base.reset();
    services_.server_probe.reset();
    services_.server_list.reset();
    services_.terminal_config.reset();
    journal_.write(Level::Info, "%s build %d stopped", branding_.short_name().c_str(), kProgramBuild);
    journal_.flush();
}

void Terminal::notify(Notification code, intptr_t value) { post(notifier_.load(), code, value); }

void Terminal::add_watchdog(std::function<void()> tick, std::string name) {
    watchdogs_.push_back(std::move(tick));
    watchdog_names_.push_back(std::move(name));
}

void Terminal::run_watchdogs() {
    for (auto& tick : watchdogs_) tick();
}

}  // namespace kb::core
