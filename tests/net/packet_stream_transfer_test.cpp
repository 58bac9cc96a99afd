#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "net/packet_stream.h"
#include "net/protocol.h"
#include "platform/clock.h"
#include "tests/net/loopback.h"

namespace kb::net {

using testing::LoopbackStreams;

namespace {

void send_text(PacketStream& stream, const std::string& text) {
    ASSERT_TRUE(stream.send_all(text.data(), text.size()));
}

// A clock that records each pause instead of waiting and lets a test act during one.
struct PauseRecorder final : platform::Clock {
    std::vector<uint32_t> pauses;
    std::function<void(size_t)> on_pause;

    uint32_t tick_ms() override { return 0; }
    int64_t unix_time() override { return 0; }
    platform::DateTime local_time() override { return {}; }
    void sleep_ms(uint32_t ms) override {
        pauses.push_back(ms);
        if (on_pause) on_pause(pauses.size());
    }
};

}  // namespace

TEST(PacketStreamReceiveLine, SkipsCarriageReturnsAndEndsAtLineFeedOrLimit) {
    LoopbackStreams link{platform::system_clock()};
    send_text(link.server, "ab\r\ncd\n\r\n0123456789\nlast\n");
    ASSERT_TRUE(LoopbackStreams::wait_readable(link.client, 25));
    std::string line;
    const std::pair<size_t, const char*> reads[] = {
        {100, "ab"}, {100, "cd"}, {100, ""}, {4, "0123"}, {100, "456789"}, {4, "last"}, {100, ""}};
    // The last read finds the line feed left behind when the limit ended "last".
    for (auto [limit, expected] : reads) {
        ASSERT_TRUE(link.client.receive_line(line, limit)) << expected;
        EXPECT_EQ(line, expected);
    }
    EXPECT_TRUE(link.client.is_open());
}

TEST(PacketStreamWouldBlock, StalledPeerGetsNinePausesThenTheReadFailsAndCloses) {
    platform::ManualClock clock;
    LoopbackStreams link(clock);
    send_text(link.server, "12");
    ASSERT_TRUE(LoopbackStreams::wait_readable(link.client, 2));
    char buffer[4];
    EXPECT_FALSE(link.client.receive_exactly(buffer, sizeof(buffer)));
    EXPECT_EQ(clock.total_slept_ms(), 900u);
    EXPECT_FALSE(link.client.is_open());
}

TEST(PacketStreamWouldBlock, StalledLineFailsAfterNinePauses) {
    platform::ManualClock clock;
    LoopbackStreams link(clock);
    send_text(link.server, "no line feed");
    ASSERT_TRUE(LoopbackStreams::wait_readable(link.client, 12));
    std::string line;
    EXPECT_FALSE(link.client.receive_line(line, 100));
    EXPECT_EQ(clock.total_slept_ms(), 900u);
    EXPECT_FALSE(link.client.is_open());
}

TEST(PacketStreamWouldBlock, PeerThatStopsReadingFailsTheSend) {
    platform::ManualClock clock;
    LoopbackStreams link(clock);
    // Far more than the loopback buffers hold while nobody reads.
    std::vector<uint8_t> flood(64u << 20, 0x55);
    EXPECT_FALSE(link.client.send_all(flood.data(), flood.size()));
    EXPECT_EQ(clock.total_slept_ms(), 900u);
    EXPECT_FALSE(link.client.is_open());
}

TEST(PacketStreamWouldBlock, EachCallCountsItsOwnPausesOf100Ms) {
    PauseRecorder clock;
    LoopbackStreams link(clock);
    // The peer answers during the fifth pause: the call succeeds after five pauses.
    clock.on_pause = [&](size_t pauses) {
        if (pauses != 5) return;
        send_text(link.server, "x");
        EXPECT_TRUE(LoopbackStreams::wait_readable(link.client, 1));
    };
    char byte = 0;
    ASSERT_TRUE(link.client.receive_exactly(&byte, 1));
    EXPECT_EQ(byte, 'x');
    EXPECT_EQ(clock.pauses.size(), 5u);
    // The next call starts counting afresh: nine more pauses, then failure.
    EXPECT_FALSE(link.client.receive_exactly(&byte, 1));
    EXPECT_EQ(clock.pauses, std::vector<uint32_t>(14, 100));
}

TEST(PacketStreamFailure, PeerClosingMidReadFailsAndCloses) {
    platform::ManualClock clock;
    LoopbackStreams link(clock);
    send_text(link.server, "abc");
    link.server.close();
    char buffer[10];
    EXPECT_FALSE(link.client.receive_exactly(buffer, sizeof(buffer)));
    EXPECT_FALSE(link.client.is_open());
    EXPECT_LT(clock.total_slept_ms(), 900u);   // ended by the close, not by the stall rule
}

TEST(PacketStreamFailure, ReadByteGivesNoConnectionAndLeavesTheStreamClosed) {
    LoopbackStreams link{platform::system_clock()};
    link.server.close();
    EXPECT_EQ(link.client.read_byte(), code_byte(ReturnCode::NoConnection));
    EXPECT_FALSE(link.client.is_open());
    PacketStream never_opened(nullptr, platform::system_clock());
    EXPECT_EQ(never_opened.read_byte(), 6);
}

TEST(PacketStreamFailure, ReadFixedTextTerminatesTheFieldEvenWhenTheReadFails) {
    PacketStream closed(nullptr, platform::system_clock());
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_FALSE(closed.read_fixed_text(field, sizeof(field)));
    EXPECT_EQ(field[3], '\0');
}

TEST(PacketStreamFailure, SendOnAClosedStreamFails) {
    PacketStream stream(nullptr, platform::system_clock());
    uint8_t packet[3] = {1, 2, 3};
    EXPECT_FALSE(stream.send_packet(packet, sizeof(packet)));
    EXPECT_FALSE(stream.send_byte(Command::KeepAlive));
    EXPECT_FALSE(stream.send_quit());
    EXPECT_FALSE(stream.is_open());
}

TEST(PacketStreamFailure, CloseFromAnotherThreadEndsTheOwnersLoop) {
    LoopbackStreams link{platform::system_clock()};
    std::thread watchdog([&] { link.client.close(); });
    watchdog.join();
    EXPECT_FALSE(link.client.is_open());
    char byte = 0;
    EXPECT_FALSE(link.client.receive_exactly(&byte, 1));
}

}  // namespace kb::net
