#include "session/account_history_request.h"

#include "net/compressed_block.h"
#include "net/protocol.h"
#include "session/block_records.h"

namespace kb::session {

std::optional<std::vector<trade::TradeRecord>> request_account_history(net::PacketStream& stream,
                                                                       const trade::HistoryRange& range) {
    if (!trade::is_requestable(range)) return std::nullopt;
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::AccountHistory);
    out.put_i32(range.from);
    out.put_i32(range.to);
    if (!stream.send_output() || stream.read_code() != net::ReturnCode::Ok) return std::nullopt;
    const net::CompressedBlock block = net::read_compressed(stream, kAccountHistoryLimit);
    if (!block.ok()) return std::nullopt;
    return records_of<trade::TradeRecord>(block);
}

}  // namespace kb::session
