#include "ui/terminal_services.h"

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"

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
    if (services.terminal_config)
        core::create_service(services.accounts_base, terminal.program_folder(), *services.terminal_config);
}

}  // namespace kb::ui
