#include "server/peer_limits.h"

#include <algorithm>

namespace kb::server {

PeerLimits::Admission PeerLimits::admit(uint32_t peer) {
    std::lock_guard guard(lock_);
    Peer& state = peers_[peer];
    if (state.connections >= settings_.connections_per_peer) {
        const bool first = !state.refusing;
        state.refusing = true;
        return first ? Admission::RefusedFirst : Admission::Refused;
    }
    ++state.connections;
    state.refusing = false;
    return Admission::Admitted;
}

void PeerLimits::release(uint32_t peer) {
    std::lock_guard guard(lock_);
    auto it = peers_.find(peer);
    if (it == peers_.end()) return;
    if (it->second.connections > 0) --it->second.connections;
    drop_if_unused(it);
}

uint32_t PeerLimits::login_failed(uint32_t peer) {
    std::lock_guard guard(lock_);
    Peer& state = peers_[peer];
    const uint32_t doublings = std::min<uint32_t>(state.failed_logins, 16);
    ++state.failed_logins;
    const uint64_t delay = uint64_t{settings_.first_login_delay_ms} << doublings;
    return static_cast<uint32_t>(std::min<uint64_t>(delay, settings_.max_login_delay_ms));
}

void PeerLimits::login_succeeded(uint32_t peer) {
    std::lock_guard guard(lock_);
    auto it = peers_.find(peer);
    if (it == peers_.end()) return;
    it->second.failed_logins = 0;
    drop_if_unused(it);
}

// Only addresses with connections or wrong passwords are kept, so the table stays small.
void PeerLimits::drop_if_unused(std::map<uint32_t, Peer>::iterator it) {
    if (it->second.connections == 0 && it->second.failed_logins == 0) peers_.erase(it);
}

std::string peer_text(uint32_t peer) {
    return std::to_string(peer & 0xFF) + "." + std::to_string((peer >> 8) & 0xFF) + "." +
           std::to_string((peer >> 16) & 0xFF) + "." + std::to_string(peer >> 24);
}

}  // namespace kb::server
