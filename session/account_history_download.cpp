#include "session/account_history_download.h"

#include <string>
#include <utility>

#include "config/server_connect.h"
#include "config/terminal_config.h"
#include "core/fixed_text.h"
#include "core/journal.h"
#include "core/notifications.h"
#include "net/login_packet.h"
#include "platform/notifier.h"
#include "session/account_history_request.h"
#include "trade/trade_base.h"

namespace kb::session {

AccountHistoryDownload::AccountHistoryDownload(const AccountHistoryEnvironment& environment)
    : env_(environment), stream_(&environment.journal, environment.stream_clock) {}

AccountHistoryDownload::~AccountHistoryDownload() {
    stream_.close();
    thread_.join();
}

bool AccountHistoryDownload::download(const trade::HistoryRange& range) {
    stream_.close();
    thread_.join();
    const config::LoginRecord account = env_.config.login_record();
    std::string address(core::field_text(account.server));
    std::string password(core::field_text(account.password));
    if (address.empty() || password.empty() || account.login <= 0) return false;
    if (!trade::is_requestable(range)) {
        env_.trades.set_history({});
        core::post(env_.notifier, core::Notification::AccountHistory,
                   core::notification_value(core::HistorySelector::Downloaded));
        return true;
    }
    return thread_.start([this, range, login = account.login, address = std::move(address),
                          password = std::move(password)] { run(range, login, address, password); });
}

void AccountHistoryDownload::wait() { thread_.join(); }

void AccountHistoryDownload::run(trade::HistoryRange range, int32_t login, std::string address,
                                 std::string password) {
    if (!connect_and_log_in(login, address, password)) return;
    const auto records = request_account_history(stream_, range);
    env_.trades.set_history(records ? *records : std::vector<trade::TradeRecord>{});
    if (stream_.is_open()) stream_.send_quit();
    stream_.close();
    core::post(env_.notifier, core::Notification::AccountHistory,
               core::notification_value(core::HistorySelector::Downloaded));
}

bool AccountHistoryDownload::connect_and_log_in(int32_t login, const std::string& address,
                                                const std::string& password) {
    if (!config::connect_through_list(stream_, address, env_.servers).connected) {
        env_.journal.write(core::Level::Error, "AccountHistory: cannot connect to: %s", address.c_str());
        return false;
    }
    const net::ReturnCode code = net::log_in(stream_, login, password, net::LoginMode::TradeServer);
    if (code == net::ReturnCode::Ok) return true;
    stream_.close();
    if (code == net::ReturnCode::SecuredLoginRequired) {
        // The terminal keeps no key pair to answer the server's challenge with.
        env_.journal.write(core::Level::Error, "AccountHistory: '%d'public key was not found", login);
        return false;
    }
    env_.journal.write(core::Level::Error, "AccountHistory: '%d' cannot login to: %s", login, address.c_str());
    return false;
}

}  // namespace kb::session
