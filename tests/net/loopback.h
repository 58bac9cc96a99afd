#pragma once
#include <gtest/gtest.h>

#include <string>

#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace kb::net::testing {

// A client PacketStream connected over loopback TCP to a second PacketStream that has
// adopted the accepted socket (the server end). Both use the given clock.
struct LoopbackStreams {
    platform::Socket listener;
    PacketStream client;
    PacketStream server;

    explicit LoopbackStreams(platform::Clock& clock)
        : client(nullptr, clock), server(nullptr, clock) {
        EXPECT_TRUE(listener.listen("127.0.0.1", 0));
        EXPECT_TRUE(client.connect("127.0.0.1:" + std::to_string(listener.local_port()), 443));
        server.adopt(listener.accept(5000));
        EXPECT_TRUE(server.is_open());
    }

    // Waits (polling, no sleeping) until n bytes are readable on the stream.
    static bool wait_readable(PacketStream& stream, size_t n) {
        for (int i = 0; i < 1000000; ++i) {
            if (stream.bytes_available() >= n) return true;
            if (!stream.is_open()) return false;
        }
        return false;
    }
};

}  // namespace kb::net::testing
