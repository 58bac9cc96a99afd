#include "server/session_commands.h"

#include "server/client_session.h"

namespace kb::server {

HandlerResult handle_keep_alive(ClientSession& session) {
    return session.stream().send_byte(net::Command::KeepAlive) ? HandlerResult::Continue
                                                                                   : HandlerResult::Close;
}

HandlerResult handle_quit(ClientSession& session) {
    session.stream().send_quit();
    return HandlerResult::Close;
}

}  // namespace kb::server
