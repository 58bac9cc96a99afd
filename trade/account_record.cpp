#include "trade/account_record.h"

#include <cstdio>
#include <cstring>

namespace kb::trade {

namespace {

template <size_t N>
void force_terminator(char (&field)[N]) {
    field[N - 1] = '\0';
}

}  // namespace

std::optional<AccountDataReply> parse_account_data(std::span<const uint8_t> block) {
    if (block.size() < sizeof(AccountData)) return std::nullopt;
    size_t trades_size = block.size() - sizeof(AccountData);
    if (trades_size % sizeof(TradeRecord) != 0) return std::nullopt;

    AccountDataReply reply;
    std::memcpy(&reply.account, block.data(), sizeof(AccountData));
    force_terminator(reply.account.name);
    force_terminator(reply.account.group.name);
    reply.open_trades.resize(trades_size / sizeof(TradeRecord));
    if (trades_size > 0) std::memcpy(reply.open_trades.data(), block.data() + sizeof(AccountData), trades_size);
    return reply;
}

std::vector<uint8_t> build_account_data(const AccountData& account, std::span<const TradeRecord> open_trades) {
    std::vector<uint8_t> block(sizeof(AccountData) + open_trades.size_bytes());
    std::memcpy(block.data(), &account, sizeof(AccountData));
    if (!open_trades.empty()) std::memcpy(block.data() + sizeof(AccountData), open_trades.data(), open_trades.size_bytes());
    return block;
}

void apply_account_data(AccountRecord& record, const AccountData& account) {
    record.group = account.group;
    record.login = account.login;
    record.leverage = account.leverage;
    record.balance = account.balance;
    record.credit = account.credit;
    std::memcpy(record.name, account.name, sizeof(record.name));
    force_terminator(record.name);
    record.first_login = account.first_login;
    record.news_setting = account.news_setting;
    std::memcpy(record.news_languages, account.news_languages, sizeof(record.news_languages));
    record.history_server_version = account.history_server_version;
    std::memcpy(record.last_address, account.last_address, sizeof(record.last_address));
}

bool reports_previous_authorization(const AccountData& account) {
    uint32_t address = 0;
    std::memcpy(&address, account.last_address, sizeof(address));
    return account.first_login == 0 && address != 0;
}

std::string dotted_address(const uint8_t (&address)[4]) {
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
    return text;
}

}  // namespace kb::trade
