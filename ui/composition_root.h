#pragma once
#include <memory>

#include "core/terminal.h"
#include "market/history_center.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "session/history_store.h"
#include "session/history_sync_login.h"
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
// services that arrive with later work are created here in their places; until then the
// session feeds placeholders of them, owned here. The sound player and the process
// starter are not owned; they and this object must outlive the terminal's services.
class CompositionRoot final : public core::ServiceFactory {
public:
    CompositionRoot(platform::SoundPlayer& sound, platform::ProcessStarter& starter)
        : sound_(sound), starter_(starter) {}

    void create_configuration(core::Terminal& terminal) override;
    void create_services(core::Terminal& terminal) override;

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
    // The placeholders, with the stores and services that exist in their places.
    session::SessionSinks sinks(core::Services& services);

    platform::SoundPlayer& sound_;
    platform::ProcessStarter& starter_;
    session::PlaceholderStores placeholders_;
    std::unique_ptr<session::SymbolsSink> symbols_store_;
    std::unique_ptr<session::HistorySyncLogin> history_login_;
    std::unique_ptr<ChartSettingsBarLimits> bar_limits_;
    std::unique_ptr<session::HistoryStore> history_store_;
    std::unique_ptr<session::TradeSink> trade_store_;
    std::unique_ptr<trade::RequestSink> trade_requests_;
    std::unique_ptr<session::TerminalNotifier> session_notifier_;
};

}  // namespace kb::ui
