#include "server/server_login.h"

#include <openssl/rand.h>

#include "net/login_challenge.h"
#include "net/login_packet.h"
#include "server/client_session.h"
#include "server/login_delay.h"

namespace kb::server {

namespace {

bool mode_served(ServerRole role, net::LoginMode mode) {
    return role == ServerRole::History ? mode == net::LoginMode::HistoryServer
                                       : mode != net::LoginMode::HistoryServer;
}

// The reply goes out scrambled with the key the server holds for the login, so only a
// terminal that used that key reads the code.
void begin_reply(net::PacketStream& stream, const net::LoginRequest& request, const net::ConnectionKey& key) {
    stream.set_key(key);
    stream.set_login(request.login, request.mode);
    stream.reset_scrambling();
}

std::optional<AcceptedLogin> refuse(ServerContext& context, net::PacketStream& stream, const net::LoginRequest& request,
                                    net::ReturnCode code) {
    context.log.write("'%d': login refused [%d %s]", request.login, net::code_value(code),
                      net::return_code_text(code));
    net::send_login_refusal(stream, code);
    stream.close();
    return std::nullopt;
}

}  // namespace

std::optional<AcceptedLogin> accept_login(ServerContext& context, ServerRole role, net::PacketStream& stream,
                                          uint8_t first_byte, uint32_t peer_address) {
    net::LoginPacketBytes packet{};
    packet[0] = first_byte;
    if (!stream.receive_exactly(packet.data() + 1, packet.size() - 1)) return std::nullopt;
    net::LoginRequest request;
    net::LoginPacketStatus status = net::parse_login_packet(packet, request);
    if (status == net::LoginPacketStatus::Malformed) {
        context.log.write("malformed login packet, connection closed");
        stream.close();
        return std::nullopt;
    }

    std::optional<AccountRow> account = context.storage.account(request.login);
    const bool history = request.mode == net::LoginMode::HistoryServer;
    net::ConnectionKey key = history || !account ? net::login_key(request.mode, "") : account->password_digest;
    bool investor = false;
    bool proof_ok = false;
    if (account) {
        proof_ok = net::login_proof(key) == request.proof;
        if (!proof_ok && !history && net::login_proof(account->investor_digest) == request.proof &&
            account->investor_digest != net::Md5Digest{}) {
            key = account->investor_digest;
            investor = proof_ok = true;
        }
    }
    begin_reply(stream, request, key);

    if (status == net::LoginPacketStatus::OldVersion) return refuse(context, stream, request, net::ReturnCode::OldVersion);
    if (!mode_served(role, request.mode)) return refuse(context, stream, request, net::ReturnCode::InvalidParameters);
    if (!proof_ok) {
        hold_back_wrong_password(context, stream, request.login, peer_address);
        return refuse(context, stream, request, net::ReturnCode::InvalidAccount);
    }
    if (!account->enabled) return refuse(context, stream, request, net::ReturnCode::AccountDisabled);

    const auto build = static_cast<uint16_t>(context.config.reported_build());
    const uint32_t identity = context.config.server.identity;
    if (!net::send_login_acceptance(stream, net::ServerLoginInfo{0, build, identity})) return std::nullopt;
    if (net::login_needs_challenge(request.mode, build, identity)) {
        net::LoginChallenge challenge{};
        if (RAND_bytes(challenge.data(), static_cast<int>(challenge.size())) != 1) {
            return refuse(context, stream, request, net::ReturnCode::CommonError);
        }
        net::ReturnCode code = net::challenge_login(stream, challenge, request.build);
        if (code != net::ReturnCode::Ok) {
            context.log.write("'%d': login challenge failed [%d]", request.login, net::code_value(code));
            stream.close();
            return std::nullopt;
        }
    }
    forget_wrong_passwords(context, peer_address);
    context.storage.record_login(request.login, context.clock.unix_time(), peer_address);
    context.log.write("'%d': logged in (%s%s)", request.login,
                      history ? "history server" : request.mode == net::LoginMode::TradeChannel ? "trade channel"
                                                                                               : "trade server",
                      investor ? ", investor" : "");
    return AcceptedLogin{*account, request.mode, investor};
}

}  // namespace kb::server
