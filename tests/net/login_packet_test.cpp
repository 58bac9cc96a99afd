#include "net/login_packet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/login_challenge.h"
#include "net/protocol.h"
#include "platform/thread.h"
#include "tests/net/loopback.h"
#include "tests/support/fake_server.h"

namespace kb::net {
namespace {

using Bytes = std::vector<uint8_t>;

// MD5("password"), written out so the test does not rely on md5().
constexpr uint8_t kPasswordDigest[16] = {0x5f, 0x4d, 0xcc, 0x3b, 0x5a, 0xa7, 0x65, 0xd6,
                                         0x1d, 0x83, 0x27, 0xde, 0xb8, 0x82, 0xcf, 0x99};

// The login packet re-derived from its rules, independently of the code under test.
Bytes expected_packet(const uint8_t digest[16], int32_t login, uint8_t kind, bool trade_channel) {
    Bytes plain(28, 0);
    plain[0] = kind;
    plain[1] = static_cast<uint8_t>(kind + (trade_channel ? 1 : 0) + login - 67);
    plain[2] = 1;
    for (int i = 0; i < 16; ++i) {
        uint8_t before = i == 0 ? 0 : digest[i - 1];
        plain[3 + i] = digest[i] ^ static_cast<uint8_t>(digest[i] + before);
    }
    for (int i = 0; i < 4; ++i) plain[19 + i] = static_cast<uint8_t>(static_cast<uint32_t>(login) >> (8 * i));
    plain[23] = 400 & 0xFF;
    plain[24] = 400 >> 8;
    plain[25] = 445 & 0xFF;
    plain[26] = 445 >> 8;
    plain[27] = trade_channel ? 1 : 0;

    static const uint8_t table[16] = {7, 211, 90, 164, 29, 133, 248, 62, 175, 14, 101, 226, 48, 159, 83, 196};
    Bytes sent = plain;
    uint8_t previous_scrambled = 0;
    for (size_t i = 1; i < 28; ++i) {
        sent[i] = plain[i] ^ static_cast<uint8_t>(previous_scrambled + table[(i - 1) % 16]);
        previous_scrambled = sent[i];
    }
    return sent;
}

Bytes as_bytes(const LoginPacketBytes& packet) { return Bytes(packet.begin(), packet.end()); }

TEST(LoginPacket, TradeServerPacketMatchesTheRules) {
    LoginPacketBytes packet = build_login_packet(12345, connection_key("password"), LoginMode::TradeServer);

    EXPECT_EQ(as_bytes(packet), expected_packet(kPasswordDigest, 12345, 0, false));
    // By hand: kind 0 plain; check (12345 - 67) mod 256 = 0xF6, scrambled with table[0] = 7.
    EXPECT_EQ(packet[0], 0x00);
    EXPECT_EQ(packet[1], 0xF6 ^ 0x07);
}

TEST(LoginPacket, ProofStartsWithZeroAndChainsOnTheDigest) {
    LoginProof proof = login_proof(connection_key("password"));
    EXPECT_EQ(proof[0], 0x00);                     // M[0] XOR (M[0] + 0)
    EXPECT_EQ(proof[1], 0x4d ^ ((0x4d + 0x5f) & 0xFF));   // 0xE1
    EXPECT_EQ(proof[15], 0x99 ^ ((0x99 + 0xcf) & 0xFF));
}

TEST(LoginPacket, HistoryServerPacketUsesKind11AndTheAccessString) {
    LoginPacketBytes packet = build_login_packet(777, login_key(LoginMode::HistoryServer, "ignored"),
                                                 LoginMode::HistoryServer);
    Md5Digest access_digest = connection_key("r47Kb2w-m83Tq16x");

    EXPECT_EQ(as_bytes(packet), expected_packet(access_digest.data(), 777, 11, false));
    EXPECT_EQ(packet[0], 11);
    EXPECT_EQ(login_check_byte(LoginMode::HistoryServer, 777), static_cast<uint8_t>(11 + 777 - 67));
}

TEST(LoginPacket, TradeChannelPacketEndsWithOneAndCountsItInTheCheck) {
    LoginPacketBytes packet = build_login_packet(12345, connection_key("password"), LoginMode::TradeChannel);
    EXPECT_EQ(as_bytes(packet), expected_packet(kPasswordDigest, 12345, 0, true));

    LoginPacketBytes plain = packet;
    file_unscramble(std::span<uint8_t>(plain).subspan(1));
    EXPECT_EQ(plain[27], 1);
    EXPECT_EQ(plain[1], 0xF7);
}

TEST(LoginPacket, ServerReadsBackEveryMode) {
    const std::pair<LoginMode, int32_t> cases[] = {
        {LoginMode::TradeServer, 12345}, {LoginMode::HistoryServer, 5}, {LoginMode::TradeChannel, -1},
        {LoginMode::TradeServer, 2147483647}};
    for (auto [mode, login] : cases) {
        LoginPacketBytes packet = build_login_packet(login, login_key(mode, "pw-1"), mode);
        LoginRequest request;
        ASSERT_EQ(parse_login_packet(packet, request), LoginPacketStatus::Valid) << login;
        EXPECT_EQ(request.login, login);
        EXPECT_EQ(request.mode, mode);
        EXPECT_EQ(request.version, 400);
        EXPECT_EQ(request.build, 445);
        EXPECT_TRUE(login_proof_matches(request, "pw-1"));
        EXPECT_EQ(login_proof_matches(request, "pw-2"), mode == LoginMode::HistoryServer) << login;
    }
}

// Rebuilds a packet from changed plain fields, scrambled as the terminal would.
LoginPacketBytes rescrambled(LoginPacketBytes plain) {
    file_scramble(std::span<uint8_t>(plain).subspan(1));
    return plain;
}

LoginPacketBytes plain_packet(int32_t login, LoginMode mode) {
    LoginPacketBytes packet = build_login_packet(login, connection_key("password"), mode);
    file_unscramble(std::span<uint8_t>(packet).subspan(1));
    return packet;
}

TEST(LoginPacket, ServerRejectsDamagedPackets) {
    struct Case {
        const char* what;
        size_t offset;
        uint8_t value;
        LoginPacketStatus status;
    };
    const Case cases[] = {
        {"check byte", 1, 0x00, LoginPacketStatus::Malformed},
        {"kind", 0, 3, LoginPacketStatus::Malformed},
        {"marker", 2, 0, LoginPacketStatus::Malformed},
        {"mode byte", 27, 2, LoginPacketStatus::Malformed},
        {"version", 23, 0x91, LoginPacketStatus::OldVersion},
        {"older build", 25, 0xBC, LoginPacketStatus::OldVersion},
    };
    for (const Case& c : cases) {
        LoginPacketBytes plain = plain_packet(12345, LoginMode::TradeServer);
        plain[c.offset] = c.value;
        LoginRequest request;
        EXPECT_EQ(parse_login_packet(rescrambled(plain), request), c.status) << c.what;
    }
}

TEST(LoginPacket, HistoryKindWithTradeChannelByteIsMalformed) {
    LoginPacketBytes plain = plain_packet(100, LoginMode::HistoryServer);
    plain[27] = 1;
    plain[1] = static_cast<uint8_t>(plain[1] + 1);   // a consistent check byte for the pair
    LoginRequest request;
    EXPECT_EQ(parse_login_packet(rescrambled(plain), request), LoginPacketStatus::Malformed);
}

// A changed byte either gets the packet refused or shows in what the server reads (the
// build bytes carry no check: a higher build is a valid packet of another terminal).
TEST(LoginPacket, TamperedScrambledBytesNeverPassUnnoticed) {
    const LoginPacketBytes good = build_login_packet(12345, connection_key("password"), LoginMode::TradeServer);
    for (size_t offset = 1; offset < kLoginPacketSize; ++offset) {
        LoginPacketBytes packet = good;
        packet[offset] ^= 0x10;
        LoginRequest request;
        LoginPacketStatus status = parse_login_packet(packet, request);
        bool accepted_unchanged = status == LoginPacketStatus::Valid && login_proof_matches(request, "password") &&
                                  request.login == 12345 && request.mode == LoginMode::TradeServer &&
                                  request.version == 400 && request.build == 445;
        EXPECT_FALSE(accepted_unchanged) << "byte " << offset;
    }
}

TEST(LoginPacket, WrongPasswordFailsTheProof) {
    LoginRequest request;
    ASSERT_EQ(parse_login_packet(build_login_packet(9, connection_key("guess"), LoginMode::TradeServer), request),
              LoginPacketStatus::Valid);
    EXPECT_FALSE(login_proof_matches(request, "password"));
}

TEST(LoginPacket, ChallengeOnlyForNewServersWithIdentityOutsideHistoryLogins) {
    struct Case {
        LoginMode mode;
        uint16_t build;
        uint32_t identity;
        bool challenged;
    };
    const Case cases[] = {
        {LoginMode::TradeServer, 413, 1, true},      {LoginMode::TradeChannel, 500, 9, true},
        {LoginMode::TradeServer, 412, 1, false},     {LoginMode::TradeServer, 413, 0, false},
        {LoginMode::HistoryServer, 413, 1, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(login_needs_challenge(c.mode, c.build, c.identity), c.challenged)
            << static_cast<int>(c.mode) << " " << c.build << " " << c.identity;
    }
}

// ---- a whole login over loopback ----

struct ServerOutcome {
    LoginPacketStatus status = LoginPacketStatus::Malformed;
    LoginRequest request;
    bool challenged = false;
    ReturnCode final_code = ReturnCode::NoConnection;
};

// The accepting server: reads the packet, checks it against the account's password,
// accepts with the given build and identity and runs the challenge when due.
ServerOutcome serve_login(PacketStream& stream, std::string_view password, const ServerLoginInfo& info) {
    ServerOutcome outcome;
    LoginPacketBytes packet;
    if (!receive_login_packet(stream, packet)) return outcome;
    outcome.status = parse_login_packet(packet, outcome.request);
    begin_login_reply(stream, outcome.request, password);
    if (outcome.status != LoginPacketStatus::Valid || !login_proof_matches(outcome.request, password)) {
        send_login_refusal(stream, ReturnCode::InvalidAccount);
        outcome.final_code = ReturnCode::InvalidAccount;
        return outcome;
    }
    if (!send_login_acceptance(stream, info)) return outcome;
    outcome.final_code = ReturnCode::Ok;
    if (login_needs_challenge(outcome.request.mode, info.build, info.identity)) {
        outcome.challenged = true;
        LoginChallenge challenge;
        for (size_t i = 0; i < challenge.size(); ++i) challenge[i] = static_cast<uint8_t>(i * 37 + 5);
        outcome.final_code = challenge_login(stream, challenge, outcome.request.build);
    }
    return outcome;
}

TEST(LoginExchange, ClientAndServerLogInWithAndWithoutChallenge) {
    struct Case {
        LoginMode mode;
        uint16_t build;
        uint32_t identity;
        bool challenged;
    };
    const Case cases[] = {
        {LoginMode::TradeServer, 413, 0xA1B2C3D4, true},
        {LoginMode::TradeChannel, 445, 77, true},
        {LoginMode::TradeServer, 412, 0xA1B2C3D4, false},
        {LoginMode::HistoryServer, 445, 77, false},
        {LoginMode::TradeServer, 445, 0, false},
    };
    for (const Case& c : cases) {
        testing::LoopbackStreams streams{platform::system_clock()};
        ServerOutcome outcome;
        platform::Thread server;
        ASSERT_TRUE(server.start([&] { outcome = serve_login(streams.server, "s3cret", {4, c.build, c.identity}); }));

        const ReturnCode code = log_in(streams.client, 31337, "s3cret", c.mode);
        server.join();

        EXPECT_EQ(code, ReturnCode::Ok) << c.build;
        EXPECT_EQ(outcome.status, LoginPacketStatus::Valid);
        EXPECT_EQ(outcome.request.login, 31337);
        EXPECT_EQ(outcome.request.mode, c.mode);
        EXPECT_EQ(outcome.challenged, c.challenged) << c.build;
        EXPECT_EQ(outcome.final_code, ReturnCode::Ok);
        EXPECT_EQ(streams.client.server_build(), c.build);
        EXPECT_EQ(streams.client.server_identity(), c.identity);
        EXPECT_EQ(streams.client.login(), 31337);
        EXPECT_EQ(streams.client.login_mode(), c.mode);

        // Both ends carry on scrambled in step: a keep-alive each way.
        ASSERT_TRUE(streams.client.send_byte(2));
        EXPECT_EQ(streams.server.read_byte(), 2);
        ASSERT_TRUE(streams.server.send_byte(2));
        EXPECT_EQ(streams.client.read_byte(), 2);
    }
}

TEST(LoginExchange, WrongChallengeAnswerGetsCommonError) {
    testing::LoopbackStreams streams{platform::system_clock()};
    ServerOutcome outcome;
    platform::Thread server;
    ASSERT_TRUE(server.start([&] { outcome = serve_login(streams.server, "s3cret", {0, 445, 5}); }));

    ASSERT_TRUE(send_login_packet(streams.client, 8, "s3cret", LoginMode::TradeServer));
    uint8_t head[8];
    ASSERT_TRUE(streams.client.read(head, sizeof(head)));   // code 0, flags, build, identity
    LoginChallenge challenge;
    ASSERT_TRUE(streams.client.read(challenge.data(), challenge.size()));
    std::string answer = login_challenge_answer(challenge, streams.client.key(), 444);   // wrong build
    ASSERT_TRUE(streams.client.send_packet(reinterpret_cast<uint8_t*>(answer.data()), answer.size()));
    EXPECT_EQ(streams.client.read_byte(), 2);
    server.join();
    EXPECT_EQ(outcome.final_code, ReturnCode::CommonError);
}

TEST(LoginExchange, RefusalCodeReachesTheClient) {
    testing::LoopbackStreams streams{platform::system_clock()};
    platform::Thread server;
    ASSERT_TRUE(server.start([&] {
        LoginPacketBytes packet;
        LoginRequest request;
        if (!receive_login_packet(streams.server, packet)) return;
        parse_login_packet(packet, request);
        begin_login_reply(streams.server, request, "s3cret");
        send_login_refusal(streams.server, ReturnCode::AccountDisabled);
    }));
    EXPECT_EQ(log_in(streams.client, 8, "s3cret", LoginMode::TradeServer), ReturnCode::AccountDisabled);
    server.join();
}

TEST(LoginExchange, ReplyCutAfterCodeZeroIsNoConnection) {
    kb::testing::FakeServer server;
    ConnectionKey key = connection_key("pw");
    LoginPacketBytes packet = build_login_packet(42, key, LoginMode::TradeServer);
    server.expect_raw(Bytes(packet.begin(), packet.end())).use_key(key).send({0, 1}).stall(5000);
    server.start();

    platform::ManualClock clock;
    PacketStream client(nullptr, clock);
    ASSERT_TRUE(client.connect(server.address(), 443));
    ASSERT_TRUE(send_login_packet(client, 42, "pw", LoginMode::TradeServer));
    ASSERT_TRUE(server.wait_for_steps(3));
    EXPECT_EQ(read_login_reply(client), ReturnCode::NoConnection);   // the build and identity never come
    EXPECT_FALSE(client.is_open());
    server.release();
    server.finish();
    EXPECT_TRUE(server.all_matched()) << server.report();
}

}  // namespace
}  // namespace kb::net
