#pragma once
#include <cstdint>

namespace kb::platform {

// How background threads tell the user-interface thread that something changed.
// post never waits; send waits until the user-interface thread has handled the code
// (only the key generation request uses it). Implementations are thread-safe.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void post(int code, intptr_t value) = 0;
    virtual intptr_t send(int code, intptr_t value) = 0;
};

}  // namespace kb::platform
