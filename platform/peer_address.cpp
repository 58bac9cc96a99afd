#include "platform/peer_address.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace kb::platform {

uint32_t peer_ipv4(const Socket& socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (!socket.is_open() ||
        ::getpeername(socket.native_handle(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        address.sin_family != AF_INET) {
        return 0;
    }
    // s_addr is in network order, which in memory is the dotted order.
    uint32_t value = 0;
    std::memcpy(&value, &address.sin_addr.s_addr, sizeof value);
    return value;
}

}  // namespace kb::platform
