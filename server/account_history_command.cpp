#include "server/client_session.h"
#include "server/login_data_records.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

HandlerResult handle_account_history(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    int32_t start = 0;
    int32_t end = 0;
    if (!stream.read_i32(start) || !stream.read_i32(end)) return HandlerResult::Close;
    if (start < 0 || start >= end)
        return send_code(stream, net::ReturnCode::InvalidParameters) ? HandlerResult::Continue : HandlerResult::Close;
    std::vector<trade::TradeRecord> records;
    for (const TradeRow& row : session.context().storage.closed_trades(session.account().login, start, end))
        records.push_back(build_trade_record(row, session.context().config));
    return send_block_reply(stream, net::ReturnCode::Ok, record_bytes(std::span<const trade::TradeRecord>(records)))
               ? HandlerResult::Continue
               : HandlerResult::Close;
}

}  // namespace kb::server
