#include "ui/composition_root.h"

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/server_probe.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/time_text.h"
#include "market/history_center.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "session/server_session.h"
#include "session/symbols_store.h"
#include "session/trade_dispatcher.h"
#include "session/trade_store.h"
#include "trade/trade_base.h"
#include "trade/trade_base_requests.h"

namespace kb::ui {

namespace {

// A chart setting below one bar would keep no history at all.
size_t bar_limit(int32_t bars) { return static_cast<size_t>(bars > 0 ? bars : config::kDefaultMaxBars); }

}  // namespace

std::pair<size_t, size_t> ChartSettingsBarLimits::current() {
    const config::ChartSettings charts = config_.chart_settings();
    return {bar_limit(charts.bars_per_chart), bar_limit(charts.bars_per_history_file)};
}

void CompositionRoot::create_configuration(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    config::ServerList* servers = core::create_service(services.server_list, terminal.program_folder(),
                                                       terminal.clock(), platform::system_random(),
                                                       &terminal.settings());
    if (servers) core::create_service(services.server_probe, *servers, terminal.clock(), terminal.clock());
    config::TerminalConfig* configuration =
        core::create_service(services.terminal_config, terminal.program_folder(), terminal.clock(),
                             platform::system_random(), servers, sound_, starter_);
    if (servers) servers->load_all(terminal.branding().company_name());
    // Branding files may name a server of their own; until they are read there is none.
    if (configuration) configuration->load_all(config::BrandingServer::Absent);
}

void CompositionRoot::create_services(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    create_history(terminal);
    create_symbols(terminal);
    if (services.history_center) services.history_center->set_symbols(services.symbols_base.get());
    create_trade(terminal);
    create_trade_dispatcher(terminal);
    if (services.terminal_config)
        core::create_service(services.accounts_base, terminal.program_folder(), *services.terminal_config,
                             platform::system_random());
    create_session(terminal);
    add_watchdogs(terminal);
    indicator_catalogue_.load(chart::indicator_catalogue_path(terminal.program_folder()),
                              core::local_seconds(terminal.clock()));
}

void CompositionRoot::save_indicator_catalogue(const core::Terminal& terminal) {
    indicator_catalogue_.save_if_changed(chart::indicator_catalogue_path(terminal.program_folder()));
}

void CompositionRoot::create_history(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config || !services.server_list) return;
    if (!session_notifier_) session_notifier_ = std::make_unique<session::TerminalNotifier>(terminal);
    const config::LoginRecord account = services.terminal_config->login_record();
    const config::ChartSettings charts = services.terminal_config->chart_settings();
    history_login_ =
        std::make_unique<session::HistorySyncLogin>(*services.terminal_config, *services.server_list, terminal.journal());
    bar_limits_ = std::make_unique<ChartSettingsBarLimits>(*services.terminal_config);
    market::HistoryCenter* history = core::create_service(
        services.history_center,
        market::HistoryCenterEnvironment{
            .settings = {.program_folder = terminal.program_folder(),
                         .server = std::string(core::field_text(account.server)),
                         .max_bars_in_memory = bar_limit(charts.bars_per_chart),
                         .max_bars_in_file = bar_limit(charts.bars_per_history_file)},
            .clock = terminal.clock(),
            .journal = &terminal.journal(),
            .notifier = session_notifier_.get(),
            .limits = bar_limits_.get()});
    if (!history) return;
    history->set_synchronisation(std::make_unique<session::HistorySynchroniser>(
        *history, session::HistorySynchroniserEnvironment{.clock = terminal.clock(),
                                                          .stream_clock = terminal.clock(),
                                                          .journal = &terminal.journal(),
                                                          .login = *history_login_}));
    history_store_ = std::make_unique<session::HistoryStore>(*history);
}

void CompositionRoot::create_symbols(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config) return;
    const config::LoginRecord account = services.terminal_config->login_record();
    market::SymbolsBase* symbols =
        core::create_service(services.symbols_base, terminal.program_folder(),
                             std::string(core::field_text(account.server)), &terminal.journal(),
                             services.history_center.get());
    if (symbols) symbols_store_ = std::make_unique<session::SymbolsStore>(*symbols);
}

void CompositionRoot::create_trade(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!session_notifier_) session_notifier_ = std::make_unique<session::TerminalNotifier>(terminal);
    trade::TradeBase* trades = core::create_service(services.trade_base, services.symbols_base.get(),
                                                    &terminal.journal(), session_notifier_.get(), terminal.clock());
    // The symbols base keeps the traded and charted symbols selected; it asks before taking
    // its lock.
    if (services.symbols_base) services.symbols_base->set_usage_sources(trades, services.history_center.get());
    if (!trades) return;
    trade_store_ = std::make_unique<session::TradeStore>(*trades, terminal.clock());
}

void CompositionRoot::create_trade_dispatcher(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config || !services.server_list) return;
    if (services.trade_base)
        trade_requests_ =
            std::make_unique<trade::TradeBaseRequests>(*services.trade_base, services.symbols_base.get());
    core::create_service(services.trade_dispatcher,
                         session::TradeContextEnvironment{.clock = terminal.clock(),
                                                          .stream_clock = terminal.clock(),
                                                          .journal = terminal.journal(),
                                                          .config = *services.terminal_config,
                                                          .servers = *services.server_list,
                                                          .trade = trade_requests_.get()});
}

void CompositionRoot::create_session(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config || !services.server_list) return;
    if (!session_notifier_) session_notifier_ = std::make_unique<session::TerminalNotifier>(terminal);
    core::create_service(services.server_session,
                         session::SessionEnvironment{.program_folder = terminal.program_folder(),
                                                     .clock = terminal.clock(),
                                                     .stream_clock = terminal.clock(),
                                                     .journal = terminal.journal(),
                                                     .notifier = *session_notifier_,
                                                     .starter = starter_,
                                                     .config = *services.terminal_config,
                                                     .servers = *services.server_list,
                                                     .accounts = services.accounts_base.get(),
                                                     .company = terminal.branding().company_name(),
                                                     .sinks = sinks(services),
                                                     .probe = services.server_probe.get()});
}

// The timer's steps in their order: the connection watchdog, then the trade channels'.
void CompositionRoot::add_watchdogs(core::Terminal& terminal) {
    terminal.add_watchdog(
        [&terminal] {
            if (session::ServerSession* session = terminal.services().server_session.get()) session->watchdog();
        },
        kConnectionWatchdog);
    terminal.add_watchdog(
        [&terminal] {
            if (session::TradeDispatcher* dispatcher = terminal.services().trade_dispatcher.get()) dispatcher->watchdog();
        },
        kTradeChannelsWatchdog);
}

session::SessionSinks CompositionRoot::sinks(core::Services& services) {
    session::SessionSinks sinks;
    sinks.symbols = symbols_store_.get();
    sinks.history = history_store_.get();
    sinks.trade = trade_store_.get();
    sinks.channels = services.trade_dispatcher.get();
    // No news or mail store exists yet: the session reads their pushes and drops them.
    return sinks;
}

}  // namespace kb::ui
