#pragma once
#include <cstdint>

#include "platform/socket.h"

namespace kb::platform {

// The IPv4 address of a connected socket's peer, lowest byte first as in a dotted address
// (127.0.0.1 gives 0x0100007F); 0 when the socket is closed or not IPv4. Any thread that
// may use the socket.
uint32_t peer_ipv4(const Socket& socket);

}  // namespace kb::platform
