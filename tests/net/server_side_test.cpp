#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/block_writer.h"
#include "net/compressed_block.h"
#include "net/packet_stream.h"
#include "net/scramble.h"
#include "net/server_listener.h"
#include "platform/clock.h"
#include "tests/support/fake_server.h"

namespace kb::net {
namespace {

using testing::Bytes;
using testing::FakeServer;

const ConnectionKey kKey = connection_key("server-side");

// A client stream connected to the fake server and using its key. Its clock is manual, so
// a read must not start before the server has sent (wait_for_steps) or it fails at once.
struct Client {
    platform::ManualClock clock;
    PacketStream stream{nullptr, clock};

    explicit Client(const FakeServer& server) {
        EXPECT_TRUE(stream.connect(server.address(), 443));
        stream.set_key(kKey);
    }

    bool send(Bytes bytes) { return stream.send_packet(bytes.data(), bytes.size()); }
    Bytes read(size_t n) {
        Bytes bytes(n);
        return stream.read(bytes.data(), n) ? bytes : Bytes{};
    }
};

TEST(FakeServer, PlaysAScrambledExchange) {
    FakeServer server;
    server.expect_raw({'H', 'i'}).use_key(kKey).expect({16}).send({0, 7, 7}).expect({2}).send({2});
    server.start();
    Client client(server);

    ASSERT_TRUE(client.stream.send_all("Hi", 2));
    ASSERT_TRUE(client.stream.send_byte(16));
    ASSERT_TRUE(server.wait_for_steps(4));
    EXPECT_EQ(client.read(3), (Bytes{0, 7, 7}));
    ASSERT_TRUE(client.stream.send_byte(2));
    ASSERT_TRUE(server.wait_for_steps(6));
    EXPECT_EQ(client.stream.read_byte(), 2);

    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
}

TEST(FakeServer, ReportsWhatDiffered) {
    FakeServer server;
    server.use_key(kKey).expect({1, 2, 3}).send({5});
    server.start();
    Client client(server);

    ASSERT_TRUE(client.send({1, 2, 4}));
    ASSERT_TRUE(server.wait_for_steps(3));
    EXPECT_EQ(client.stream.read_byte(), 5) << "a mismatch doesn't stop the script";

    server.finish();
    EXPECT_FALSE(server.all_matched());
    EXPECT_EQ(server.report(), "step 2 expected 01 02 03\n  but got 01 02 04\n");
}

TEST(FakeServer, ReportsAMissingClientAndShortInput) {
    FakeServer lonely(50);
    lonely.expect({1});
    lonely.start();
    lonely.finish();
    EXPECT_FALSE(lonely.all_matched());
    EXPECT_EQ(lonely.report(), "no connection within 50 ms\nran 0 of 1 steps\n");

    FakeServer server(50);
    server.use_key(kKey).expect({1, 2, 3, 4});
    server.start();
    Client client(server);
    ASSERT_TRUE(client.send({1, 2}));
    server.finish();
    EXPECT_EQ(server.report(), "step 2 wanted 4 bytes, the connection gave 2: 01 02\nran 1 of 2 steps\n");
}

TEST(FakeServer, CutsAPacketAndDropsTheConnection) {
    FakeServer server;
    // The request comes first: a server closing at once could reset the connection
    // before the client's connect has returned.
    server.use_key(kKey).expect({33}).send({1, 2}).close_mid_packet({3, 4, 5, 6, 7, 8}, 4);
    server.start();
    Client client(server);
    ASSERT_TRUE(client.stream.send_byte(33));
    ASSERT_TRUE(server.wait_for_steps(4));

    EXPECT_EQ(client.read(2), (Bytes{1, 2}));
    EXPECT_EQ(client.read(6), Bytes{});
    EXPECT_FALSE(client.stream.is_open());
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
}

TEST(FakeServer, GarbageIsTheSameEveryRun) {
    Bytes runs[2];
    for (Bytes& received : runs) {
        FakeServer server;
        server.garbage(64);
        server.start();
        Client client(server);
        ASSERT_TRUE(server.wait_for_steps(1));
        received.resize(64);
        ASSERT_TRUE(client.stream.receive_exactly(received.data(), received.size()));
        server.finish();
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], Bytes(64, runs[0][0]));
}

// The server's end of a connection: an accepted stream with the same key answers a request
// with a compressed block the client reads back.
TEST(ServerListener, ServesACompressedBlockToAClient) {
    ServerListener listener;
    ASSERT_TRUE(listener.listen());
    ASSERT_NE(listener.port(), 0);
    platform::ManualClock clock;
    PacketStream client(nullptr, clock);
    PacketStream server(nullptr, clock);
    ASSERT_TRUE(client.connect("127.0.0.1:" + std::to_string(listener.port()), 443));
    ASSERT_TRUE(listener.accept(server, 5000));
    client.set_key(kKey);
    server.set_key(kKey);

    ASSERT_TRUE(client.send_byte(16));
    EXPECT_EQ(server.read_byte(), 16);
    Bytes plain(30000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * i >> 5);
    for (const Bytes& payload : {plain, Bytes{}}) {
        server.output().reset();
        server.output().put_byte(0);
        ASSERT_TRUE(put_compressed_block(server.output(), payload));
        ASSERT_TRUE(server.send_output());

        EXPECT_EQ(client.read_byte(), 0);
        CompressedBlock block = read_compressed(client, 1000000);
        ASSERT_TRUE(block.ok());
        EXPECT_EQ(block.status, payload.empty() ? BlockStatus::Empty : BlockStatus::Data);
        EXPECT_EQ(Bytes(block.bytes.get(), block.bytes.get() + block.size), payload);
    }
}

TEST(ServerListener, AcceptGivesUpWhenNobodyComes) {
    ServerListener listener;
    ASSERT_TRUE(listener.listen());
    platform::ManualClock clock;
    PacketStream server(nullptr, clock);
    EXPECT_FALSE(listener.accept(server, 10));
    listener.close();
    EXPECT_FALSE(listener.accept(server, 10));
    EXPECT_FALSE(server.is_open());
}

TEST(BlockWriter, EmptyDataIsTheZeroSizeAlone) {
    OutputBuffer out(0);
    ASSERT_TRUE(put_compressed_block(out, {}));
    EXPECT_EQ(Bytes(out.data(), out.data() + out.size()), (Bytes{0, 0, 0, 0}));

    out.reset();
    const Bytes plain(1000, 'x');
    ASSERT_TRUE(put_compressed_block(out, plain));
    ASSERT_GT(out.size(), 11u);
    const Bytes written(out.data(), out.data() + out.size());
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 4), (Bytes{0xe8, 0x03, 0, 0}));
    EXPECT_EQ(static_cast<size_t>(written[4] | written[5] << 8), written.size() - 8);
    EXPECT_EQ(Bytes(written.end() - 3, written.end()), (Bytes{17, 0, 0}));
}

}  // namespace
}  // namespace kb::net
