#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/protocol.h"
#include "net/trade_request_signing.h"
#include "tests/net/loopback.h"

namespace kb::net {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int32_t kLogin = 500123;
constexpr uint32_t kIdentity = 0x00C0FFEE;   // second-lowest byte 0xFF

TradeRequestBytes sample_request() {
    TradeRequestBytes request{};
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i * 13 + 5);
    return request;
}

// The bytes after the command byte.
Bytes signed_payload(const TradeRequestBytes& request, int32_t login, uint16_t build, uint32_t identity) {
    OutputBuffer out;
    append_trade_request(out, request, login, build, identity);
    EXPECT_EQ(out.data()[0], command_byte(Command::TradeRequest));
    return Bytes(out.data() + 1, out.data() + out.size());
}

// Bit-at-a-time reference for the table-driven CRC.
uint32_t reference_crc(uint32_t reg, const uint8_t* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        reg ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1)));
    }
    return reg ^ 0xFFFFFFFFu;
}

struct Case {
    uint16_t build;
    uint32_t identity;
    bool trailer;
};
const Case kCases[] = {{403, kIdentity, false}, {404, kIdentity, false}, {412, kIdentity, false},
                       {413, kIdentity, true},  {413, 0, false},         {445, kIdentity, true}};

}  // namespace

