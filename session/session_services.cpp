#include "session/session_services.h"

#include <cstring>

namespace kb::session {

void PlaceholderSymbolsBase::prepare_server(std::string_view server_name) {
    std::lock_guard guard(lock_);
    server_ = std::string(server_name);
}

std::string PlaceholderSymbolsBase::prepared_server() {
    std::lock_guard guard(lock_);
    return server_;
}

void PlaceholderTradeBase::set_account(const trade::AccountDataReply& reply) {
    ++accounts;
    open_trades = reply.open_trades.size();
    std::lock_guard guard(lock_);
    group_.assign(reply.account.group.name, strnlen(reply.account.group.name, sizeof reply.account.group.name));
}

std::string PlaceholderTradeBase::group_name() {
    std::lock_guard guard(lock_);
    return group_;
}

}  // namespace kb::session
