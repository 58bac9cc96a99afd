#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <string>

#include "platform/socket.h"

namespace kb::platform {

namespace {

// A connected loopback pair: client side and the accepted server side.
struct LoopbackPair {
    Socket listener;
    Socket client;
    Socket server;

    LoopbackPair() {
        EXPECT_TRUE(listener.listen("127.0.0.1", 0));
        EXPECT_TRUE(client.connect("127.0.0.1", listener.local_port()));
        server = listener.accept(5000);
        EXPECT_TRUE(server.is_open());
    }
};

// Receives n bytes, waiting for the non-blocking socket with short polls of its count.
std::string receive_all(Socket& socket, size_t n) {
    std::string out;
    for (int attempts = 0; out.size() < n && attempts < 100000; ++attempts) {
        char buffer[256];
        size_t got = 0;
        IoResult result = socket.receive_some(buffer, std::min(sizeof(buffer), n - out.size()), got);
        if (result == IoResult::Done) out.append(buffer, got);
        else if (result != IoResult::WouldBlock) break;
    }
    return out;
}

}  // namespace

TEST(Socket, ListensOnAPickedPortAndTransfersBothWays) {
    LoopbackPair pair;
    EXPECT_NE(pair.listener.local_port(), 0);
    size_t sent = 0;
    ASSERT_EQ(pair.client.send_some("hello", 5, sent), IoResult::Done);
    EXPECT_EQ(sent, 5u);
    EXPECT_EQ(receive_all(pair.server, 5), "hello");
    ASSERT_EQ(pair.server.send_some("back", 4, sent), IoResult::Done);
    EXPECT_EQ(receive_all(pair.client, 4), "back");
}

TEST(Socket, ReceiveWithNothingWaitingWouldBlock) {
    LoopbackPair pair;
    char byte = 0;
    size_t got = 7;
    EXPECT_EQ(pair.client.receive_some(&byte, 1, got), IoResult::WouldBlock);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(pair.client.bytes_available(), 0);
}

TEST(Socket, BytesAvailableCountsUnreadBytes) {
    LoopbackPair pair;
    size_t sent = 0;
    ASSERT_EQ(pair.server.send_some("0123456789", 10, sent), IoResult::Done);
    int64_t available = 0;
    for (int i = 0; i < 100000 && available < 10; ++i) available = pair.client.bytes_available();
    EXPECT_EQ(available, 10);
}

TEST(Socket, PeerCloseIsReportedAndSendDoesNotRaiseSignal) {
    LoopbackPair pair;
    pair.server.close();
    char byte = 0;
    size_t got = 0;
    IoResult result = IoResult::WouldBlock;
    for (int i = 0; i < 100000 && result == IoResult::WouldBlock; ++i) result = pair.client.receive_some(&byte, 1, got);
    EXPECT_TRUE(result == IoResult::Closed || result == IoResult::Failed);
    // The peer reset the connection: sending must fail instead of killing the process.
    IoResult send_result = IoResult::Done;
    for (int i = 0; i < 100 && send_result == IoResult::Done; ++i) send_result = pair.client.send_some("x", 1, got);
    EXPECT_EQ(send_result, IoResult::Failed);
}

TEST(Socket, ClosedSocketFailsEveryCall) {
    Socket socket;
    EXPECT_FALSE(socket.is_open());
    size_t n = 0;
    char byte = 0;
    EXPECT_EQ(socket.send_some("x", 1, n), IoResult::Failed);
    EXPECT_EQ(socket.receive_some(&byte, 1, n), IoResult::Failed);
    EXPECT_EQ(socket.bytes_available(), -1);
    socket.close();   // harmless twice
    EXPECT_FALSE(socket.accept(0).is_open());
}

TEST(Socket, AcceptTimesOutWithoutAConnection) {
    Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    EXPECT_FALSE(listener.accept(10).is_open());
}

TEST(Socket, ConnectFailuresLeaveTheSocketClosed) {
    Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    uint16_t port = listener.local_port();
    listener.close();   // nothing listens there any more
    Socket socket;
    EXPECT_FALSE(socket.connect("127.0.0.1", port));
    EXPECT_FALSE(socket.is_open());
    EXPECT_FALSE(socket.connect("no-such-host.invalid", 443));
    EXPECT_FALSE(socket.is_open());
}

TEST(Socket, CloseFromAnotherThreadEndsAConnectInProgress) {
    Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0, 0));
    Socket first;
    ASSERT_TRUE(first.connect("127.0.0.1", listener.local_port()));
    // The accept queue is full now: the next connection attempt gets no answer.
    Socket waiting;
    std::atomic<bool> connected{true};
    std::thread owner([&] { connected = waiting.connect("127.0.0.1", listener.local_port()); });
    while (!waiting.is_open()) std::this_thread::yield();
    waiting.close();
    owner.join();
    EXPECT_FALSE(connected);
    EXPECT_FALSE(waiting.is_open());
}

TEST(Socket, ResolvesNames) {
    Socket listener;
    ASSERT_TRUE(listener.listen("127.0.0.1", 0));
    Socket client;
    EXPECT_TRUE(client.connect("localhost", listener.local_port()));
    EXPECT_TRUE(listener.accept(5000).is_open());
}

TEST(Socket, MoveTransfersOwnership) {
    LoopbackPair pair;
    int fd = pair.client.native_handle();
    Socket moved(std::move(pair.client));
    EXPECT_FALSE(pair.client.is_open());
    EXPECT_EQ(moved.native_handle(), fd);
    Socket assigned;
    assigned = std::move(moved);
    EXPECT_FALSE(moved.is_open());
    EXPECT_EQ(assigned.native_handle(), fd);
}

}  // namespace kb::platform
