#pragma once
#include <cstdint>

#include "net/packet_stream.h"
#include "server/server_context.h"

namespace kb::server {

// A wrong password for login came from peer: notes it, writes a journal line and waits the
// peer's growing delay (ending early when the server stops or the connection closes)
// before the caller answers the refusal. Runs on the session's thread.
void hold_back_wrong_password(ServerContext& context, net::PacketStream& stream, int32_t login, uint32_t peer);

// A login from peer succeeded: its wrong passwords are forgotten.
void forget_wrong_passwords(ServerContext& context, uint32_t peer);

}  // namespace kb::server
