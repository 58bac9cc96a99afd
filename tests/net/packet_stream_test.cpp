#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/packet_stream.h"
#include "net/protocol.h"
#include "tests/net/loopback.h"

namespace kb::net {

namespace {

using testing::LoopbackStreams;
using Bytes = std::vector<uint8_t>;

const ConnectionKey kKey = connection_key("secret-password");

// Reads n raw (still scrambled) bytes from the stream.
Bytes raw_bytes(PacketStream& stream, size_t n) {
    Bytes out(n);
    EXPECT_TRUE(LoopbackStreams::wait_readable(stream, n));
    EXPECT_TRUE(stream.receive_exactly(out.data(), n));
    return out;
}

Bytes sixteen_bytes() {
    Bytes plain(16);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(0x30 + i * 7);
    return plain;
}

}  // namespace

// ---- scrambling on the wire ----

TEST(PacketStreamScrambling, SameBytesTwiceScrambleDifferently) {
    LoopbackStreams link{platform::system_clock()};
    link.client.set_key(kKey);
    Bytes first = sixteen_bytes(), second = sixteen_bytes();
    ASSERT_TRUE(link.client.send_packet(first.data(), first.size()));
    ASSERT_TRUE(link.client.send_packet(second.data(), second.size()));
    Bytes wire = raw_bytes(link.server, 32);
    EXPECT_NE(Bytes(wire.begin(), wire.begin() + 16), Bytes(wire.begin() + 16, wire.end()));
    // The second packet chains on the last plain byte of the first.
    Bytes plain = sixteen_bytes();
    EXPECT_EQ(wire[16], plain[0] ^ static_cast<uint8_t>(plain[15] + kKey[0]));
}

TEST(PacketStreamScrambling, KeepAliveChangesTheNextPacket) {
    LoopbackStreams plain_link{platform::system_clock()}, keep_alive_link{platform::system_clock()};
    plain_link.client.set_key(kKey);
    keep_alive_link.client.set_key(kKey);
    Bytes a = sixteen_bytes(), b = sixteen_bytes(), c = sixteen_bytes(), d = sixteen_bytes();

    ASSERT_TRUE(plain_link.client.send_packet(a.data(), 5));
    ASSERT_TRUE(plain_link.client.send_packet(b.data(), 5));
    ASSERT_TRUE(keep_alive_link.client.send_packet(c.data(), 5));
    ASSERT_TRUE(keep_alive_link.client.send_byte(Command::KeepAlive));
    ASSERT_TRUE(keep_alive_link.client.send_packet(d.data(), 5));

    Bytes without = raw_bytes(plain_link.server, 10);
    Bytes with = raw_bytes(keep_alive_link.server, 11);
    Bytes plain = sixteen_bytes();
    // Keep-alive: position 5, previous = last plain byte of the first packet.
    EXPECT_EQ(with[5], command_byte(Command::KeepAlive) ^ static_cast<uint8_t>(plain[4] + kKey[5]));
    // The next packet then starts at position 6 chained on the plain byte 2.
    EXPECT_EQ(with[6], plain[0] ^ static_cast<uint8_t>(command_byte(Command::KeepAlive) + kKey[6]));
    EXPECT_NE(Bytes(without.begin() + 5, without.end()), Bytes(with.begin() + 6, with.end()));
}

TEST(PacketStreamScrambling, QuitByteDoesNotAdvanceTheState) {
    LoopbackStreams plain_link{platform::system_clock()}, quit_link{platform::system_clock()};
    plain_link.client.set_key(kKey);
    quit_link.client.set_key(kKey);
    Bytes a = sixteen_bytes(), b = sixteen_bytes(), c = sixteen_bytes(), d = sixteen_bytes();

    ASSERT_TRUE(plain_link.client.send_packet(a.data(), 3));
    ASSERT_TRUE(plain_link.client.send_packet(b.data(), 4));
    ASSERT_TRUE(quit_link.client.send_packet(c.data(), 3));
    ScrambleState before = quit_link.client.send_state();
    ASSERT_TRUE(quit_link.client.send_quit());
    EXPECT_EQ(quit_link.client.send_state().previous, before.previous);
    EXPECT_EQ(quit_link.client.send_state().position, before.position);
    ASSERT_TRUE(quit_link.client.send_packet(d.data(), 4));

    Bytes without = raw_bytes(plain_link.server, 7);
    Bytes with = raw_bytes(quit_link.server, 8);
    Bytes plain = sixteen_bytes();
    EXPECT_EQ(with[3], command_byte(Command::Quit) ^ static_cast<uint8_t>(plain[2] + kKey[3]));
    EXPECT_EQ(Bytes(without.begin() + 3, without.end()), Bytes(with.begin() + 4, with.end()));
}

TEST(PacketStreamScrambling, EmptyPacketSucceedsWithoutSendingOrAdvancing) {
    LoopbackStreams link{platform::system_clock()};
    uint64_t sent_before = total_bytes_sent();
    uint8_t nothing = 0;
    EXPECT_TRUE(link.client.send_packet(&nothing, 0));
    EXPECT_EQ(link.client.send_state().position, 0u);
    EXPECT_EQ(total_bytes_sent(), sent_before);
    EXPECT_EQ(link.server.bytes_available(), 0u);
}

TEST(PacketStreamRoundTrip, ScrambledPacketsBothDirections) {
    LoopbackStreams link{platform::system_clock()};
    link.client.set_key(kKey);
    link.server.set_key(kKey);

    // Client to server: several packets of different sizes through the output buffer.
    std::vector<Bytes> requests;
    for (size_t size : {1u, 16u, 17u, 300u, 5000u}) {
        Bytes request(size);
        for (size_t i = 0; i < size; ++i) request[i] = static_cast<uint8_t>(i * 31 + size);
        requests.push_back(request);
        OutputBuffer& out = link.client.output();
        out.reset();
        out.put_bytes(request.data(), request.size());
        ASSERT_TRUE(link.client.send_output());
    }
    for (const Bytes& expected : requests) {
        Bytes got(expected.size());
        ASSERT_TRUE(LoopbackStreams::wait_readable(link.server, got.size()));
        ASSERT_TRUE(link.server.read(got.data(), got.size()));
        EXPECT_EQ(got, expected);
    }

    // Server to client: typed values.
    OutputBuffer& reply = link.server.output();
    reply.reset();
    reply.put_command(Command::Quotes);
    reply.put_u16(0xBEEF);
    reply.put_i32(-123456);
    reply.put_u32(0xDEADBEEF);
    reply.put_double(1.25);
    const char text[8] = {'E', 'U', 'R', 'U', 'S', 'D', 'x', 'y'};
    reply.put_bytes(text, sizeof(text));
    ASSERT_TRUE(link.server.send_output());
    ASSERT_TRUE(link.server.send_byte(Command::KeepAlive));

    ASSERT_TRUE(LoopbackStreams::wait_readable(link.client, 1 + 2 + 4 + 4 + 8 + 8 + 1));
    EXPECT_EQ(link.client.read_byte(), command_byte(Command::Quotes));
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    double real = 0;
    char field[8];
    EXPECT_TRUE(link.client.read_u16(u16));
    EXPECT_TRUE(link.client.read_i32(i32));
    EXPECT_TRUE(link.client.read_u32(u32));
    EXPECT_TRUE(link.client.read_double(real));
    EXPECT_TRUE(link.client.read_fixed_text(field, sizeof(field)));
    EXPECT_EQ(u16, 0xBEEF);
    EXPECT_EQ(i32, -123456);
    EXPECT_EQ(u32, 0xDEADBEEFu);
    EXPECT_EQ(real, 1.25);
    EXPECT_STREQ(field, "EURUSDx");   // last byte forced to NUL
    EXPECT_EQ(link.client.read_byte(), command_byte(Command::KeepAlive));
}

TEST(PacketStreamRoundTrip, ByteCountersGrow) {
    LoopbackStreams link{platform::system_clock()};
    uint64_t sent = total_bytes_sent(), received = total_bytes_received();
    uint8_t packet[10] = {};
    ASSERT_TRUE(link.client.send_packet(packet, sizeof(packet)));
    raw_bytes(link.server, sizeof(packet));
    EXPECT_GE(total_bytes_sent(), sent + 10);
    EXPECT_GE(total_bytes_received(), received + 10);
}

// ---- connection ----

TEST(PacketStreamConnect, InvalidPortFailsWithoutConnecting) {
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    uint16_t port = listener.local_port();
    // The listener's port is the default: falling back to it would show as a connection.
    for (const char* address : {"127.0.0.1:0", "127.0.0.1:70000", "127.0.0.1:", "127.0.0.1:-1",
                                "127.0.0.1:80x", ":443", ""}) {
        PacketStream stream(nullptr, platform::system_clock());
        EXPECT_FALSE(stream.connect(address, port)) << address;
        EXPECT_FALSE(stream.is_open()) << address;
    }
    EXPECT_FALSE(listener.accept(50).is_open());
}

TEST(PacketStreamConnect, NoPortUsesTheDefault) {
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    uint16_t port = listener.local_port();
    PacketStream stream(nullptr, platform::system_clock());
    ASSERT_TRUE(stream.connect("127.0.0.1", port));
    EXPECT_TRUE(stream.is_open());
    EXPECT_EQ(stream.server_text(), "127.0.0.1:" + std::to_string(port));
    EXPECT_TRUE(listener.accept(5000).is_open());
}

TEST(PacketStreamConnect, ExplicitPortWinsOverTheDefault) {
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    PacketStream stream(nullptr, platform::system_clock());
    ASSERT_TRUE(stream.connect("127.0.0.1:" + std::to_string(listener.local_port()), 1));
    EXPECT_TRUE(listener.accept(5000).is_open());
}

TEST(PacketStreamConnect, ServerTextIsLimitedTo127Characters) {
    PacketStream stream(nullptr, platform::system_clock());
    std::string host(200, 'h');
    EXPECT_FALSE(stream.connect(host + ":443", 443));
    EXPECT_EQ(stream.server_text(), std::string(127, 'h'));
}

TEST(PacketStreamConnect, ProxySetRefusesToConnect) {
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    PacketStream stream(nullptr, platform::system_clock());
    EXPECT_EQ(stream.proxy_type(), ProxyType::None);
    stream.set_proxy(ProxyType::Socks5, "127.0.0.1:1080", "user:pass");
    EXPECT_FALSE(stream.connect("127.0.0.1", listener.local_port()));
    EXPECT_FALSE(stream.is_open());
    EXPECT_FALSE(listener.accept(50).is_open());
    // Without the proxy address the same stream connects directly.
    stream.set_proxy(ProxyType::None, "", "");
    EXPECT_TRUE(stream.connect("127.0.0.1", listener.local_port()));
}

TEST(PacketStreamProxySettings, CredentialsWithoutLoginAreClearedAndTextsLimited) {
    PacketStream stream(nullptr, platform::system_clock());
    stream.set_proxy(ProxyType::HttpConnect, "proxy:3128", ":password");
    EXPECT_EQ(stream.proxy_type(), ProxyType::HttpConnect);
    EXPECT_EQ(stream.proxy_address(), "proxy:3128");
    EXPECT_EQ(stream.proxy_credentials(), "");
    stream.set_proxy(ProxyType::Socks4, std::string(300, 'a'), std::string(300, 'u'));
    EXPECT_EQ(stream.proxy_address().size(), 127u);
    EXPECT_EQ(stream.proxy_credentials().size(), 127u);
}

TEST(PacketStreamConnect, FailingAvailableQueryClosesTheStream) {
    // A listening socket has no readable byte count: the query fails.
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    PacketStream stream(nullptr, platform::system_clock());
    stream.adopt(std::move(listener));
    ASSERT_TRUE(stream.is_open());
    EXPECT_EQ(stream.bytes_available(), 0u);
    EXPECT_FALSE(stream.is_open());
}

TEST(PacketStreamConnect, ConnectingAgainDropsTheOldConnection) {
    platform::Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    std::string address = "127.0.0.1:" + std::to_string(listener.local_port());
    PacketStream stream(nullptr, platform::system_clock());
    ASSERT_TRUE(stream.connect(address, 443));
    platform::ManualClock clock;
    PacketStream first_peer(nullptr, clock);
    first_peer.adopt(listener.accept(5000));
    ASSERT_TRUE(stream.connect(address, 443));
    EXPECT_TRUE(listener.accept(5000).is_open());
    // The first connection was reset: its peer's read fails at once, not by the stall rule.
    char byte = 0;
    EXPECT_FALSE(first_peer.receive_exactly(&byte, 1));
    EXPECT_LT(clock.total_slept_ms(), 900u);
}

TEST(PacketStreamConnect, ClosedStreamHasNothingAvailable) {
    PacketStream stream(nullptr, platform::system_clock());
    EXPECT_FALSE(stream.is_open());
    EXPECT_EQ(stream.bytes_available(), 0u);
    stream.close();
    EXPECT_FALSE(stream.is_open());
}

}  // namespace kb::net
