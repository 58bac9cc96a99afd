#include "server/client_session.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

// Clients send at most this much of their crash log.
constexpr uint32_t kCrashLogLimit = 128000;

}  // namespace

HandlerResult handle_crash_log(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    uint32_t length = 0;
    if (!stream.read_u32(length)) return HandlerResult::Close;
    if (length > kCrashLogLimit) {
        session.context().log.write("'%d': crash log of %u bytes refused, connection closed", session.account().login,
                                    length);
        return HandlerResult::Close;
    }
    CrashLogRow log;
    log.login = session.account().login;
    log.time = session.context().clock.unix_time();
    log.address = session.peer_address();
    log.content.resize(length);
    if (length && !stream.read(log.content.data(), length)) return HandlerResult::Close;
    if (!session.context().storage.add_crash_log(log))
        session.context().log.write("'%d': crash log not stored: %s", log.login,
                                    session.context().storage.last_error().c_str());
    return HandlerResult::Continue;
}

}  // namespace kb::server
