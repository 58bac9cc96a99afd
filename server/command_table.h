#pragma once
#include <array>
#include <cstdint>

#include "net/login_packet.h"
#include "net/protocol.h"

namespace kb::server {

class ClientSession;
enum class ServerRole;

// What the session loop does after a handler.
enum class HandlerResult { Continue, Close };

// Handles one command whose byte the loop has read: reads the rest of the request from
// session.stream(), answers, and says whether the connection goes on. A handler that
// meets a transfer failure or a request it can't accept returns Close (the loop then
// closes the stream without the quit byte).
using CommandHandler = HandlerResult (*)(ClientSession& session);

// When a command may come.
enum class Served {
    AfterLogin,       // any time after the login
    AfterLoginData,   // once the account data, the end of a terminal's login data, was answered
};

struct CommandEntry {
    CommandHandler handler = nullptr;   // null: the command is unknown to this login
    Served served = Served::AfterLogin;
};

// Command byte -> handler. A byte without a handler is an unknown command.
class CommandTable {
public:
    void add(net::Command command, CommandHandler handler, Served served = Served::AfterLogin) {
        entries_[net::command_byte(command)] = {handler, served};
    }
    const CommandEntry& find(uint8_t byte) const { return entries_[byte]; }

private:
    std::array<CommandEntry, 256> entries_{};
};

// The commands a door serves to a login mode: the trade server's terminal logins get the
// login data and the requests of a connected terminal, its trade channels only what a
// channel uses, the history server its account data, synchronisation and the requests.
// Built once, read-only afterwards (any thread).
const CommandTable& commands_for(ServerRole role, net::LoginMode mode);

}  // namespace kb::server
