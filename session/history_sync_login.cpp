#include "session/history_sync_login.h"

#include <string>

#include "config/server_connect.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/journal.h"
#include "market/bar_form.h"
#include "net/login_packet.h"
#include "session/server_session.h"

namespace kb::session {

HistoryLoginResult HistorySyncLogin::connect_and_log_in(net::PacketStream& stream) {
    using Status = HistoryLoginResult::Status;
    const config::LoginRecord account = config_.login_record();
    const std::string history_address(core::field_text(account.account_server));
    const bool separate = account.mode == kUsesHistoryServer && !history_address.empty() && history_address[0] != ':';
    const std::string address = separate ? history_address : std::string(core::field_text(account.server));

    if (!config::connect_through_list(stream, address, servers_).connected) return {Status::NotConnected};
    const int code = separate ? net::log_in(stream, account.login, net::kHistoryAccessString,
                                            net::LoginMode::HistoryServer)
                              : net::log_in(stream, account.login, core::field_text(account.password),
                                            net::LoginMode::TradeServer);
    if (code == net::code_value(net::ReturnCode::SecuredLoginRequired)) {
        // The terminal keeps no key pair to answer the server's challenge with.
        journal_.write(core::Level::Error, "HistoryCenter: '%d'public key not found", account.login);
        return {Status::Refused};
    }
    if (code != net::code_value(net::ReturnCode::Ok)) {
        journal_.write(core::Level::Error, "HistoryCenter: '%d' cannot login to: %s", account.login, address.c_str());
        return {Status::Refused};
    }
    const market::BarSource source = separate ? market::BarSource::HistoryServer : market::BarSource::TradeServer;
    return {Status::LoggedIn, market::bar_form(source, stream.server_build())};
}

}  // namespace kb::session
