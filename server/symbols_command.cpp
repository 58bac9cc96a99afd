#include "net/digest.h"
#include "server/client_session.h"
#include "server/login_data_records.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

// The client's digest is of what it stored from an earlier answer: when it equals the
// digest of the current records, code 1 tells it to keep them.
HandlerResult answer_unless_current(ClientSession& session, std::span<const uint8_t> records) {
    net::Md5Digest client_digest{};
    if (!session.stream().read(client_digest.data(), client_digest.size())) return HandlerResult::Close;
    const bool current = !records.empty() && net::md5(records) == client_digest;
    const bool sent = current ? send_code(session.stream(), net::ReturnCode::OkNoResult)
                              : send_block_reply(session.stream(), net::ReturnCode::Ok, records);
    return sent ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace

HandlerResult handle_symbols(ClientSession& session) {
    const std::shared_ptr<const ServerConfig> config = session.context().settings_now();
    const std::vector<market::SymbolRecord> records =
        build_symbol_records(*config, &account_group(*config, session.account().group));
    return answer_unless_current(session, record_bytes(std::span<const market::SymbolRecord>(records)));
}

HandlerResult handle_symbol_groups(ClientSession& session) {
    const auto groups = build_symbol_groups(session.context().config);
    return answer_unless_current(session, record_bytes(std::span<const market::SymbolGroupRecord>(groups)));
}

}  // namespace kb::server
