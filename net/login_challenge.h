#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/packet_stream.h"
#include "net/protocol.h"
#include "net/scramble.h"

namespace kb::net {

// The challenge that a server of build 413 or above puts to a trade server or trade
// channel login when its identity is not 0 (see net/login_packet.h). The recipe is ours;
// the terminal and the demo server both take it from here:
//
//   A = MD5(challenge || "KBBuild" || terminal build, uint16 little-endian)
//   B = MD5(challenge || "KBType" || connection key)
//   C = MD5(challenge || "KBLogin" || connection key || "KBComplex")
//   answer = base64(A || B || first 10 bytes of C)     42 bytes -> 56 characters, no "="
//
// The server sends the 64 challenge bytes, the terminal the 56 answer characters, the
// server one final code; all of them stream-scrambled. Pure functions are callable from
// any thread; the others work on the caller's stream.

inline constexpr size_t kLoginChallengeSize = 64;
inline constexpr size_t kLoginChallengeAnswerSize = 56;
using LoginChallenge = std::array<uint8_t, kLoginChallengeSize>;

// The 56-character answer to a challenge.
std::string login_challenge_answer(const LoginChallenge& challenge, const ConnectionKey& key, uint16_t build);

// True when answer is the answer to the challenge for that key and terminal build.
bool login_challenge_answer_matches(const LoginChallenge& challenge, const ConnectionKey& key, uint16_t build,
                                    std::string_view answer);

// Terminal: reads the challenge, sends the answer for the stream's key and this program's
// build, and returns the server's final code; 6 ("No connection") when a transfer fails
// (stream closed).
ReturnCode answer_login_challenge(PacketStream& stream);

// Server: sends the challenge, reads the answer and checks it with the stream's key and
// the build from the client's login packet, then sends the final code: 0 when the answer
// matches, 2 ("Common error") otherwise. Returns the code sent, or NoConnection when a
// transfer failed (stream closed).
ReturnCode challenge_login(PacketStream& stream, const LoginChallenge& challenge, uint16_t client_build);

}  // namespace kb::net
