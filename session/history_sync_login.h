#pragma once
#include "session/history_synchroniser.h"

namespace kb::core {
class Journal;
}
namespace kb::config {
class TerminalConfig;
class ServerList;
}  // namespace kb::config

namespace kb::session {

// The history centre's login for its synchronisation connection, with the current
// account: to the account's separate history server (history login, access string) when
// it uses one, else to the trade server with the account's password. Failures are
// journaled as the centre's ("HistoryCenter: '<login>' cannot login to: <address>"); a
// server that can't be reached is not.
// Called on the centre's synchronisation thread; everything referenced must outlive it.
class HistorySyncLogin final : public HistoryServerLogin {
public:
    HistorySyncLogin(config::TerminalConfig& config, config::ServerList& servers, core::Journal& journal)
        : config_(config), servers_(servers), journal_(journal) {}

    HistoryLoginResult connect_and_log_in(net::PacketStream& stream) override;

private:
    config::TerminalConfig& config_;
    config::ServerList& servers_;
    core::Journal& journal_;
};

}  // namespace kb::session
