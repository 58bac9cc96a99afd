#pragma once
#include <array>
#include <cstdint>

#include "net/protocol.h"

namespace kb::server {

class ClientSession;

// What the session loop does after a handler.
enum class HandlerResult { Continue, Close };

// Handles one command whose byte the loop has read: reads the rest of the request from
// session.stream(), answers, and says whether the connection goes on. A handler that
// meets a transfer failure or a request it can't accept returns Close (the loop then
// closes the stream without the quit byte).
using CommandHandler = HandlerResult (*)(ClientSession& session);

// Command byte -> handler. A byte without a handler is an unknown command.
class CommandTable {
public:
    void add(net::Command command, CommandHandler handler) { handlers_[net::command_byte(command)] = handler; }
    CommandHandler find(uint8_t byte) const { return handlers_[byte]; }

private:
    std::array<CommandHandler, 256> handlers_{};
};

// The commands each door serves; built once, read-only afterwards (any thread).
const CommandTable& trade_server_commands();
const CommandTable& history_server_commands();

}  // namespace kb::server
