// The server's reading of a login packet and of a challenge answer. A packet the server
// takes as valid must be exactly the packet the terminal builds for the fields it read,
// and a base64 text that decodes must be the one text that encodes those bytes.
//
// Input: the first 28 bytes are the packet; the rest is a challenge answer text.
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "net/base64.h"
#include "net/login_challenge.h"
#include "net/login_packet.h"

namespace {

using namespace kb::net;

void check_packet(const LoginPacketBytes& packet) {
    LoginRequest request;
    if (parse_login_packet(packet, request) != LoginPacketStatus::Valid) return;
    LoginPacket fields{};
    fields.kind = request.mode == LoginMode::HistoryServer ? kHistoryServerKind : 0;
    fields.check = login_check_byte(request.mode, request.login);
    fields.marker = 1;
    std::memcpy(fields.proof, request.proof.data(), request.proof.size());
    fields.login = request.login;
    fields.version = request.version;
    fields.build = request.build;
    fields.trade_channel = request.mode == LoginMode::TradeChannel ? 1 : 0;
    LoginPacketBytes rebuilt;
    std::memcpy(rebuilt.data(), &fields, sizeof(fields));
    file_scramble(std::span<uint8_t>(rebuilt).subspan(1));
    if (rebuilt != packet) std::abort();
}

void check_answer(std::string_view text) {
    if (auto decoded = base64_decode(text); decoded && base64_encode(*decoded) != text) std::abort();
    LoginChallenge challenge{};
    if (text.size() == kLoginChallengeAnswerSize &&
        login_challenge_answer_matches(challenge, ConnectionKey{}, kProgramBuild, text) &&
        text != login_challenge_answer(challenge, ConnectionKey{}, kProgramBuild)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kLoginPacketSize) return 0;
    LoginPacketBytes packet;
    std::memcpy(packet.data(), data, packet.size());
    check_packet(packet);
    check_answer(std::string_view(reinterpret_cast<const char*>(data) + kLoginPacketSize, size - kLoginPacketSize));
    return 0;
}
