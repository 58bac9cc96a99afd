#pragma once
#include <cstdint>
#include <string>

#include "platform/socket.h"

namespace kb::net {

class PacketStream;

// The server's door: listens on a local address and hands each accepted connection to a
// PacketStream, which then speaks the protocol from the server's end (same key, the
// stream's send and receive states run in the opposite direction to the client's). Used by
// one thread; close() may be called from another thread to end a waiting accept().
class ServerListener {
public:
    // Listens on host:port; port 0 picks a free port (see port()). False when the address
    // can't be bound.
    bool listen(const std::string& host = "127.0.0.1", uint16_t port = 0);
    uint16_t port() const;
    bool is_listening() const { return socket_.is_open(); }

    // Waits up to timeout_ms for a connection and gives it to stream (closing whatever the
    // stream had open). False when no connection came or the listener is closed.
    bool accept(PacketStream& stream, int timeout_ms);

    void close();

private:
    platform::Socket socket_;
};

}  // namespace kb::net
