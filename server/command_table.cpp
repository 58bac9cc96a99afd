#include "server/command_table.h"

#include "server/session_commands.h"

namespace kb::server {

namespace {

// Each command's handler lives in its own file; adding a command is one line here.
CommandTable make_trade_server_commands() {
    CommandTable table;
    table.add(net::Command::KeepAlive, handle_keep_alive);
    table.add(net::Command::Quit, handle_quit);
    return table;
}

CommandTable make_history_server_commands() {
    CommandTable table;
    table.add(net::Command::KeepAlive, handle_keep_alive);
    table.add(net::Command::Quit, handle_quit);
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
