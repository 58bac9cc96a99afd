#pragma once
#include <cstdint>
#include <optional>

#include "net/packet_stream.h"
#include "server/server_context.h"
#include "server/storage.h"

namespace kb::server {

enum class ServerRole;

struct AcceptedLogin {
    AccountRow account;   // as stored before this login: its last-login fields are the previous login's
    net::LoginMode mode = net::LoginMode::TradeServer;
    bool investor = false;   // logged in with the read-only password
};

// The server's side of a login, after the first byte of the packet (already read) was a
// login packet's kind byte: reads the rest, checks form, version, mode, account and proof,
// and answers. Refusals: a malformed packet closes without a reply; otherwise the reply
// code (5 old version, 3 a login mode this door doesn't serve, 65 unknown login or wrong
// password, 64 disabled account, the challenge's code) is sent scrambled with the
// account's key and the stream is closed. On acceptance sends code 0, the build and the
// identity, runs the challenge when the build calls for one, records the login time and
// the peer's address (IPv4, lowest byte first), and returns the account. Runs on the
// session's thread.
std::optional<AcceptedLogin> accept_login(ServerContext& context, ServerRole role, net::PacketStream& stream,
                                          uint8_t first_byte, uint32_t peer_address);

}  // namespace kb::server
