#include "ui/terminal_services.h"

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "market/symbols_base.h"
#include "platform/clock.h"
#include "session/server_session.h"
#include "session/symbols_store.h"

namespace kb::ui {

void TerminalServices::create_configuration(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    config::ServerList* servers =
        core::create_service(services.server_list, terminal.program_folder(), terminal.clock(), &terminal.settings());
    config::TerminalConfig* configuration = core::create_service(
        services.terminal_config, terminal.program_folder(), terminal.clock(), servers, sound_, starter_);
    if (servers) servers->load_all(terminal.branding().company_name());
    // Branding files may name a server of their own; until they are read there is none.
    if (configuration) configuration->load_all(config::BrandingServer::Absent);
}

void TerminalServices::create_services(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    create_symbols(terminal);
    if (services.terminal_config)
        core::create_service(services.accounts_base, terminal.program_folder(), *services.terminal_config);
    create_session(terminal);
}

void TerminalServices::create_symbols(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config) return;
    const config::LoginRecord account = services.terminal_config->login_record();
    market::SymbolsBase* symbols =
        core::create_service(services.symbols_base, terminal.program_folder(),
                             std::string(core::field_text(account.server)), &terminal.journal(), nullptr);
    if (symbols) symbols_store_ = std::make_unique<session::SymbolsStore>(*symbols);
}

void TerminalServices::create_session(core::Terminal& terminal) {
    core::Services& services = terminal.services();
    if (!services.terminal_config || !services.server_list) return;
    session_notifier_ = std::make_unique<session::TerminalNotifier>(terminal);
    core::create_service(services.server_session,
                         session::SessionEnvironment{terminal.program_folder(), terminal.clock(), terminal.clock(),
                                                     terminal.journal(), *session_notifier_, starter_,
                                                     *services.terminal_config, *services.server_list,
                                                     services.accounts_base.get(), terminal.branding().company_name(),
                                                     sinks()});
    terminal.add_watchdog([&terminal] {
        if (session::ServerSession* session = terminal.services().server_session.get()) session->watchdog();
    });
}

session::SessionSinks TerminalServices::sinks() {
    session::SessionSinks sinks = placeholders_.sinks();
    if (symbols_store_) sinks.symbols = symbols_store_.get();
    return sinks;
}

}  // namespace kb::ui
