#pragma once
#include <optional>
#include <vector>

#include "net/packet_stream.h"
#include "trade/account_history_period.h"
#include "trade/trade_record.h"

namespace kb::session {

// The largest compressed block of history records a server may answer with.
inline constexpr size_t kAccountHistoryLimit = 5000000;

// Asks the logged-in server on stream for the account's closed trades and balance
// operations of range (command 34) and reads the answer. nullopt, with nothing sent,
// when the range is not requestable (trade::is_requestable); nullopt when the send, the
// answer code or the records block fails (a transfer failure closes the stream).
// Called by the stream's owner thread.
std::optional<std::vector<trade::TradeRecord>> request_account_history(net::PacketStream& stream,
                                                                       const trade::HistoryRange& range);

}  // namespace kb::session
