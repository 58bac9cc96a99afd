#include "server/command_table.h"

#include "server/session_commands.h"

namespace kb::server {

namespace {

// The requests a client sends on whichever connection it has for them: the trade server's
// while no history server is connected, the history server's otherwise.
void add_forwarded_requests(CommandTable& table) {
    table.add(net::Command::HistorySync, handle_history_sync);
    table.add(net::Command::Subscription, handle_subscription);
    table.add(net::Command::ChartHistory, handle_chart_request);
    table.add(net::Command::NewsBody, handle_news_body);
}

// Each command's handler lives in its own file; adding a command is one line here.
CommandTable make_trade_server_commands() {
    CommandTable table;
    table.add(net::Command::KeepAlive, handle_keep_alive);
    table.add(net::Command::Quit, handle_quit);
    table.add(net::Command::ServerInformation, handle_server_information);
    table.add(net::Command::Symbols, handle_symbols);
    table.add(net::Command::SymbolGroups, handle_symbol_groups);
    table.add(net::Command::CrashLog, handle_crash_log);
    table.add(net::Command::MailHeaders, handle_mail_recipients);
    table.add(net::Command::AccountHistory, handle_account_history);
    table.add(net::Command::AccountData, handle_account_data);
    table.add(net::Command::UpdateQuery, handle_update_query);
    table.add(net::Command::TradeRequest, handle_trade_request);
    table.add(net::Command::TradeReject, handle_trade_cancel);
    add_forwarded_requests(table);
    return table;
}

CommandTable make_history_server_commands() {
    CommandTable table;
    table.add(net::Command::KeepAlive, handle_keep_alive);
    table.add(net::Command::Quit, handle_quit);
    table.add(net::Command::AccountData, handle_account_data);
    add_forwarded_requests(table);
    return table;
}

}  // namespace

const CommandTable& trade_server_commands() {
    static const CommandTable table = make_trade_server_commands();
    return table;
}

const CommandTable& history_server_commands() {
    static const CommandTable table = make_history_server_commands();
    return table;
}

}  // namespace kb::server