TEST(TradeRequestCheckValue, SumsTheFirst92BytesAndMixesInADigestAbove403) {
    TradeRequestBytes zeros{};
    EXPECT_EQ(trade_request_check_value(zeros, 1000, 403), 1000u);
    EXPECT_EQ(trade_request_check_value(zeros, 1000, 404), 1000u ^ 0xF84E16D5u);
    TradeRequestBytes counting{};
    for (size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<uint8_t>(i);
    // Bytes 92..95 (where the value goes) are not covered: 0 + 1 + ... + 91 = 4186.
    EXPECT_EQ(trade_request_check_value(counting, -1, 403), 4185u);
    EXPECT_EQ(trade_request_check_value(counting, 0, 413), 4186u ^ 0xDB3B24C9u);
}

TEST(TradeRequestSigning, RoundTripForEveryBuildAndIdentity) {
    const TradeRequestBytes request = sample_request();
    for (const Case& c : kCases) {
        Bytes payload = signed_payload(request, kLogin, c.build, c.identity);
        EXPECT_EQ(payload.size(), trade_request_payload_size(kLogin, c.build, c.identity)) << c.build;
        EXPECT_EQ(payload.size() > kTradeRequestSize, c.trailer) << c.build;
        if (c.trailer) {
            EXPECT_GE(payload.size(), kTradeRequestSize + 1 + 4 + 4);
            EXPECT_LE(payload.size(), kTradeRequestSize + 4 + 4 + 7);
        }
        uint32_t check = trade_request_check_value(request, kLogin, c.build);
        uint32_t stored = 0;
        std::memcpy(&stored, payload.data() + kTradeRequestCheckOffset, 4);
        EXPECT_EQ(stored, check);

        auto verified = verify_trade_request(payload, kLogin, c.build, c.identity);
        ASSERT_TRUE(verified.has_value()) << c.build;
        EXPECT_TRUE(std::equal(request.begin(), request.begin() + 92, verified->begin()));
        EXPECT_EQ(std::memcmp(verified->data() + 92, &check, 4), 0);
    }
}

TEST(TradeRequestSigning, RejectsAFlippedByteAnywhere) {
    const TradeRequestBytes request = sample_request();
    for (const Case& c : kCases) {
        const Bytes payload = signed_payload(request, kLogin, c.build, c.identity);
        for (size_t i = 0; i < payload.size(); ++i) {
            Bytes damaged = payload;
            damaged[i] ^= 0x01;
            EXPECT_FALSE(verify_trade_request(damaged, kLogin, c.build, c.identity)) << c.build << " byte " << i;
        }
    }
}

TEST(TradeRequestSigning, RejectsWrongLoginAndWrongLengths) {
    const TradeRequestBytes request = sample_request();
    for (const Case& c : kCases) {
        Bytes payload = signed_payload(request, kLogin, c.build, c.identity);
        EXPECT_FALSE(verify_trade_request(payload, kLogin + 1, c.build, c.identity)) << c.build;
        Bytes shorter(payload.begin(), payload.end() - 1);
        EXPECT_FALSE(verify_trade_request(shorter, kLogin, c.build, c.identity)) << c.build;
        Bytes longer = payload;
        longer.push_back(0);
        EXPECT_FALSE(verify_trade_request(longer, kLogin, c.build, c.identity)) << c.build;
    }
    EXPECT_FALSE(verify_trade_request(Bytes{}, kLogin, 445, kIdentity));
}

TEST(TradeRequestSigning, TrailerFollowsTheSeededGeneratorAndTheCrc) {
    const TradeRequestBytes request = sample_request();
    Bytes payload = signed_payload(request, kLogin, 445, kIdentity);
    // Same sequence as the C generator seeded with login + second-lowest identity byte.
    std::srand(static_cast<unsigned>(kLogin) + 0xFF);
    size_t leading = static_cast<size_t>(std::rand()) % 4 + 1;
    for (size_t i = 0; i < leading; ++i)
        EXPECT_EQ(payload[kTradeRequestSize + i], std::rand() & 0xFF) << i;
    uint32_t check = trade_request_check_value(request, kLogin, 445);
    uint32_t crc = reference_crc(check ^ 0xFFFFFFFFu, payload.data(), kTradeRequestSize + leading);
    uint32_t stored = 0;
    std::memcpy(&stored, payload.data() + kTradeRequestSize + leading, 4);
    EXPECT_EQ(stored, crc);
    size_t closing = static_cast<size_t>(std::rand()) % 4 + 4;
    ASSERT_EQ(payload.size(), kTradeRequestSize + leading + 4 + closing);
    for (size_t i = 0; i < closing; ++i)
        EXPECT_EQ(payload[kTradeRequestSize + leading + 4 + i], std::rand() & 0xFF) << i;
}

TEST(TradeRequestSigning, OnlyTheSecondLowestIdentityByteSeedsTheTrailer) {
    const TradeRequestBytes request = sample_request();
    EXPECT_EQ(signed_payload(request, kLogin, 445, 0x1234), signed_payload(request, kLogin, 445, 0xAB1299));
    EXPECT_NE(signed_payload(request, kLogin, 445, 0x1234), signed_payload(request, kLogin, 445, 0x1334));
    // A trailer built for one identity byte does not pass for another.
    Bytes payload = signed_payload(request, kLogin, 445, 0x1234);
    EXPECT_FALSE(verify_trade_request(payload, kLogin, 445, 0x1334));
}

TEST(TradeRequestSigning, SentOverAStreamVerifiesOnTheServer) {
    testing::LoopbackStreams link{platform::system_clock()};
    const ConnectionKey key = connection_key("trader-password");
    link.client.set_key(key);
    link.server.set_key(key);
    link.client.set_login(kLogin, LoginMode::TradeChannel);
    link.client.set_server_build(445);
    link.client.set_server_identity(kIdentity);
    const TradeRequestBytes request = sample_request();
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(send_trade_request(link.client, request));
        size_t size = trade_request_payload_size(kLogin, 445, kIdentity);
        ASSERT_TRUE(testing::LoopbackStreams::wait_readable(link.server, 1 + size));
        EXPECT_EQ(link.server.read_byte(), command_byte(Command::TradeRequest));
        Bytes payload(size);
        ASSERT_TRUE(link.server.read(payload.data(), size));
        EXPECT_TRUE(verify_trade_request(payload, kLogin, 445, kIdentity)) << round;
    }
}

}  // namespace kb::net
