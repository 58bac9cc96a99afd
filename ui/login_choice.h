#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kb::config {
class AccountsBase;
class ServerList;
class TerminalConfig;
}  // namespace kb::config

namespace kb::ui {

// The login record holds a password of at most this many characters.
inline constexpr int kMaxPasswordLength = 15;

// What a person logs in with: from the login dialog or the terminal's command line.
struct LoginChoice {
    int32_t login = 0;
    std::string password;
    std::string server;   // a known server's name or access point, or a typed "host[:port]"
    bool keep_personal_data = true;
};

// The current account of the login record (login 0 and empty texts when none is set).
// Qt code reads the record through this: the configuration's header can't follow Qt's.
LoginChoice current_login_choice(config::TerminalConfig& config);

// The login, password and server of the saved account of that login, with
// keep_personal_data as given; nullopt when no such account is saved.
std::optional<LoginChoice> saved_login_choice(config::AccountsBase& accounts, int32_t login, bool keep_personal_data);

// Makes choice the current account: a server the list does not know by name or access
// point is added as typed (name and company the typed text, type 1, one access point of
// that address; it lives in memory only), then the login record takes the login,
// password, server name and "Keep personal data", and is saved. The connection is not
// touched: the caller posts the reconnect code. Returns false with a reason in error,
// changing nothing, for a login below 1, a password empty or longer than 15 characters,
// or a server text empty, starting with ':' or longer than 63 characters.
// User-interface thread (or start-up, before the session runs).
bool apply_login_choice(config::TerminalConfig& config, config::ServerList& servers, const LoginChoice& choice,
                        std::string& error);

}  // namespace kb::ui
