#pragma once
#include <memory>

#include "chart/catalogue/indicator_catalogue.h"
#include "core/terminal.h"
#include "market/history_center.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/history_store.h"
#include "session/history_sync_login.h"
#include "session/history_synchroniser.h"
#include "session/session_services.h"
#include "session/terminal_notifier.h"
#include "trade/request_sink.h"

namespace kb::config {
class TerminalConfig;
}

namespace kb::ui {

// The names of the timer's steps that the services add.
inline constexpr const char* kConnectionWatchdog = "connection";
inline constexpr const char* kTradeChannelsWatchdog = "trade channels";

// The chart settings' bar limits, read again for every history the centre creates, so a
// change of "Maximum bars" reaches the next chart without a restart.
class ChartSettingsBarLimits final : public market::HistoryBarLimits {
public:
    explicit ChartSettingsBarLimits(config::TerminalConfig& config) : config_(config) {}
    std::pair<size_t, size_t> current() override;

private:
    config::TerminalConfig& config_;
};

// The composition root: the one place that wires the terminal's services together, so every
// other class gets what it works with passed in and none builds its own collaborators.
// Creates the terminal's global services in their start order: the server list with its
// probe and the configuration (then loads both), later the symbols base of the current account's
// server, the saved accounts and, last, the server session with its watchdog. The
// services that arrive with later work will be created here in their places; until then
// the session drops what it would feed them. The sound player and the process starter are
// not owned; they and this object must outlive the terminal's services. The stores' random
// file filler and salts come from the machine's generator.
class CompositionRoot final : public core::ServiceFactory {
public:
    CompositionRoot(platform::SoundPlayer& sound, platform::ProcessStarter& starter)
        : sound_(sound), starter_(starter) {}

    void create_configuration(core::Terminal& terminal) override;
    // Ends with loading the indicator list's order of use ("profiles/indicators.dat").
    void create_services(core::Terminal& terminal) override;

    // The indicator list offered to the user, ordered by use.
    chart::IndicatorCatalogue& indicator_catalogue() { return indicator_catalogue_; }
    // Writes the indicator list's file when a use was noted; called at shutdown.
    void save_indicator_catalogue(const core::Terminal& terminal);

private:
    // The history centre comes first: the symbols base hands it the ticks.
    void create_history(core::Terminal& terminal);
    void create_symbols(core::Terminal& terminal);
    // The trade base over the symbols base, and the store that feeds it from the session.
    void create_trade(core::Terminal& terminal);
    // The three trade contexts, which report to the trade base; the session resets them.
    void create_trade_dispatcher(core::Terminal& terminal);
    void create_session(core::Terminal& terminal);
    // The once-a-second steps of the services, in the timer's order.
    void add_watchdogs(core::Terminal& terminal);
    // The stores and services the session feeds; those not created are left out.
    session::SessionSinks sinks(core::Services& services);

    platform::SoundPlayer& sound_;
    platform::ProcessStarter& starter_;
    std::unique_ptr<session::SymbolsSink> symbols_store_;
    std::unique_ptr<session::HistorySyncLogin> history_login_;
    std::unique_ptr<ChartSettingsBarLimits> bar_limits_;
    std::unique_ptr<session::HistoryStore> history_store_;
    std::unique_ptr<session::TradeSink> trade_store_;
    std::unique_ptr<trade::RequestSink> trade_requests_;
    std::unique_ptr<session::TerminalNotifier> session_notifier_;
    chart::IndicatorCatalogue indicator_catalogue_;
};

}  // namespace kb::ui
