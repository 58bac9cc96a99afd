#include <cstring>

#include "core/fixed_text.h"
#include "server/client_session.h"
#include "server/login_data_records.h"
#include "server/reply.h"
#include "server/session_commands.h"
#include "trade/account_record.h"

namespace kb::server {

namespace {

// Open positions carry the price they would close at now.
void set_closing_price(trade::TradeRecord& record, const TradeRow& row, ClientSession& session) {
    const ServerConfig& config = session.context().config;
    const InstrumentConfig* instrument = config.find_instrument(row.symbol);
    if (!instrument || !trade::is_position(row.type)) return;
    const InstrumentQuote quote =
        session.context().feed.quote(static_cast<int>(instrument - config.instruments.data()));
    if (quote.time != 0) record.close_price = row.type == trade::kBuy ? quote.bid : quote.ask;
}

}  // namespace

HandlerResult handle_account_data(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    uint32_t mode = 0;   // what the connection is to carry; the block is the same in every mode
    if (!stream.read_u32(mode)) return HandlerResult::Close;
    if (mode != trade::kAccountDataFull && mode != trade::kAccountDataWithoutNews &&
        mode != trade::kAccountDataWithHistoryServer)
        return send_code(stream, net::ReturnCode::InvalidParameters) ? HandlerResult::Continue : HandlerResult::Close;
    ServerContext& context = session.context();
    const std::optional<AccountRow> stored = context.storage.account(session.account().login);
    if (!stored)
        return send_code(stream, net::ReturnCode::InvalidAccount) ? HandlerResult::Continue : HandlerResult::Close;
    // The previous login's fields come from the account as it was before this login.
    const AccountRow& before = session.account();
    const std::shared_ptr<const ServerConfig> settings = context.settings_now();
    const GroupConfig& group = account_group(*settings, stored->group);

    trade::AccountData data{};
    data.group = build_group_record(group);
    data.login = stored->login;
    data.leverage = stored->leverage;
    data.balance = stored->balance;
    data.credit = stored->credit;
    core::set_field_text(data.name, stored->name);
    data.first_login = before.last_login_time == 0 ? 1 : 0;
    data.news_setting = group.news;
    data.history_server_version = static_cast<uint16_t>(context.config.account_data_version());
    std::memcpy(data.last_address, &before.last_login_address, sizeof data.last_address);

    std::vector<trade::TradeRecord> open;
    for (const TradeRow& row : context.storage.open_trades(stored->login)) {
        open.push_back(build_trade_record(row, context.config));
        set_closing_price(open.back(), row, session);
    }
    const std::vector<uint8_t> block = trade::build_account_data(data, open);
    if (!send_block_reply(stream, net::ReturnCode::Ok, block)) return HandlerResult::Close;
    session.finish_login_data(mode);
    return HandlerResult::Continue;
}

}  // namespace kb::server
