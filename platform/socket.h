#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <shared_mutex>
#include <string>

namespace kb::platform {

enum class IoResult { Done, WouldBlock, Closed, Failed };

// A TCP socket (IPv4, non-blocking once connected). Owned by one thread; close() may be
// called from another thread to make the owner's pending call fail. Destruction closes.
// The use count behind that is a leaf of core/lock_order.h, held across the I/O call.
class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects to host (dotted address first, else the first IPv4 address of a name
    // lookup) and port, with abortive close (SO_LINGER 0) set before connecting. Waits
    // until the connection is made or fails; close() from another thread ends the wait
    // with false. The socket counts as open while the connection is being made.
    bool connect(const std::string& host, uint16_t port);
    // Shuts down both directions and closes; harmless when not open.
    void close();
    bool is_open() const { return fd_.load() >= 0; }

    // One send or receive call; transferred gets the byte count of a Done result.
    // WouldBlock: nothing can move now; Closed: the peer ended the connection (receive);
    // Failed: any other error, or the socket is not open. Sending never raises SIGPIPE.
    IoResult send_some(const void* bytes, size_t n, size_t& transferred);
    IoResult receive_some(void* bytes, size_t n, size_t& transferred);
    // Readable byte count (FIONREAD); -1 when the query fails.
    int64_t bytes_available();

    // Server side: listen on host:port (port 0 picks one, an empty host means every
    // interface) with SO_REUSEADDR; false when the address can't be bound. Accepted
    // sockets are non-blocking with abortive close, like connected ones.
    bool listen(const std::string& host, uint16_t port, int backlog = 16);
    uint16_t local_port() const;
    // Waits up to timeout_ms for a connection; an invalid socket when none came.
    Socket accept(int timeout_ms);

    int native_handle() const { return fd_.load(); }
    static Socket from_native(int fd);

private:
    std::atomic<int> fd_{-1};
    // Calls on the descriptor hold this shared; close() takes it alone before releasing
    // the descriptor, so a close from another thread never lets the owner's call reach
    // a number the system has already handed to another file.
    mutable std::shared_mutex in_use_;
};

}  // namespace kb::platform
