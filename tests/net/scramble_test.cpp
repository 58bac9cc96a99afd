#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "net/scramble.h"

namespace kb::net {

using Bytes = std::vector<uint8_t>;

TEST(ConnectionKey, IsTheMd5DigestOfThePassword) {
    const ConnectionKey expected = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                    0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(connection_key("abc"), expected);
}

TEST(StreamScrambling, KnownAnswerForTheFirstBytes) {
    const ConnectionKey key = connection_key("abc");   // 90 01 50 98 ...
    Bytes bytes = {0x41, 0x42, 0x43};
    ScrambleState state;
    scramble_outgoing(bytes, key, state);
    // 0x41 ^ (0 + 0x90), 0x42 ^ (0x41 + 0x01), 0x43 ^ (0x42 + 0x50)
    EXPECT_EQ(bytes, (Bytes{0xD1, 0x00, 0xD1}));
    EXPECT_EQ(state.previous, 0x43);
    EXPECT_EQ(state.position, 3u);
}

TEST(StreamScrambling, ReceiverFollowsTheSenderAcrossPacketsAndKeyWrap) {
    const ConnectionKey key = connection_key("password");
    std::mt19937 random(7);
    ScrambleState sender, receiver;
    for (size_t size : {1u, 15u, 16u, 17u, 100u, 3u}) {
        Bytes plain(size);
        for (auto& byte : plain) byte = static_cast<uint8_t>(random());
        Bytes wire = plain;
        scramble_outgoing(wire, key, sender);
        unscramble_incoming(wire, key, receiver);
        EXPECT_EQ(wire, plain) << size;
    }
    EXPECT_LT(sender.position, 16u);            // kept within the key
    EXPECT_EQ(receiver.position, 152u);         // counts up
    EXPECT_EQ(sender.previous, receiver.previous);
}

namespace {

// Byte-at-a-time forms of the rules, to check the chunked implementation against.
Bytes reference_send(Bytes bytes, const ConnectionKey& key, ScrambleState state) {
    for (auto& byte : bytes) {
        uint8_t plain = byte;
        byte = plain ^ static_cast<uint8_t>(state.previous + key[state.position]);
        state.previous = plain;
        state.position = (state.position + 1) % 16;
    }
    return bytes;
}

Bytes reference_receive(Bytes bytes, const ConnectionKey& key, ScrambleState state) {
    for (auto& byte : bytes) {
        byte ^= static_cast<uint8_t>(state.previous + key[state.position % 16]);
        state.previous = byte;
        ++state.position;
    }
    return bytes;
}

}  // namespace

TEST(StreamScrambling, MatchesTheByteAtATimeRuleForAnyLengthAndState) {
    const ConnectionKey key = connection_key("reference");
    std::mt19937 random(3);
    for (size_t size : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 1000u}) {
        for (uint32_t position : {0u, 1u, 7u, 15u}) {
            Bytes plain(size);
            for (auto& byte : plain) byte = static_cast<uint8_t>(random());
            ScrambleState start{static_cast<uint8_t>(random()), position};

            Bytes sent = plain;
            ScrambleState send_state = start;
            scramble_outgoing(sent, key, send_state);
            EXPECT_EQ(sent, reference_send(plain, key, start)) << size << "/" << position;
            EXPECT_EQ(send_state.position, (position + size) % 16);
            if (size > 0) {
                EXPECT_EQ(send_state.previous, plain.back());
            }

            // The receive position keeps counting past 16 (and wraps at 2^32 in step with the key).
            ScrambleState receive_start{start.previous, 0xFFFFFFF0u + position};
            Bytes received = sent;
            ScrambleState receive_state = receive_start;
            unscramble_incoming(received, key, receive_state);
            EXPECT_EQ(received, reference_receive(sent, key, receive_start)) << size << "/" << position;
            EXPECT_EQ(received, plain) << size << "/" << position;
            EXPECT_EQ(receive_state.position, static_cast<uint32_t>(receive_start.position + size));
        }
    }
}

TEST(StreamScrambling, UnadvancedByteMatchesTheNextScrambledByte) {
    const ConnectionKey key = connection_key("k");
    ScrambleState state{0x5A, 9};
    uint8_t alone = scramble_without_advancing(13, key, state);
    Bytes next = {13};
    scramble_outgoing(next, key, state);
    EXPECT_EQ(alone, next[0]);
}

TEST(FileScrambling, KnownAnswerChainsOnScrambledBytes) {
    Bytes bytes = {0x00, 0x00, 0x41, 0xFF, 0x10};
    file_scramble(bytes);
    // 0^7, 0^(7+211), 0x41^(0xDA+90), 0xFF^(0x75+164), 0x10^(0xE6+29)
    EXPECT_EQ(bytes, (Bytes{0x07, 0xDA, 0x75, 0xE6, 0x13}));
    file_unscramble(bytes);
    EXPECT_EQ(bytes, (Bytes{0x00, 0x00, 0x41, 0xFF, 0x10}));
}

TEST(FileScrambling, UnscrambleThenScrambleRestoresTheBody) {
    std::mt19937 random(11);
    for (size_t size : {0u, 1u, 16u, 17u, 592u, 4099u}) {
        Bytes original(size);
        for (auto& byte : original) byte = static_cast<uint8_t>(random());
        Bytes bytes = original;
        file_unscramble(bytes);
        file_scramble(bytes);
        EXPECT_EQ(bytes, original) << size;
        file_scramble(bytes);
        file_unscramble(bytes);
        EXPECT_EQ(bytes, original) << size;
    }
}

}  // namespace kb::net
