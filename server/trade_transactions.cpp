#include "server/trade_transactions.h"

#include <cstring>

#include "server/login_data_records.h"

namespace kb::server {

bool store_trade_changes(Storage& storage, const ServerConfig& config, int32_t login,
                         const std::vector<TradeChange>& changes) {
    const std::optional<AccountRow> account = storage.account(login);
    if (!account) return false;
    bool stored = true;
    for (const TradeChange& change : changes) {
        trade::TradeTransaction transaction{};
        transaction.type = change.type;
        transaction.balance = account->balance;
        transaction.credit = account->credit;
        transaction.trade = build_trade_record(change.trade, config);
        std::vector<uint8_t> bytes(sizeof transaction);
        std::memcpy(bytes.data(), &transaction, sizeof transaction);
        stored = storage.add_transaction(login, bytes).has_value() && stored;
    }
    return stored;
}

}  // namespace kb::server
