#pragma once
#include <atomic>

#include "server/client_session.h"
#include "server/server_context.h"

namespace kb::testing {

// A login gate for a demo server under test: logins at a door are held while the test says
// so, as a slow server would leave them. Thread-safe.
class HeldLogins final : public server::LoginGate {
public:
    void hold(server::ServerRole role, bool held) { (role == server::ServerRole::History ? history_ : trade_) = held; }
    bool holds(server::ServerRole role) const override {
        return role == server::ServerRole::History ? history_.load() : trade_.load();
    }

private:
    std::atomic<bool> trade_{false};
    std::atomic<bool> history_{false};
};

}  // namespace kb::testing
