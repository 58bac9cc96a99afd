#pragma once
#include <sys/socket.h>

#include <cstdint>
#include <span>

#include "platform/socket.h"

namespace kb::testing {

// Two connected non-blocking local stream sockets: what is written to one is read from the
// other, in memory, with no network stack. Header-only so the fuzz targets and benchmarks
// can use it.
struct SocketPair {
    platform::Socket reader;
    platform::Socket writer;

    // buffer_bytes > 0 asks for a larger send buffer than the system default (about 200 KB);
    // the system may grant less (net.core.wmem_max).
    explicit SocketPair(int buffer_bytes = 0) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) return;
        if (buffer_bytes > 0) ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer_bytes, sizeof(buffer_bytes));
        reader = platform::Socket::from_native(fds[0]);
        writer = platform::Socket::from_native(fds[1]);
    }

    // Writes all bytes at once (the pair buffers a few hundred KB); false when they don't fit.
    bool write(std::span<const uint8_t> bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            size_t done = 0;
            if (writer.send_some(bytes.data() + sent, bytes.size() - sent, done) != platform::IoResult::Done) break;
            sent += done;
        }
        return sent == bytes.size();
    }

    // write(), then closes the writer so the reader sees the end of the connection after them.
    bool write_and_close(std::span<const uint8_t> bytes) {
        bool written = write(bytes);
        writer.close();
        return written;
    }
};

}  // namespace kb::testing
