#include "ui/login_choice.h"

#include <optional>

#include "config/accounts_base.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"

namespace kb::ui {

namespace {

constexpr int32_t kSelectableServer = 1;

std::string check_choice(const LoginChoice& choice) {
    if (choice.login < 1) return "the login must be a number from 1";
    if (choice.password.empty()) return "the password is empty";
    static_assert(kMaxPasswordLength + 1 == sizeof(config::LoginRecord::password));
    if (choice.password.size() > static_cast<size_t>(kMaxPasswordLength)) return "the password is longer than 15 characters";
    if (choice.server.empty() || choice.server.front() == ':') return "no server is given";
    if (choice.server.size() >= sizeof(net::AccessPointRecord::address))
        return "the server text is longer than 63 characters";
    return {};
}

// The name of the server the text designates, adding a typed-in server to the list.
std::optional<std::string> resolve_server(config::ServerList& servers, const std::string& text) {
    if (std::optional<std::string> known = servers.find_by_name_or_address(text)) return known;
    net::AccessPointRecord point{};
    core::set_field_text(point.address, text);
    if (!servers.update_server(text, text, kSelectableServer, {&point, 1})) return std::nullopt;
    return text;
}

}  // namespace

LoginChoice current_login_choice(config::TerminalConfig& config) {
    const config::LoginRecord record = config.login_record();
    return LoginChoice{record.login, std::string(core::field_text(record.password)),
                       std::string(core::field_text(record.server)), record.keep_personal_data != 0};
}

std::optional<LoginChoice> saved_login_choice(config::AccountsBase& accounts, int32_t login, bool keep_personal_data) {
    std::optional<config::AccountSnapshot> account = accounts.find(login);
    if (!account) return std::nullopt;
    return LoginChoice{login, std::string(core::field_text(account->password)),
                       std::string(core::field_text(account->server)), keep_personal_data};
}

bool apply_login_choice(config::TerminalConfig& config, config::ServerList& servers, const LoginChoice& choice,
                        std::string& error) {
    error = check_choice(choice);
    if (!error.empty()) return false;
    std::optional<std::string> server = resolve_server(servers, choice.server);
    if (!server) {
        error = "'" + choice.server + "' can't name a server";
        return false;
    }
    config::LoginRecord record = config.login_record();
    record.login = choice.login;
    core::set_field_text(record.password, choice.password);
    core::set_field_text(record.server, *server);
    record.server_chosen = 1;
    record.keep_personal_data = choice.keep_personal_data ? 1 : 0;
    config.set_login_record(record);
    return true;
}

}  // namespace kb::ui
