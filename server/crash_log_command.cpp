#include "server/client_session.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

// Clients send at most this much of their crash log.
constexpr uint32_t kCrashLogLimit = 128000;
// What one account may keep in all: eight full uploads.
constexpr size_t kAccountCrashLogLimit = 8 * size_t{kCrashLogLimit};

}  // namespace

HandlerResult handle_crash_log(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    ServerContext& context = session.context();
    const int32_t login = session.account().login;
    uint32_t length = 0;
    if (!stream.read_u32(length)) return HandlerResult::Close;
    if (length > kCrashLogLimit) {
        context.log.write("'%d': crash log of %u bytes refused, connection closed", login, length);
        return HandlerResult::Close;
    }
    CrashLogRow log;
    log.login = login;
    log.time = context.clock.unix_time();
    log.address = session.peer_address();
    log.content.resize(length);
    // A refused log is still read, so the next command starts where it should.
    if (length && !stream.read(log.content.data(), length)) return HandlerResult::Close;
    if (length == 0) return HandlerResult::Continue;
    if (!session.take_crash_log_turn()) {
        context.log.write("'%d': another crash log in the same login refused", login);
        return HandlerResult::Continue;
    }
    switch (context.storage.add_crash_log(log, kAccountCrashLogLimit)) {
        case CrashLogStored::Yes: break;
        case CrashLogStored::AccountFull:
            context.log.write("'%d': crash log refused, the account keeps %zu bytes of them already", login,
                              kAccountCrashLogLimit);
            break;
        case CrashLogStored::Failed:
            context.log.write("'%d': crash log not stored: %s", login, context.storage.last_error().c_str());
            break;
    }
    return HandlerResult::Continue;
}

}  // namespace kb::server
