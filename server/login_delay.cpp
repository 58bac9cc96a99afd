#include "server/login_delay.h"

#include <algorithm>

#include "server/peer_limits.h"

namespace kb::server {

namespace {

// The wait is cut in steps so a stopping server doesn't wait for it.
constexpr uint32_t kDelayStepMs = 100;

}  // namespace

void hold_back_wrong_password(ServerContext& context, net::PacketStream& stream, int32_t login, uint32_t peer) {
    if (!context.peers) return;
    const uint32_t delay = context.peers->login_failed(peer);
    context.log.write("'%d': wrong password from %s, answered after %u ms", login, peer_text(peer).c_str(), delay);
    for (uint32_t waited = 0; waited < delay && !context.stopping && stream.is_open(); waited += kDelayStepMs)
        context.clock.sleep_ms(std::min(kDelayStepMs, delay - waited));
}

void forget_wrong_passwords(ServerContext& context, uint32_t peer) {
    if (context.peers) context.peers->login_succeeded(peer);
}

}  // namespace kb::server
