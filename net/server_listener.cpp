#include "net/server_listener.h"

#include "net/packet_stream.h"

namespace kb::net {

bool ServerListener::listen(const std::string& host, uint16_t port) {
    socket_.close();
    return socket_.listen(host, port);
}

uint16_t ServerListener::port() const { return socket_.local_port(); }

bool ServerListener::accept(PacketStream& stream, int timeout_ms) {
    if (!socket_.is_open()) return false;
    platform::Socket connection = socket_.accept(timeout_ms);
    if (!connection.is_open()) return false;
    stream.adopt(std::move(connection));
    return true;
}

void ServerListener::close() { socket_.close(); }

}  // namespace kb::net
