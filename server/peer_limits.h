#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace kb::server {

// What one client address may do. An address opening connections as fast as it can
// takes no more than its share of the server's sessions, and guessing passwords from one
// address gets slower with every wrong one.
struct PeerLimitSettings {
    size_t connections_per_peer = 256;   // half of the default 512 sessions
    uint32_t first_login_delay_ms = 500;   // before the refusal of the first wrong password
    uint32_t max_login_delay_ms = 30000;   // doubled per wrong password in a row, up to this
};

// Counts the open connections and the wrong passwords in a row of each client address
// (IPv4, lowest byte first). Thread-safe; its lock is a leaf (core/lock_order.h).
class PeerLimits {
public:
    enum class Admission { Admitted, Refused, RefusedFirst };

    explicit PeerLimits(PeerLimitSettings settings = {}) : settings_(settings) {}

    // Counts a new connection of peer unless it holds its share already. RefusedFirst is the
    // first refusal since the peer was last admitted, the one worth a journal line.
    Admission admit(uint32_t peer);
    // An admitted connection of peer has ended.
    void release(uint32_t peer);
    // Notes a wrong password from peer; returns how long its refusal is held back.
    uint32_t login_failed(uint32_t peer);
    // A login from peer succeeded: its next wrong password starts from the first delay.
    void login_succeeded(uint32_t peer);

    const PeerLimitSettings& settings() const { return settings_; }

private:
    struct Peer {
        size_t connections = 0;
        bool refusing = false;
        uint32_t failed_logins = 0;
    };

    void drop_if_unused(std::map<uint32_t, Peer>::iterator it);

    const PeerLimitSettings settings_;
    std::mutex lock_;
    std::map<uint32_t, Peer> peers_;
};

// The address in dotted form, "127.0.0.2", for the journal.
std::string peer_text(uint32_t peer);

}  // namespace kb::server
