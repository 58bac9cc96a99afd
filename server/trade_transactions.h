#pragma once
#include <vector>

#include "server/server_config.h"
#include "server/storage.h"
#include "trade/trade_record.h"

namespace kb::server {

// One change of an account's trades as its terminal gets it (command 155).
struct TradeChange {
    trade::TransactionType type = trade::kTransactionAdd;
    TradeRow trade;
};

// Stores the changes for the account's trade server connection, in order, each with the
// account's balance and credit as they are after them (the terminal takes those from
// deletes of closed trades and from balance operations). Returns false when the account is
// gone or the database failed; the trades themselves are stored already either way. Open
// trades carry the margin rate they opened with. Callable from any thread.
bool store_trade_changes(Storage& storage, const ServerConfig& config, int32_t login,
                         const std::vector<TradeChange>& changes);

}  // namespace kb::server
