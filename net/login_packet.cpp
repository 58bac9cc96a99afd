#include "net/login_packet.h"

#include <algorithm>
#include <cstring>

#include "net/digest.h"
#include "net/login_challenge.h"

namespace kb::net {

namespace {

constexpr uint8_t kMarker = 1;
constexpr int kCheckBase = 67;

// Bytes 1..27 carry the file scrambling; byte 0 (the kind) stays plain.
std::span<uint8_t> scrambled_part(LoginPacketBytes& bytes) { return std::span<uint8_t>(bytes).subspan(1); }

uint8_t kind_of(LoginMode mode) { return mode == LoginMode::HistoryServer ? kHistoryServerKind : 0; }

}  // namespace

ConnectionKey login_key(LoginMode mode, std::string_view password) {
    return connection_key(mode == LoginMode::HistoryServer ? kHistoryAccessString : password);
}

LoginProof login_proof(const ConnectionKey& key) {
    LoginProof proof{};
    uint8_t previous = 0;
    for (size_t i = 0; i < key.size(); ++i) {
        proof[i] = key[i] ^ static_cast<uint8_t>(key[i] + previous);
        previous = key[i];
    }
    return proof;
}

uint8_t login_check_byte(LoginMode mode, int32_t login) {
    int channel = mode == LoginMode::TradeChannel ? 1 : 0;
    return static_cast<uint8_t>(static_cast<uint32_t>(kind_of(mode)) + static_cast<uint32_t>(channel) +
                                static_cast<uint32_t>(login) - static_cast<uint32_t>(kCheckBase));
}

bool login_needs_challenge(LoginMode mode, uint16_t server_build, uint32_t server_identity) {
    return mode != LoginMode::HistoryServer && server_build >= kFirstChallengeBuild && server_identity != 0;
}

// ---- terminal side ----

LoginPacketBytes build_login_packet(int32_t login, const ConnectionKey& key, LoginMode mode) {
    LoginPacket packet{};
    packet.kind = kind_of(mode);
    packet.check = login_check_byte(mode, login);
    packet.marker = kMarker;
    LoginProof proof = login_proof(key);
    std::memcpy(packet.proof, proof.data(), proof.size());
    packet.login = login;
    packet.version = kProgramVersion;
    packet.build = kProgramBuild;
    packet.trade_channel = mode == LoginMode::TradeChannel ? 1 : 0;

    LoginPacketBytes bytes{};
    std::memcpy(bytes.data(), &packet, sizeof(packet));
    file_scramble(scrambled_part(bytes));
    return bytes;
}

bool send_login_packet(PacketStream& stream, int32_t login, std::string_view password, LoginMode mode) {
    stream.set_key(login_key(mode, password));
    LoginPacketBytes bytes = build_login_packet(login, stream.key(), mode);
    if (!stream.send_all(bytes.data(), bytes.size())) return false;
    stream.set_login(login, mode);
    // The server restarts its scrambling with its first reply byte.
    stream.reset_scrambling();
    return true;
}

ReturnCode read_login_reply(PacketStream& stream) {
    const ReturnCode code = stream.read_code();
    if (code != ReturnCode::Ok) return code;
    uint8_t flags = 0;
    uint16_t build = 0;
    uint32_t identity = 0;
    if (!stream.read(&flags, 1) || !stream.read_u16(build) || !stream.read_u32(identity)) return ReturnCode::NoConnection;
    stream.set_server_build(build);
    stream.set_server_identity(identity);
    if (!login_needs_challenge(stream.login_mode(), build, identity)) return code;
    return answer_login_challenge(stream);
}

ReturnCode log_in(PacketStream& stream, int32_t login, std::string_view password, LoginMode mode) {
    if (!send_login_packet(stream, login, password, mode)) return ReturnCode::NoConnection;
    return read_login_reply(stream);
}

// ---- server side ----

LoginPacketStatus parse_login_packet(const LoginPacketBytes& packet, LoginRequest& out) {
    LoginPacketBytes plain = packet;
    file_unscramble(scrambled_part(plain));
    LoginPacket fields;
    std::memcpy(&fields, plain.data(), sizeof(fields));

    if (fields.kind != 0 && fields.kind != kHistoryServerKind) return LoginPacketStatus::Malformed;
    if (fields.marker != kMarker || fields.trade_channel > 1) return LoginPacketStatus::Malformed;
    if (fields.kind == kHistoryServerKind && fields.trade_channel == 1) return LoginPacketStatus::Malformed;
    LoginMode mode = fields.kind == kHistoryServerKind ? LoginMode::HistoryServer
                     : fields.trade_channel == 1     ? LoginMode::TradeChannel
                                                     : LoginMode::TradeServer;
    if (fields.check != login_check_byte(mode, fields.login)) return LoginPacketStatus::Malformed;

    out.login = fields.login;
    out.mode = mode;
    out.version = fields.version;
    out.build = fields.build;
    std::memcpy(out.proof.data(), fields.proof, out.proof.size());
    if (fields.version != kProgramVersion || fields.build < kProgramBuild) return LoginPacketStatus::OldVersion;
    return LoginPacketStatus::Valid;
}

bool login_proof_matches(const LoginRequest& request, std::string_view password) {
    return login_proof(login_key(request.mode, password)) == request.proof;
}

bool receive_login_packet(PacketStream& stream, LoginPacketBytes& out) {
    return stream.receive_exactly(out.data(), out.size());
}

void begin_login_reply(PacketStream& stream, const LoginRequest& request, std::string_view password) {
    stream.set_key(login_key(request.mode, password));
    stream.set_login(request.login, request.mode);
    stream.reset_scrambling();
}

bool send_login_refusal(PacketStream& stream, ReturnCode code) {
    uint8_t reply = code_byte(code);
    return stream.send_packet(&reply, 1);
}

bool send_login_acceptance(PacketStream& stream, const ServerLoginInfo& info) {
    OutputBuffer& out = stream.output();
    out.reset();
    out.put_byte(code_byte(ReturnCode::Ok));
    out.put_byte(info.flags);
    out.put_u16(info.build);
    out.put_u32(info.identity);
    stream.set_server_build(info.build);
    stream.set_server_identity(info.identity);
    return stream.send_output();
}

}  // namespace kb::net
