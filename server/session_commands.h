#pragma once
#include "server/command_table.h"

namespace kb::server {

// 2: answered with 2.
HandlerResult handle_keep_alive(ClientSession& session);
// 13: answered with 13, then the connection closes.
HandlerResult handle_quit(ClientSession& session);

}  // namespace kb::server
