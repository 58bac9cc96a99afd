#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/packet_stream.h"
#include "net/protocol.h"
#include "net/scramble.h"

namespace kb::net {

// The 28-byte login packet that opens every session, and the server's reply to it. The
// terminal (its session and trade channels) and the demo server both use this file.
//
// The packet before its scrambling:
//
//   offset 0   kind: 11 for a history server login, else 0          (sent plain)
//          1   check: (kind + 1 for a trade channel + login - 67) mod 256
//          2   1
//          3   proof P of the connection key M, 16 bytes:
//              P[i] = M[i] XOR ((M[i] + M[i-1]) mod 256), M[-1] = 0
//         19   login, int32
//         23   program version 400, uint16
//         25   program build 445, uint16
//         27   1 for a trade channel login, else 0
//
// Bytes 1..27 are file-scrambled (fixed key table, chain starting at 0, table index 0
// at byte 1); the packet is sent without stream scrambling. The connection key M is the
// MD5 digest of the account password, or of kHistoryAccessString for a history server.
//
// Reply, stream-scrambled with both states zeroed right after the packet (the server
// restarts its scrambling with its first reply byte): a code byte; for code 0 one more
// byte, the server build (uint16) and the server identity (uint32). When the server's
// build is kFirstChallengeBuild or above, the login is not a history server login and
// the identity is not 0, the challenge of net/login_challenge.h follows and its final
// code decides.
//
// Every function works on the caller's stream from the caller's thread; the pure ones
// are callable from any thread.

inline constexpr size_t kLoginPacketSize = 28;
inline constexpr uint16_t kProgramVersion = 400;
inline constexpr uint16_t kProgramBuild = 445;
inline constexpr uint8_t kHistoryServerKind = 11;
inline constexpr uint16_t kFirstChallengeBuild = 413;
// The password of every history server login.
inline constexpr std::string_view kHistoryAccessString = "r47Kb2w-m83Tq16x";

#pragma pack(push, 1)
// The packet's fields as they are before bytes 1..27 are scrambled.
struct LoginPacket {
    uint8_t kind;
    uint8_t check;
    uint8_t marker;           // always 1
    uint8_t proof[16];
    int32_t login;
    uint16_t version;
    uint16_t build;
    uint8_t trade_channel;    // 1 for a trade channel login, else 0
};
#pragma pack(pop)

static_assert(sizeof(LoginPacket) == kLoginPacketSize);
static_assert(offsetof(LoginPacket, check) == 1);
static_assert(offsetof(LoginPacket, marker) == 2);
static_assert(offsetof(LoginPacket, proof) == 3);
static_assert(offsetof(LoginPacket, login) == 19);
static_assert(offsetof(LoginPacket, version) == 23);
static_assert(offsetof(LoginPacket, build) == 25);
static_assert(offsetof(LoginPacket, trade_channel) == 27);

using LoginPacketBytes = std::array<uint8_t, kLoginPacketSize>;
using LoginProof = std::array<uint8_t, 16>;

// ---- shared rules ----

// The connection key of a login: MD5 of the access string for a history server login,
// else of the password.
ConnectionKey login_key(LoginMode mode, std::string_view password);
// The proof that travels in the packet instead of the key.
LoginProof login_proof(const ConnectionKey& key);
// The check byte for a login of that mode.
uint8_t login_check_byte(LoginMode mode, int32_t login);
// True when a reply of code 0 from a server of that build and identity goes on with the
// login challenge.
bool login_needs_challenge(LoginMode mode, uint16_t server_build, uint32_t server_identity);

// ---- terminal side ----

// The 28 bytes as they are sent, for the terminal's version and build.
LoginPacketBytes build_login_packet(int32_t login, const ConnectionKey& key, LoginMode mode);

// Sets the stream's key from the password (see login_key), sends the packet, stores the
// login and mode in the stream and zeroes both scrambling states. False (stream closed)
// when sending fails.
bool send_login_packet(PacketStream& stream, int32_t login, std::string_view password, LoginMode mode);

// Reads the server's reply to the login packet (or to a key challenge answer, which the
// server answers the same way) and returns its code; with code 0 the server build and
// identity are stored in the stream and a challenge is answered when one follows, and the
// final code is returned. 6 ("No connection") when a read or send fails (stream closed).
ReturnCode read_login_reply(PacketStream& stream);

// send_login_packet, then read_login_reply: the code of the login, 0 when logged in.
ReturnCode log_in(PacketStream& stream, int32_t login, std::string_view password, LoginMode mode);

// ---- server side ----

struct LoginRequest {
    int32_t login = 0;
    LoginMode mode = LoginMode::TradeServer;
    uint16_t version = 0;
    uint16_t build = 0;
    LoginProof proof{};
};

enum class LoginPacketStatus {
    Valid,
    Malformed,    // kind, check byte, marker or mode byte wrong: not our terminal's packet
    OldVersion,   // a well-formed packet of another version or of an older build
};

// Unscrambles and checks a received packet. out is filled for Valid and OldVersion.
LoginPacketStatus parse_login_packet(const LoginPacketBytes& packet, LoginRequest& out);

// True when the request's proof comes from this password (for a history server login from
// the access string, whatever the password).
bool login_proof_matches(const LoginRequest& request, std::string_view password);

// Reads the 28 raw bytes of a login packet. False (stream closed) on a transfer failure.
bool receive_login_packet(PacketStream& stream, LoginPacketBytes& out);

// Prepares the stream for its reply: the key from the password the server holds for the
// login (empty when it holds none), the login and mode, both scrambling states zeroed.
void begin_login_reply(PacketStream& stream, const LoginRequest& request, std::string_view password);

// The reply code alone, for a refused login. False (stream closed) when sending fails.
bool send_login_refusal(PacketStream& stream, ReturnCode code);

// What an accepting server tells the terminal after code 0.
struct ServerLoginInfo {
    uint8_t flags = 0;          // passed on by the terminal, no meaning here
    uint16_t build = 0;
    uint32_t identity = 0;
};

// Code 0, then the flags byte, build and identity; also stores build and identity in the
// stream. The caller runs the challenge next when login_needs_challenge says so. False
// (stream closed) when sending fails.
bool send_login_acceptance(PacketStream& stream, const ServerLoginInfo& info);

}  // namespace kb::net
