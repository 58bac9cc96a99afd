#include "server/command_table.h"

#include "server/client_session.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

void add_connection_commands(CommandTable& table) {
    table.add(net::Command::KeepAlive, handle_keep_alive);
    table.add(net::Command::Quit, handle_quit);
}

// The requests a terminal sends on whichever connection it has for them: the trade
// server's while no history server is connected, the history server's otherwise. They
// refer to what the login data gave it (symbol indexes, news identifiers).
void add_forwarded_requests(CommandTable& table) {
    table.add(net::Command::HistorySync, handle_history_sync);
    table.add(net::Command::Subscription, handle_subscription, Served::AfterLoginData);
    table.add(net::Command::ChartHistory, handle_chart_request, Served::AfterLoginData);
    table.add(net::Command::NewsBody, handle_news_body, Served::AfterLoginData);
}

// Each command's handler lives in its own file; adding a command is one line here.
CommandTable make_trade_server_commands() {
    CommandTable table;
    add_connection_commands(table);
    table.add(net::Command::ServerInformation, handle_server_information);
    table.add(net::Command::Symbols, handle_symbols);
    table.add(net::Command::SymbolGroups, handle_symbol_groups);
    table.add(net::Command::CrashLog, handle_crash_log);
    table.add(net::Command::MailHeaders, handle_mail_recipients);
    table.add(net::Command::AccountHistory, handle_account_history);
    table.add(net::Command::AccountData, handle_account_data);
    table.add(net::Command::UpdateQuery, handle_update_query);
    add_forwarded_requests(table);
    return table;
}

CommandTable make_trade_channel_commands() {
    CommandTable table;
    add_connection_commands(table);
    table.add(net::Command::TradeRequest, handle_trade_request);
    table.add(net::Command::TradeReject, handle_trade_cancel);
    return table;
}

CommandTable make_history_server_commands() {
    CommandTable table;
    add_connection_commands(table);
    table.add(net::Command::AccountData, handle_account_data);
    add_forwarded_requests(table);
    return table;
}

}  // namespace

const CommandTable& commands_for(ServerRole role, net::LoginMode mode) {
    static const CommandTable trade_server = make_trade_server_commands();
    static const CommandTable trade_channel = make_trade_channel_commands();
    static const CommandTable history_server = make_history_server_commands();
    if (role == ServerRole::History) return history_server;
    return mode == net::LoginMode::TradeChannel ? trade_channel : trade_server;
}

}  // namespace kb::server
